// The one message-box function: its real box and the test seam.
#include "ui/MessageBox.h"

#include "support/Gbk.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
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

TEST(MessageBox, YesNoBoxSaysShiAndFouWhateverTheDesktopLanguage)
{
    struct Case {
        int pressed; // button index, -1: closed by Escape
        bool answer;
    };
    for (const Case c : {Case{0, true}, Case{1, false}, Case{-1, false}}) {
        QStringList labels;
        QString defaultLabel;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton *b : box->buttons())
                labels << b->text();
            defaultLabel = box->defaultButton()->text();
            const QString press = c.pressed == 0 ? QStringLiteral("是") : QStringLiteral("否");
            for (QAbstractButton *b : box->buttons())
                if (c.pressed >= 0 && b->text() == press)
                    b->click();
            if (c.pressed < 0)
                QTest::keyClick(box, Qt::Key_Escape);
        });
        EXPECT_EQ(AskYesNo(QStringLiteral("确定删除 规则“京东”？")), c.answer) << c.pressed;
        labels.sort();
        EXPECT_EQ(labels, (QStringList{"否", "是"}));
        EXPECT_EQ(defaultLabel, "是");
    }
}

TEST(MessageBox, QuestionHandlerAnswersInsteadOfTheBox)
{
    QStringList seen;
    SetQuestionHandlerForTests([&](const QString &text, const QString &title, const QStringList &buttons) {
        seen << text << title << buttons;
        return 1;
    });
    const int pressed = AskQuestion(QStringLiteral("导出成功：/tmp/a.xlsx"), {QStringLiteral("确定"), QStringLiteral("打开文件夹")});
    const bool yes = AskYesNo(QStringLiteral("确定删除 第1行？"));
    SetQuestionHandlerForTests(nullptr);
    EXPECT_EQ(pressed, 1);
    EXPECT_FALSE(yes);
    EXPECT_EQ(seen, (QStringList{"导出成功：/tmp/a.xlsx", "信息：", "确定", "打开文件夹", "确定删除 第1行？", "信息：",
                                 "是", "否"}));
}
