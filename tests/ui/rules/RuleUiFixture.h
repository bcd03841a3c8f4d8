#pragma once
// A main window with the rule editor and the rule list bound to it, over a data
// root in a temporary directory, with message boxes recorded and a fixed clock.
#include "common/TestSupport.h"

#include "ui/rules/RuleEditorController.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "ui/rules/RuleListController.h"
#include "ui/products/ShopColumnsController.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/pages/RuleEditorPage.h"
#include "ui/pages/RuleListPage.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <ostream>

// Readable failure output for the widget texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace corvix::test {

class RuleUiTest : public ::testing::Test {
protected:
    RuleUiTest()
    {
        SetClockForTests([] { return LocalDateTime{2018, 5, 6, 14, 3, 9, 0}; });
        QObject::connect(&editor, &RuleEditorController::rulesChanged, &columns, &ShopColumnsController::RulesChanged);
        QObject::connect(&list, &RuleListController::rulesChanged, &columns, &ShopColumnsController::RulesChanged);
    }
    ~RuleUiTest() override { SetClockForTests(nullptr); }

    template <typename W> W *Control(const char *utf8Name)
    {
        W *w = window.findChild<W *>(QString::fromUtf8(utf8Name));
        EXPECT_NE(w, nullptr) << utf8Name;
        return w;
    }
    QLineEdit *Title() { return Control<QLineEdit>("编辑框1"); }
    QRadioButton *MarkerMethod() { return Control<QRadioButton>("单选框1"); }
    QRadioButton *ElementMethod() { return Control<QRadioButton>("单选框2"); }
    QPlainTextEdit *Left() { return Control<QPlainTextEdit>("编辑框2"); }
    QPlainTextEdit *Right() { return Control<QPlainTextEdit>("编辑框3"); }
    QLineEdit *ElementName() { return Control<QLineEdit>("编辑框7"); }
    QComboBox *ElementType() { return Control<QComboBox>("组合框2"); }
    QTreeWidget *List() { return window.RulesPage()->List(); }
    QTabWidget *Tabs() { return Control<QTabWidget>("选择夹1"); }
    QAction *MenuItem(const char *utf8Name)
    {
        auto *a = window.RulesPage()->Menu()->findChild<QAction *>(QString::fromUtf8(utf8Name));
        EXPECT_NE(a, nullptr) << utf8Name;
        return a;
    }

    // Fills the editor as a user would; method 1 = markers, 2 = element.
    void Fill(const QString &title, int method, const QString &left, const QString &right,
              const QString &elementName, const QString &elementType = QStringLiteral("span"))
    {
        Title()->setText(title);
        (method == 1 ? MarkerMethod() : ElementMethod())->click();
        Left()->setPlainText(left);
        Right()->setPlainText(right);
        ElementName()->setText(elementName);
        ElementType()->setCurrentText(elementType);
    }

    // Rule files and the index are written as GBK bytes from UTF-8 source text.
    void WriteRule(const char *utf8Title, const std::string &utf8Text)
    {
        TempSession::WriteBytes(RuleFilePath(root.Dirs(), Gbk(utf8Title)), Gbk(utf8Text));
    }
    void WriteIndex(const std::string &utf8Text)
    {
        TempSession::WriteBytes(RuleIndexPath(root.Dirs()), Gbk(utf8Text));
    }
    std::string RuleBytes(const QString &title)
    {
        return TempSession::ReadBytes(RuleFilePath(root.Dirs(), ToGbk(title)));
    }
    bool RuleExists(const QString &title)
    {
        return std::filesystem::exists(RuleFilePath(root.Dirs(), ToGbk(title)));
    }
    std::vector<std::string> IndexTitles() { return ReadRuleIndex(root.Dirs()); }

    // Opens the tab "采集管理", which fills the rule list.
    void OpenRuleList()
    {
        Tabs()->setCurrentIndex(0);
        Tabs()->setCurrentIndex(1);
    }
    void SelectRow(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }
    QString Cell(int row, int column) { return List()->topLevelItem(row)->text(column); }

    // A rule file as the editor writes it (UTF-8 source text).
    static std::string RuleText(const std::string &style, const std::string &open, const std::string &fixed = "0",
                                const std::string &time = "2018年05月06日 02时03分09秒")
    {
        return "[time]" + time + "[/time]\r\n[left]<em>[/left]\r\n[right]</em>[/right]\r\n[style]" + style +
               "[/style]\r\n[tb]price[/tb]\r\n[tbd]span[/tbd]\r\n[fixed]" + fixed + "[/fixed]\r\n[open]" + open +
               "[/open]";
    }

    TempSession root;
    MessageRecorder messages;
    QuestionRecorder questions; // 是 to every question
    int ruleTestRuns = 0;
    std::function<void()> onRuleTest; // what the rule test sees when it runs
    MainWindow window;
    RuleEditorController editor{&window, root.State()};
    RuleListController list{&window, root.State(), &editor, [this] {
        ++ruleTestRuns;
        if (onRuleTest)
            onRuleTest();
    }};
    ShopColumnsController columns{window.ListPage(), root.State()};
};

} // namespace corvix::test
