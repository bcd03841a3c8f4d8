// The one message-box function: its real box and the test seam.
#include "ui/MessageBox.h"

#include "support/Gbk.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace corvix;

TEST(MessageBox, RealBoxIsPlainModalWithOkAsDefault)
{
    QString seenTitle, seenText;
    bool okIsDefault = false, noIcon = false, modal = false;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenTitle = box->windowTitle();
        seenText = box->text();
        noIcon = box->icon() == QMessageBox::NoIcon;
        modal = box->windowModality() == Qt::ApplicationModal;
        buttons = static_cast<int>(box->buttons().size());
        okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
        box->defaultButton()->click();
    });
    ShowMessage(QStringLiteral("添加成功"));
    EXPECT_EQ(seenTitle, "信息：");
    EXPECT_EQ(seenText, "添加成功");
    EXPECT_TRUE(noIcon);
    EXPECT_TRUE(modal);
    EXPECT_EQ(buttons, 1);
    EXPECT_TRUE(okIsDefault);
}

TEST(MessageBox, HandlerReceivesTextsAndTitles)
{
    QStringList texts, titles;
    SetMessageHandlerForTests([&](const QString &text, const QString &title) {
        texts << text;
        titles << title;
    });
    ShowMessage(QStringLiteral("没有找到：abc"));
    ShowMessage(QStringLiteral("x"), QStringLiteral("别的标题"));
    ShowMessageGbk(Gbk("链接为空,执行不了"));
    SetMessageHandlerForTests(nullptr);
    EXPECT_EQ(texts, (QStringList{"没有找到：abc", "x", "链接为空,执行不了"}));
    EXPECT_EQ(titles, (QStringList{"信息：", "别的标题", "信息："}));
}
