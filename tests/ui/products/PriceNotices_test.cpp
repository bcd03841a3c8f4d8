// Price alerts in the window: set in "设置提醒", drawn as a bell, given on the
// desktop after a run through the notifier seam, gone with the deleted row.
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/PriceHistoryLoader.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/AlertDialog.h"
#include "ui/products/ChangeMarksController.h"
#include "ui/products/DesktopNotifier.h"
#include "ui/products/NoticeChannelsDialog.h"
#include "ui/products/PriceChangeDelegate.h"
#include "ui/products/PriceNoticesController.h"
#include "ui/products/ProductListController.h"
#include "ui/products/RecordListController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>

using namespace corvix;
using corvix::test::TempSession;

namespace {

struct Sent {
    QString title, body;
    std::function<void()> opened;
};

class FakeNotifier : public DesktopNotifier {
public:
    explicit FakeNotifier(std::vector<Sent> &sent) : sent_(sent) {}
    void Notify(const QString &title, const QString &body, std::function<void()> opened) override
    {
        sent_.push_back({title, body, std::move(opened)});
    }

private:
    std::vector<Sent> &sent_;
};

class PriceNoticesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TempSession::WriteBytes(root.Dirs().dbDir / "1543910400.txt", "A|20|18|\r\nB|9|9|");
        window = std::make_unique<MainWindow>();
        for (const char *title : {"X", "Y"})
            window->ListPage()->AddGridColumn(title, 60, Qt::AlignHCenter);
        run = new CaptureRunController(window.get(), test::TestSession());
        auto *records = new RecordListController(window.get(), test::TestSession());
        marks = new ChangeMarksController(window.get(), test::TestSession(), run, records);
        list = new ProductListController(window.get(), test::TestSession());
        history.Start(root.Dirs().dbDir);
        notices = new PriceNoticesController(window.get(), test::TestSession(), run, marks, history,
                                             std::make_unique<FakeNotifier>(sent));
        notices->SetSettingsFolder(SettingsFolder());
        Grid().AppendRows({{"1", "A", "12", "18"}, {"2", "B", "9", "9"}});
    }
    ProductGridModel &Grid() { return *window->ListPage()->Grid(); }
    std::filesystem::path SettingsFolder() const { return std::filesystem::path(settings.path().toStdString()); }
    QTreeView *View() { return window->ListPage()->GridView(); }
    void Select(int row) { window->ListPage()->SelectAndShowRow(row); }
    void SetTarget(int row, double target)
    {
        Select(row);
        AlertDialog *dialog = notices->SetAlert();
        ASSERT_NE(dialog, nullptr);
        dialog->TargetBox()->setChecked(true);
        dialog->Target()->setValue(target);
        dialog->accept();
    }
    void RunEnds()
    {
        emit run->runStarted(true);
        emit run->runEnded();
    }

    TempSession root;
    QTemporaryDir settings;
    test::MessageRecorder messages;
    test::QuestionRecorder questions;
    std::unique_ptr<MainWindow> window;
    CaptureRunController *run = nullptr;
    ChangeMarksController *marks = nullptr;
    ProductListController *list = nullptr;
    PriceHistoryLoader history;
    PriceNoticesController *notices = nullptr;
    std::vector<Sent> sent;
};

} // namespace

TEST_F(PriceNoticesTest, ARunUnderTheTargetNotifiesOnceAndTheNoticeOpensItsRow)
{
    SetTarget(0, 15);
    RunEnds();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body.toStdString(), "A | X | 20 → 12（低于目标 15 元，比上次低 40.0%，历史最低）");
    EXPECT_TRUE(marks->Delegate()->ChangeToolTip(Grid().index(0, 2)).contains(QStringLiteral("历史最低")));
    Select(1);
    sent[0].opened();
    EXPECT_EQ(window->ListPage()->SelectedRow(), 0);

    RunEnds(); // still under: told already
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(PriceNoticesTest, TheDropFilterShowsOnlyTheRowsWithALowerPrice)
{
    RunEnds();
    window->ListPage()->DropFilter()->setChecked(true);
    EXPECT_FALSE(View()->isRowHidden(0, {}));
    EXPECT_TRUE(View()->isRowHidden(1, {}));
    window->ListPage()->DropFilter()->setChecked(false);
    EXPECT_FALSE(View()->isRowHidden(1, {}));
}

TEST_F(PriceNoticesTest, TheBellGoesWithTheDeletedRowAndComesBackWithTheUndo)
{
    SetTarget(0, 15);
    const auto bell = [this] { return marks->Delegate()->AlertMarked(Grid().index(0, 1)); };
    EXPECT_TRUE(bell());
    EXPECT_NE(TempSession::ReadBytes(AlertsFilePath(root.Dirs())).find("product=A\r\ntarget=15\r\n"), std::string::npos);

    Select(0);
    list->DeleteProductRow();
    EXPECT_TRUE(PriceAlerts::Load(AlertsFilePath(root.Dirs())).All().empty());
    EXPECT_FALSE(bell()); // row 0 is B now
    list->UndoDelete();
    EXPECT_EQ(PriceAlerts::Load(AlertsFilePath(root.Dirs())).Find("A", "")->target, 15);
    EXPECT_TRUE(bell());
}

TEST_F(PriceNoticesTest, RisesAndEveryRunAreSetInTheDialogAndToldAfterEveryRun)
{
    Select(1);
    AlertDialog *dialog = notices->SetAlert();
    ASSERT_NE(dialog, nullptr);
    dialog->RiseBox()->setChecked(true);
    dialog->Rise()->setValue(8.5);
    dialog->RisePercentBox()->setChecked(true);
    dialog->RisePercent()->setValue(20);
    dialog->Frequency()->setCurrentIndex(1);
    dialog->accept();
    const PriceAlert *alert = PriceAlerts::Load(AlertsFilePath(root.Dirs())).Find("B", "");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->riseAbove, 8.5);
    EXPECT_EQ(alert->risePercent, 20);
    EXPECT_TRUE(alert->everyRun);
    EXPECT_TRUE(marks->Delegate()->AlertMarked(Grid().index(1, 1)));
    RunEnds(); // B at 9: over 8.5
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body.toStdString(), "B | X | 9 → 9（高于 8.5 元，历史最低）\nB | Y | 9 → 9（高于 8.5 元，历史最低）");
    RunEnds(); // still over it: told again after every run
    EXPECT_EQ(sent.size(), 2u);
    // The dialog opens on what is set.
    dialog = notices->SetAlert();
    EXPECT_TRUE(dialog->RiseBox()->isChecked());
    EXPECT_EQ(dialog->Frequency()->currentIndex(), 1);
    dialog->reject();
}

TEST_F(PriceNoticesTest, TheChannelsDialogKeepsSecretsMaskedTestsAChannelAndSavesThem)
{
    test::TestHttpServer server;
    server.RouteReplies(QStringLiteral("/robot/send"), {{200, R"({"errcode":310000,"errmsg":"sign not match"})"}});
    NoticeChannelsDialog *dialog = notices->SetChannels();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->List()->count(), 0);
    dialog->AddChannel(ChannelKind::DingTalk);
    ChannelForm *form = dialog->Form(0);
    auto *token = qobject_cast<QLineEdit *>(form->Editor(QStringLiteral("token")));
    auto *secret = qobject_cast<QLineEdit *>(form->Editor(QStringLiteral("secret")));
    auto *base = qobject_cast<QLineEdit *>(form->Editor(QStringLiteral("base")));
    ASSERT_TRUE(token && secret && base);
    EXPECT_EQ(token->echoMode(), QLineEdit::Password);
    EXPECT_EQ(secret->echoMode(), QLineEdit::Password);
    EXPECT_EQ(base->text(), "https://oapi.dingtalk.com");
    token->setText(QStringLiteral("tok"));
    secret->setText(QStringLiteral("SECwrong"));
    base->setText(server.Url({}));

    dialog->TestButton()->click();
    EXPECT_FALSE(dialog->TestButton()->isEnabled()); // the window goes on meanwhile
    ASSERT_TRUE(test::WaitUntil([&] { return dialog->TestButton()->isEnabled(); }));
    EXPECT_TRUE(dialog->TestAnswer()->text().startsWith(QStringLiteral("发送失败：签名校验失败")))
        << dialog->TestAnswer()->text().toStdString();
    ASSERT_EQ(server.Requests().size(), 1);
    EXPECT_TRUE(server.Requests()[0].target.contains("access_token=tok&timestamp="));

    dialog->List()->item(0)->setCheckState(Qt::Unchecked);
    dialog->accept();
    const Result<std::vector<NoticeChannel>> saved = LoadChannels(SettingsFolder());
    ASSERT_TRUE(saved && saved->size() == 1u);
    EXPECT_FALSE((*saved)[0].enabled);
    EXPECT_EQ((*saved)[0].Value(QStringLiteral("secret")), "SECwrong");
    EXPECT_EQ(std::filesystem::status(SecretsFilePath(SettingsFolder())).permissions() & std::filesystem::perms::mask,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(PriceNoticesTest, ARunsNoticesGoToTheEnabledChannelsOnceAndTheStatusBarSaysSo)
{
    test::TestHttpServer server;
    server.RouteReplies(QStringLiteral("/hook"), {{200, "ok"}});
    server.RouteReplies(QStringLiteral("/down"), {{503, "down"}});
    std::vector<NoticeChannel> channels;
    for (const char *path : {"/hook", "/down"}) {
        channels.push_back(NewChannel(ChannelKind::Webhook, channels));
        channels.back().name = QString::fromLatin1(path);
        channels.back().values[QStringLiteral("url")] = server.Url(QString::fromLatin1(path));
    }
    ASSERT_TRUE(SaveChannels(SettingsFolder(), channels));
    DeliveryOptions quick;
    quick.firstPauseMs = 10;
    notices->SetDeliveryOptions(quick);
    std::vector<ChannelReport> answered;
    QObject::connect(notices, &PriceNoticesController::channelsAnswered,
                     [&answered](const std::vector<ChannelReport> &reports) { answered = reports; });
    SetTarget(0, 15);
    RunEnds();
    ASSERT_TRUE(test::WaitUntil([&] { return answered.size() == 2u; }));
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(),
              "降价提醒已发送：/hook；发送失败：/down（服务器出错（HTTP 503））");
    EXPECT_EQ(server.RequestedPaths().count(QStringLiteral("/down")), 3); // tried three times
    const auto hook = std::find_if(server.Requests().begin(), server.Requests().end(),
                                   [](const test::HttpRequestSeen &r) { return r.target == "/hook"; });
    ASSERT_NE(hook, server.Requests().end()); // the channels send at once, in either order
    const QJsonObject document = QJsonDocument::fromJson(hook->body).object();
    EXPECT_EQ(document["notices"].toArray().size(), 1);

    RunEnds(); // told already: nothing to send
    EXPECT_TRUE(notices->LastNotices().empty());
}
