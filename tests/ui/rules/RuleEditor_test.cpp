// The rule editor on the tab "采集添加": the method switch, the checks and the
// file written by "添加", and a rule of the list loaded into the fields.
#include "RuleUiFixture.h"

#include "products/ProductGridModel.h"
#include "support/FileIo.h"
#include "ui/capture/RuleTestController.h"
#include "ui/pages/ProductListPage.h"

#include <QPushButton>

#include <algorithm>

using namespace corvix;
using namespace corvix::test;

namespace {

const QString kTitleEmpty = QStringLiteral("采集标题不能为空,只能为中文/英文/数字");
const QString kLeftEmpty = QStringLiteral("采集规则左边不能为空");
const QString kRightEmpty = QStringLiteral("采集规则右边不能为空");
const QString kNameEmpty = QStringLiteral("元素名称不能为空支持：标题/索引/ID/Class等方式。");
const QString kAdded = QStringLiteral("添加成功");

class RuleEditorTest : public RuleUiTest {
protected:
    void PressAdd() { Control<QPushButton>("按钮2")->click(); }
};

TEST_F(RuleEditorTest, MethodSwitchChangesOnlyThePage)
{
    EXPECT_TRUE(MarkerMethod()->isChecked());
    EXPECT_EQ(window.EditorPage()->ExtractionPages()->currentIndex(), 0);
    Fill("A", 1, "<em>", "</em>", "price", "input");

    ElementMethod()->click();
    EXPECT_EQ(window.EditorPage()->ExtractionPages()->currentIndex(), 1);
    EXPECT_FALSE(MarkerMethod()->isChecked());
    MarkerMethod()->click();
    EXPECT_EQ(window.EditorPage()->ExtractionPages()->currentIndex(), 0);
    EXPECT_FALSE(ElementMethod()->isChecked());
    // A click on the method already checked shows its page too.
    window.EditorPage()->ExtractionPages()->setCurrentIndex(1);
    MarkerMethod()->click();
    EXPECT_EQ(window.EditorPage()->ExtractionPages()->currentIndex(), 0);

    EXPECT_EQ(Title()->text(), "A");
    EXPECT_EQ(Left()->toPlainText(), "<em>");
    EXPECT_EQ(Right()->toPlainText(), "</em>");
    EXPECT_EQ(ElementName()->text(), "price");
    EXPECT_EQ(ElementType()->currentText(), "input");
    for (QWidget *w : std::initializer_list<QWidget *>{Left(), Right(), ElementName(), ElementType()})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_TRUE(messages.Texts().isEmpty());
}

struct SaveCase {
    const char *name;
    QString title;
    int method;
    QString left, right, elementName;
    QString message;
};

TEST_F(RuleEditorTest, ChecksComeInOrderAndOnlyAFullRuleIsSaved)
{
    const SaveCase cases[] = {
        {"empty title before the markers", "", 1, "", "", "", kTitleEmpty},
        {"empty title before the element name", "", 2, "", "", "", kTitleEmpty},
        {"both markers empty: left only", "A", 1, "", "", "x", kLeftEmpty},
        {"right marker empty", "B", 1, "a", "", "", kRightEmpty},
        {"method 1 ignores the element name", "C", 1, "a", "b", "", kAdded},
        {"method 2 needs the element name", "D", 2, "a", "b", "", kNameEmpty},
        {"method 2 accepts empty markers", "E", 2, "", "", "price", kAdded},
    };
    for (const SaveCase &c : cases) {
        SCOPED_TRACE(c.name);
        messages.Clear();
        Fill(c.title, c.method, c.left, c.right, c.elementName);
        PressAdd();
        EXPECT_EQ(messages.Texts(), QStringList{c.message});
        EXPECT_EQ(messages.Titles(), QStringList{QStringLiteral("信息：")});
        const bool saved = c.message == kAdded;
        EXPECT_EQ(!c.title.isEmpty() && RuleExists(c.title), saved);
        const auto titles = IndexTitles();
        EXPECT_EQ(std::count(titles.begin(), titles.end(), ToGbk(c.title)), saved ? 1 : 0);
    }
    const std::string methodTwo = RuleBytes("E");
    EXPECT_NE(methodTwo.find("[left][/left]\r\n[right][/right]\r\n[style]2[/style]"), std::string::npos);
}

// Only emptiness is checked: a title of one blank names a rule like any other.
TEST_F(RuleEditorTest, OneBlankIsATitle)
{
    Fill(" ", 1, "a", "b", "");
    PressAdd();
    EXPECT_EQ(messages.Texts(), QStringList{kAdded});
    EXPECT_TRUE(RuleExists(" "));
    EXPECT_EQ(IndexTitles(), std::vector<std::string>{" "});
}

TEST_F(RuleEditorTest, SavedFileHoldsTheEightFieldsInOrder)
{
    Fill("ShopA", 1, "<em>￥", "</em>", "", "span");
    PressAdd();
    ASSERT_EQ(messages.Texts(), QStringList{kAdded});
    const std::string expected = "[time]" + FormatTimestamp() + "[/time]" +
                                 Gbk("\r\n[left]<em>￥[/left]\r\n[right]</em>[/right]\r\n[style]1[/style]"
                                     "\r\n[tb][/tb]\r\n[tbd]span[/tbd]\r\n[fixed]0[/fixed]\r\n[open]0[/open]");
    EXPECT_EQ(RuleBytes("ShopA"), expected);
    EXPECT_EQ(IndexTitles(), std::vector<std::string>{"ShopA"});
    // The fields stay for the next rule; the list is not refilled.
    EXPECT_EQ(Title()->text(), "ShopA");
    EXPECT_EQ(List()->topLevelItemCount(), 0);
}

TEST_F(RuleEditorTest, FieldsAreTakenExactlyAsTypedAndLoadBackUnchanged)
{
    const QString left = QStringLiteral("  <div class=\"p\">\n￥ ");
    const QString right = QStringLiteral("</em>  \n\n");
    Fill(QStringLiteral(" 店 A"), 2, left, right, QStringLiteral(" price "), QStringLiteral("inputs"));
    PressAdd();
    ASSERT_EQ(messages.Texts(), QStringList{kAdded});
    const std::string bytes = RuleBytes(QStringLiteral(" 店 A"));
    EXPECT_NE(bytes.find(Gbk("[left]  <div class=\"p\">\r\n￥ [/left]")), std::string::npos);
    EXPECT_NE(bytes.find("[right]</em>  \r\n\r\n[/right]"), std::string::npos);
    EXPECT_NE(bytes.find("[style]2[/style]\r\n[tb] price [/tb]\r\n[tbd]inputs[/tbd]"), std::string::npos);

    Fill("", 1, "", "", "", "span");
    OpenRuleList();
    SelectRow(0);
    MenuItem("编辑")->trigger();
    EXPECT_EQ(Title()->text(), QStringLiteral(" 店 A"));
    EXPECT_EQ(Left()->toPlainText(), left);
    EXPECT_EQ(Right()->toPlainText(), right);
    EXPECT_EQ(ElementName()->text(), " price ");
    EXPECT_EQ(ElementType()->currentText(), "inputs");
    EXPECT_TRUE(ElementMethod()->isChecked());

    // Saving the loaded rule again writes the same markers.
    PressAdd();
    EXPECT_NE(RuleBytes(QStringLiteral(" 店 A")).find(Gbk("[left]  <div class=\"p\">\r\n￥ [/left]")),
              std::string::npos);
}

// 编辑 then 添加 changes what the rule finds, never whether it is on: a closed
// rule would lose its grid column at the next start.
TEST_F(RuleEditorTest, EditingARuleKeepsItsStateAndPlace)
{
    WriteRule("京东", RuleText("1", "1", "1"));
    WriteRule("A", RuleText("1", "1"));
    WriteRule("B", RuleText("1", "0"));
    WriteIndex("\r\n京东\r\nA\r\nB");
    OpenRuleList();
    for (int row = 0; row < 3; ++row) {
        SelectRow(row);
        MenuItem("编辑")->trigger();
        Left()->setPlainText(QStringLiteral("<b>"));
        PressAdd();
    }
    Fill(QStringLiteral("新"), 1, "<i>", "</i>", "");
    PressAdd();
    EXPECT_EQ(messages.Texts(), QStringList(4, kAdded));
    EXPECT_EQ(IndexTitles(), (std::vector<std::string>{Gbk("京东"), "A", "B", Gbk("新")}));
    EXPECT_EQ(RuleField(RuleBytes("A"), "left"), "<b>");

    MenuItem("刷新")->trigger();
    ASSERT_EQ(List()->topLevelItemCount(), 4);
    const QStringList kinds{QStringLiteral("内置"), QStringLiteral("自定义添加"), QStringLiteral("自定义添加"),
                            QStringLiteral("自定义添加")};
    const QStringList states{QStringLiteral("启用"), QStringLiteral("启用"), QStringLiteral("关闭"),
                             QStringLiteral("关闭")};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(Cell(row, 2), kinds[row]) << row;
        EXPECT_EQ(Cell(row, 3), states[row]) << row;
    }
}

TEST_F(RuleEditorTest, RefusedTitlesSaveNothingAndSayWhy)
{
    const QString refused =
        QStringLiteral("规则未保存：采集名称不能用作规则文件名（例如含有 / 或 \\ 等字符，或者是 . 或 ..）。");
    for (const QString &title : {QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("."),
                                 QStringLiteral(".."), QStringLiteral("../x")}) {
        SCOPED_TRACE(title.toStdString());
        messages.Clear();
        Fill(title, 1, "<em>", "</em>", "");
        PressAdd();
        EXPECT_EQ(messages.Texts(), QStringList{refused});
        EXPECT_TRUE(IndexTitles().empty());
    }
    EXPECT_TRUE(std::filesystem::is_empty(root.Dirs().spiderDir));

    // A "\" byte inside a two-byte character is no separator.
    messages.Clear();
    Fill(QStringLiteral("乗"), 1, "<em>", "</em>", "");
    PressAdd();
    EXPECT_EQ(messages.Texts(), QStringList{kAdded});
    EXPECT_TRUE(RuleExists(QStringLiteral("乗")));
}

TEST_F(RuleEditorTest, AFailedWriteIsReportedAndLeavesTheIndexAlone)
{
    std::filesystem::remove_all(root.Dirs().spiderDir);
    TempSession::WriteBytes(root.Dirs().spiderDir, "not a directory");
    Fill("ShopA", 1, "<em>", "</em>", "");
    PressAdd();
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("保存规则失败")));
    EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String(RuleFilePath(root.Dirs(), "ShopA").u16string())));
    EXPECT_TRUE(IndexTitles().empty());
}

TEST_F(RuleEditorTest, AnIndexThatCannotBeWrittenIsReported)
{
    // The class directory is a file, so no index can be made in it.
    std::filesystem::remove_all(root.Dirs().classDir);
    TempSession::WriteBytes(root.Dirs().classDir, "not a directory");
    Fill("ShopA", 1, "<em>", "</em>", "");
    PressAdd();
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("保存规则失败")));
    EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String(RuleIndexPath(root.Dirs()).u16string())));
    EXPECT_TRUE(RuleExists("ShopA"));
}

struct LoadCase {
    const char *name;
    std::string style; // empty: no "[style]" tag
    std::string type;
    bool presetElementMethod;
    int presetTypeItem;
    bool expectElementMethod;
    int expectTypeItem;
};

TEST_F(RuleEditorTest, LoadingSetsTheMethodAndTypeOnlyForKnownValues)
{
    const LoadCase cases[] = {
        {"method 1 and span", "1", "span", true, 3, false, 0},
        {"method 2 and div", "2", "div", false, 0, true, 1},
        {"DIV is no item", "2", "DIV", false, 3, true, 3},
        {"text", "1", "text", true, 0, false, 4},
        {"a blank makes no item", "1", " span", false, 2, false, 2},
        {"no method keeps method 2", "", "inputs", true, 0, true, 3},
        {"no method keeps method 1", "", "input", false, 0, false, 2},
        {"unknown method", "3", "", true, 1, true, 1},
    };
    std::string index;
    for (const LoadCase &c : cases) {
        std::string text = "[time]t[/time]\r\n[left]L " + std::string(c.name) + "[/left]\r\n[right]R[/right]";
        if (!c.style.empty())
            text += "\r\n[style]" + c.style + "[/style]";
        text += "\r\n[tb]N[/tb]\r\n[tbd]" + c.type + "[/tbd]\r\n[fixed]0[/fixed]\r\n[open]0[/open]";
        WriteRule(c.name, text);
        index += std::string("\r\n") + c.name;
    }
    WriteIndex(index);
    OpenRuleList();

    for (int row = 0; row < static_cast<int>(std::size(cases)); ++row) {
        const LoadCase &c = cases[row];
        SCOPED_TRACE(c.name);
        (c.presetElementMethod ? ElementMethod() : MarkerMethod())->click();
        ElementType()->setCurrentIndex(c.presetTypeItem);
        Tabs()->setCurrentIndex(1);
        SelectRow(row);
        MenuItem("编辑")->trigger();
        EXPECT_EQ(Title()->text(), QString::fromUtf8(c.name));
        EXPECT_EQ(Left()->toPlainText(), "L " + QString::fromUtf8(c.name));
        EXPECT_EQ(Right()->toPlainText(), "R");
        EXPECT_EQ(ElementName()->text(), "N");
        EXPECT_EQ(ElementMethod()->isChecked(), c.expectElementMethod);
        EXPECT_EQ(MarkerMethod()->isChecked(), !c.expectElementMethod);
        EXPECT_EQ(window.EditorPage()->ExtractionPages()->currentIndex(), c.expectElementMethod ? 1 : 0);
        EXPECT_EQ(ElementType()->currentIndex(), c.expectTypeItem);
        EXPECT_EQ(Tabs()->currentIndex(), 2);
    }
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(RuleEditorTest, ARuleWithoutFileLoadsEmptyFields)
{
    WriteIndex("Gone");
    OpenRuleList();
    Fill("x", 2, "old left", "old right", "old name", "div");
    SelectRow(0);
    EXPECT_TRUE(editor.LoadRuleIntoEditor());
    EXPECT_EQ(Title()->text(), "Gone");
    EXPECT_EQ(Left()->toPlainText(), "");
    EXPECT_EQ(Right()->toPlainText(), "");
    EXPECT_EQ(ElementName()->text(), "");
    EXPECT_TRUE(ElementMethod()->isChecked());
    EXPECT_EQ(ElementType()->currentText(), "div");
}

TEST_F(RuleEditorTest, NothingIsLoadedWithoutASelectedRow)
{
    WriteRule("A", RuleText("2", "1"));
    WriteIndex("A");
    OpenRuleList();
    List()->clearSelection();
    EXPECT_FALSE(editor.LoadRuleIntoEditor());
    EXPECT_EQ(Title()->text(), "");
    EXPECT_EQ(Tabs()->currentIndex(), 1);
}

} // namespace

// What the pick window hands over ("使用此规则"): its method's fields, and the
// other method's emptied, since both are saved with the rule.
TEST_F(RuleEditorTest, AChosenRuleEmptiesTheOtherMethodsFields)
{
    auto *picker = new RuleTestController(window.EditorPage(), root.State());
    Fill(QStringLiteral("店"), 1, "<b>", "</b>", "old", "div");
    picker->FillEditor(Rule{"", "", "", RuleMethod::Element, "now", "span", false, false});
    EXPECT_TRUE(ElementMethod()->isChecked());
    EXPECT_EQ(ElementName()->text(), "now");
    EXPECT_EQ(ElementType()->currentText(), "span");
    EXPECT_EQ(Left()->toPlainText(), "");
    EXPECT_EQ(Right()->toPlainText(), "");
    PressAdd();
    EXPECT_EQ(RuleField(RuleBytes(QStringLiteral("店")), "left"), "");

    picker->FillEditor(Rule{"", "<em>", "</em>", RuleMethod::Markers, "", "span", false, false});
    EXPECT_TRUE(MarkerMethod()->isChecked());
    EXPECT_EQ(Left()->toPlainText(), "<em>");
    EXPECT_EQ(Right()->toPlainText(), "</em>");
    EXPECT_EQ(ElementName()->text(), "");
}

// 添加 after a chosen rule asks whether to enable it; 启用 gives it its grid
// column at once, as "启用/关闭" does. A typed rule, or one enabled already,
// is only told "添加成功".
TEST_F(RuleEditorTest, AChosenRuleIsOfferedToBeEnabledAtOnce)
{
    auto *picker = new RuleTestController(window.EditorPage(), root.State());
    WriteRule("On", RuleText("1", "1"));
    const struct {
        const char *title;
        bool chosen;
        int answer;
        bool asked, enabled;
    } cases[] = {
        {"Yes", true, 0, true, true},
        {"No", true, 1, true, false},
        {"Typed", false, 0, false, false},
        {"On", true, 0, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        messages.Clear();
        questions.Answer(c.answer);
        const qsizetype asked = questions.Texts().size();
        Fill(QString::fromUtf8(c.title), 2, "", "", "now");
        if (c.chosen)
            picker->FillEditor(Rule{"", "", "", RuleMethod::Element, "now", "span", false, false});
        PressAdd();
        if (c.asked) {
            EXPECT_EQ(questions.Texts().mid(asked), QStringList{QStringLiteral("添加成功。是否立即启用这条规则？")});
            EXPECT_EQ(questions.Buttons().value(asked), (QStringList{QStringLiteral("启用"), QStringLiteral("暂不启用")}));
            EXPECT_TRUE(messages.Texts().isEmpty());
        } else {
            EXPECT_EQ(questions.Texts().size(), asked);
            EXPECT_EQ(messages.Texts(), QStringList{kAdded});
        }
        EXPECT_EQ(RuleField(RuleBytes(QString::fromUtf8(c.title)), "open"), c.enabled ? "1" : "0");
        // "On" was enabled before: saving it gives it its column as well.
        const bool hasColumn = window.ListPage()->Grid()->FindColumn(c.title) >= 0;
        EXPECT_EQ(hasColumn, c.enabled);
        const auto &rules = root.State().enabledRules;
        EXPECT_EQ(std::count_if(rules.begin(), rules.end(), [&](const EnabledRule &r) { return r.title == c.title; }),
                  hasColumn ? 1 : 0);
    }
    // The offer is made once: saving the same fields again is an edit.
    questions.Answer(1);
    Fill(QStringLiteral("Again"), 2, "", "", "now");
    picker->FillEditor(Rule{"", "", "", RuleMethod::Element, "now", "span", false, false});
    PressAdd();
    const qsizetype asked = questions.Texts().size();
    messages.Clear();
    PressAdd();
    EXPECT_EQ(questions.Texts().size(), asked);
    EXPECT_EQ(messages.Texts(), QStringList{kAdded});
}
