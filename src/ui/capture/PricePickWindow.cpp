#include "ui/capture/PricePickWindow.h"

#include "capture/LinkCapture.h"
#include "capture/PriceExtraction.h"
#include "capture/RuleTest.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"
#include "ui/browser/BrowserView.h"
#include "ui/capture/CapturePane.h"
#include "ui/capture/SourceViewWindow.h"

#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace corvix {
namespace {

constexpr int kPollMs = 100;
// The second page is read again this often until every proposal has its price.
constexpr int kVerifyLookMs = 250;
// A value longer than this is shortened in its cell; the tooltip has it whole.
constexpr qsizetype kShownValue = 24;

const QString &PickScript()
{
    static const QString script = [] {
        QFile file(QStringLiteral(":/capture/scripts/price-pick.js"));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }();
    return script;
}

const QString kPollScript = QStringLiteral("window.__corvixPick ? window.__corvixPick.poll() : null");

PageElement ToPageElement(const QVariantMap &e)
{
    auto gbk = [&](const char *key) { return ToGbk(e.value(QString::fromLatin1(key)).toString()); };
    return {gbk("className"), gbk("shown"), gbk("name"), gbk("id"), gbk("title"), gbk("type"), gbk("value")};
}

QString RuleText(const Rule &rule)
{
    if (rule.method == RuleMethod::Markers)
        return QStringLiteral("标记：%1 … %2").arg(FromGbk(rule.left), FromGbk(rule.right));
    return QStringLiteral("元素：%1 %2").arg(FromGbk(rule.elementKind), FromGbk(rule.elementName));
}

// One line, short enough for its column.
QString CellText(const QString &value)
{
    const QString line = value.simplified();
    return line.size() > kShownValue ? line.left(kShownValue - 1) + u'…' : line;
}

// The first digits of a price text: what the source shows of it, however the
// page splits it into elements.
QString FirstDigits(const std::string &text)
{
    const QString shown = FromGbk(text);
    const qsizetype first = shown.indexOf(QRegularExpression(QStringLiteral("\\d")));
    if (first < 0)
        return {};
    qsizetype end = first;
    while (end < shown.size() && shown[end].isDigit())
        ++end;
    return shown.mid(first, end - first);
}

} // namespace

PricePickWindow::PricePickWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("在页面上选取价格"));
    // The page and the whole proposal table on a 1280×800 screen.
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                          : QRect(0, 0, 1280, 800);
    resize(std::min(1180, screen.width() - 40), std::min(760, screen.height() - 40));
    browser_ = new BrowserView(this);
    verifyBrowser_ = new BrowserView(this);
    verifyBrowser_->hide();
    header_ = new QLabel(this);
    header_->setObjectName(QStringLiteral("选取的价格"));
    header_->setTextFormat(Qt::PlainText);
    QFont bold = header_->font();
    bold.setBold(true);
    header_->setFont(bold);
    status_ = new QLabel(QStringLiteral("正在打开网页……"), this);
    status_->setObjectName(QStringLiteral("选取状态"));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    verifyLink_ = new QLineEdit(this);
    verifyLink_->setObjectName(QStringLiteral("验证链接"));
    verifyLink_->setPlaceholderText(QStringLiteral("同一商店另一件商品的链接（可不填）"));
    verify_ = new QPushButton(QStringLiteral("验证"), this);
    showSource_ = new QPushButton(QStringLiteral("查看页面源代码"), this);
    showSource_->setObjectName(QStringLiteral("查看页面源代码"));
    showSource_->hide();
    list_ = new QTableWidget(0, 4, this);
    list_->setObjectName(QStringLiteral("建议规则"));
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("规则"), QStringLiteral("本页价格"), QStringLiteral("验证链接的价格"), QStringLiteral("说明")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    // The rule takes what the values and the note leave; values are shortened
    // in their cells, every cell is whole in its tooltip.
    QHeaderView *columns = list_->horizontalHeader();
    columns->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < 4; ++column)
        columns->setSectionResizeMode(column, QHeaderView::Interactive);
    list_->setColumnWidth(1, 120);
    list_->setColumnWidth(2, 190);
    list_->setColumnWidth(3, 300);
    list_->setTextElideMode(Qt::ElideMiddle);
    use_ = new QPushButton(QStringLiteral("使用此规则"), this);

    auto *bottom = new QWidget(this);
    auto *verifyRow = new QHBoxLayout;
    verifyRow->addWidget(new QLabel(QStringLiteral("验证链接："), bottom));
    verifyRow->addWidget(verifyLink_, 1);
    verifyRow->addWidget(verify_);
    verifyRow->addWidget(use_);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(showSource_);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(6, 0, 6, 6);
    bottomLayout->addWidget(header_);
    bottomLayout->addLayout(statusRow);
    bottomLayout->addLayout(verifyRow);
    bottomLayout->addWidget(list_, 1);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(browser_);
    split->addWidget(bottom);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    // The view asks for no height of its own; without sizes the list takes it all.
    split->setSizes({height() * 3 / 5, height() * 2 / 5});
    split->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    // The page has the keyboard: Escape reaches the window as a shortcut.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QDialog::reject);
    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &PricePickWindow::OnTimer);
    connect(verify_, &QPushButton::clicked, this, &PricePickWindow::StartVerify);
    connect(showSource_, &QPushButton::clicked, this, &PricePickWindow::ShowSource);
    connect(use_, &QPushButton::clicked, this, [this] { UseProposal(list_->currentRow()); });
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { UseProposal(row); });
}

void PricePickWindow::SetRuleChosen(std::function<void(const Rule &)> chosen)
{
    chosen_ = std::move(chosen);
}

void PricePickWindow::StartPick(const std::string &link, const std::string &otherLink)
{
    flow_.Load();
    ++verifyRun_;
    parsedClock_.invalidate();
    proposals_.clear();
    header_->clear();
    showSource_->hide();
    status_->setText(QStringLiteral("正在打开网页……"));
    if (verifyLink_->text().trimmed().isEmpty() && !otherLink.empty())
        verifyLink_->setText(FromGbk(otherLink));
    ShowProposals();
    browser_->Navigate(FromGbk(link));
    helper_.AttachToWindow(browser_);
    poll_->start();
}

void PricePickWindow::OnTimer()
{
    if (busy_)
        return;
    if (flow_.State() == PickState::Loading)
        LookForReadyPage();
    else
        Poll();
}

// The pick needs the parsed document, not every image and late request: a
// price that a script adds later is there when the user points at it.
void PricePickWindow::LookForReadyPage()
{
    busy_ = true;
    browser_->RunInDocument(QStringLiteral("document.readyState"), [this](const QVariant &state, bool current) {
        if (!current || state.toString() == QLatin1String("loading")) {
            busy_ = false;
            return;
        }
        if (!parsedClock_.isValid()) {
            parsedClock_.start();
            status_->setText(QStringLiteral("等待网页脚本运行完毕……"));
        }
        DomRequest request;
        request.quietTime = true;
        helper_.TakeSnapshot(request, this, [this](const DomSnapshot &page) {
            busy_ = false;
            if (flow_.PageLooked(page.hasDocument, page.quietMs, static_cast<int>(parsedClock_.elapsed())))
                InstallPick();
        });
    });
}

void PricePickWindow::InstallPick()
{
    busy_ = true;
    browser_->RunInDocument(PickScript(), [this](const QVariant &installed, bool current) {
        busy_ = false;
        if (!current) {
            status_->setText(QStringLiteral("网页没有可读取的内容"));
            return;
        }
        if (flow_.State() != PickState::Picking)
            return; // a pick made before a reload keeps its text
        QString text = QStringLiteral("移动鼠标指向价格，单击价格的任何部分（或用鼠标选中价格）选定；Esc 取消");
        if (const int frames = installed.toMap().value(QStringLiteral("crossFrames")).toInt(); frames > 0)
            text += QStringLiteral("。页面上有 %1 个来自其他网站的框架，程序读取不到其中的价格").arg(frames);
        status_->setText(text);
    });
}

void PricePickWindow::Poll()
{
    busy_ = true;
    browser_->RunInDocument(kPollScript, [this](const QVariant &value, bool current) {
        busy_ = false;
        if (!current)
            return;
        // The page replaced its document (a script's reload): pick on the new one.
        if (value.isNull()) {
            InstallPick();
            return;
        }
        const QVariantMap state = value.toMap();
        const QVariantMap pointed = state.value(QStringLiteral("pointed")).toMap();
        if (!pointed.isEmpty()) {
            OnPointed(pointed);
            return;
        }
        if (state.value(QStringLiteral("note")).toString() == QLatin1String("cross"))
            status_->setText(QStringLiteral("这个框架来自其他网站，程序读取不到其中的价格"));
        else if (const QString hover = state.value(QStringLiteral("hover")).toString();
                 !hover.isEmpty() && flow_.State() == PickState::Picking)
            status_->setText(QStringLiteral("指向：") + hover);
    });
}

void PricePickWindow::OnPointed(const QVariantMap &pointed)
{
    std::vector<std::string> chain;
    for (const QVariant &text : pointed.value(QStringLiteral("chain")).toList())
        chain.push_back(ToGbk(text.toString()));
    const std::optional<PointedPrice> price =
        PricePointedAt(chain, ToGbk(pointed.value(QStringLiteral("selection")).toString()));
    if (!price) {
        status_->setText(QStringLiteral("这里读不出价格：请单击价格的数字，或用鼠标选中整个价格"));
        return;
    }
    busy_ = true;
    const QString describe = QStringLiteral("window.__corvixPick.describe(%1, %2)")
                                 .arg(price->level)
                                 .arg(pointed.value(QStringLiteral("serial")).toLongLong());
    browser_->RunInDocument(describe, [this, text = price->text](const QVariant &element, bool current) {
        busy_ = false;
        if (current && !element.isNull())
            OnDescribed(element.toMap(), text);
    });
}

void PricePickWindow::OnDescribed(const QVariantMap &element, const std::string &wholeText)
{
    flow_.Picked();
    ++verifyRun_;
    wholeText_ = wholeText;
    header_->setText(QStringLiteral("选取的价格：") + FromGbk(wholeText));
    if (element.value(QStringLiteral("inFrame")).toBool()) {
        proposals_.clear();
        ShowProposals();
        status_->setText(QStringLiteral("价格在框架中：采集只读取主页面，无法为它建议规则。再点击一次可以重新选取"));
        return;
    }
    PickedNode node;
    node.tag = element.value(QStringLiteral("tag")).toInt();
    node.text = wholeText;
    node.outerHtml = ToGbk(element.value(QStringLiteral("outer")).toString());
    if (node.tag >= 0 && node.tag < static_cast<int>(kPageTags)) {
        for (const QVariant &e : element.value(QStringLiteral("elements")).toList())
            node.elements[static_cast<size_t>(node.tag)].push_back(ToPageElement(e.toMap()));
        node.index = element.value(QStringLiteral("index")).toInt();
    }
    DomSnapshot page;
    page.hasDocument = true;
    page.pageSource = ToGbk(element.value(QStringLiteral("source")).toString());
    proposals_ = ProposeRules(page, node);
    const size_t pos = page.pageSource.find(kPickMark);
    pickedSource_ = pos == std::string::npos ? page.pageSource : page.pageSource.erase(pos, kPickMark.size());
    const bool whole = std::any_of(proposals_.begin(), proposals_.end(),
                                   [](const RuleProposal &p) { return p.fit == PriceFit::Whole; });
    showSource_->setVisible(!whole);
    status_->setText(whole ? QStringLiteral("双击或按“使用此规则”把规则填入编辑框。再点击一次可以重新选取")
                           : QStringLiteral("没有一条规则能读出整个价格：可以在页面源代码里找到价格，自己写标记。"
                                            "再点击一次可以重新选取"));
    ShowProposals();
    StartVerify();
}

void PricePickWindow::StartVerify()
{
    const QString link = verifyLink_->text().trimmed();
    if (!flow_.StartVerify(!link.isEmpty(), !proposals_.empty()))
        return;
    const quint64 run = ++verifyRun_;
    for (RuleProposal &p : proposals_) {
        p.checkedOnSecond = p.holdsOnSecond = p.differsOnSecond = false;
        p.secondPrice.clear();
        p.secondNote.clear();
    }
    ShowProposals();
    status_->setText(QStringLiteral("正在用验证链接检查……"));
    verifyBrowser_->Navigate(link);
    verifyHelper_.AttachToWindow(verifyBrowser_);
    verifyClock_.start();
    LookAtVerifyPage(run);
}

// Read as a capture reads: again and again until every proposal has its price
// or a capture's time is up.
void PricePickWindow::LookAtVerifyPage(quint64 run)
{
    DomRequest request = RequestForProposals(proposals_);
    request.quietTime = true;
    verifyHelper_.TakeSnapshot(request, this, [this, run](const DomSnapshot &page) {
        if (run != verifyRun_)
            return;
        const bool all = page.hasDocument && LookAtSecondPage(proposals_, page);
        // A page whose scripts have long stopped changing it gives nothing more.
        const bool settled = page.hasDocument && page.quietMs >= kPickSettleLimitMs;
        if (all || settled || verifyClock_.elapsed() >= static_cast<qint64>(kTicksPerLink) * CaptureTickInterval())
            FinishVerify(run);
        else
            QTimer::singleShot(kVerifyLookMs, this, [this, run] { LookAtVerifyPage(run); });
    });
}

void PricePickWindow::FinishVerify(quint64 run)
{
    DomRequest request;
    request.pageSource = true;
    verifyHelper_.TakeSnapshot(request, this, [this, run](const DomSnapshot &page) {
        if (run != verifyRun_)
            return;
        FinishSecondPage(proposals_, ToLowerText(page.GetPageSource()));
        flow_.VerifyDone();
        verifyBrowser_->ReplacePage();
        status_->setText(QStringLiteral("已在验证链接上检查：取不到价格或价格不同的规则排在后面。再点击一次可以重新选取"));
        ShowProposals();
    });
}

void PricePickWindow::ShowProposals()
{
    list_->setRowCount(static_cast<int>(proposals_.size()));
    for (int row = 0; row < list_->rowCount(); ++row) {
        const RuleProposal &p = proposals_[static_cast<size_t>(row)];
        const QString second = !p.checkedOnSecond ? QString()
                               : p.holdsOnSecond  ? FromGbk(p.secondPrice)
                                                  : FromGbk(p.secondNote);
        QString note = FromGbk(p.reason);
        if (p.differsOnSecond)
            note += QStringLiteral("，") + FromGbk(p.secondNote);
        const QString cells[] = {RuleText(p.rule), FromGbk(p.price), second, note};
        const bool doubtful = p.fit != PriceFit::Whole || (p.checkedOnSecond && (!p.holdsOnSecond || p.differsOnSecond));
        for (int column = 0; column < 4; ++column) {
            auto *item = new QTableWidgetItem(column == 1 || column == 2 ? CellText(cells[column]) : cells[column]);
            item->setToolTip(cells[column]);
            if (doubtful)
                item->setForeground(Qt::gray);
            list_->setItem(row, column, item);
        }
    }
    if (!proposals_.empty())
        list_->selectRow(0);
}

void PricePickWindow::ShowSource()
{
    DomSnapshot page;
    page.hasDocument = true;
    page.pageSource = pickedSource_;
    delete sourceWindow_.data();
    sourceWindow_ = new SourceViewWindow(PickedSourceText(page), this);
    sourceWindow_->setAttribute(Qt::WA_DeleteOnClose);
    sourceWindow_->Search()->setText(FirstDigits(wholeText_));
    sourceWindow_->show();
    sourceWindow_->FindNext();
}

void PricePickWindow::UseProposal(int row)
{
    if (row < 0 || row >= static_cast<int>(proposals_.size()) || !chosen_)
        return;
    chosen_(proposals_[static_cast<size_t>(row)].rule);
    accept();
}

} // namespace corvix
