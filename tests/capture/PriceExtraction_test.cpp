// Price extraction and the rule test's texts over page snapshots (no browser).
#include "common/CoreTestSupport.h"

#include "capture/MarkerSearch.h"
#include "capture/PriceExtraction.h"
#include "capture/RuleTest.h"
#include "support/DateTime.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

DomSnapshot PageWithSource(const char *utf8Source)
{
    DomSnapshot page;
    page.hasDocument = true;
    page.pageSource = Gbk(utf8Source);
    return page;
}

DomSnapshot PageWithElement(ElementReader reader, const char *name, const char *utf8Value)
{
    DomSnapshot page = PageWithSource("<html><body>x</body></html>");
    page.elements.emplace_back(ElementQuery{reader, Gbk(name), 0}, Gbk(utf8Value));
    return page;
}

std::string MarkerRule(const char *style, const char *left, const char *right)
{
    return Gbk(std::string("[style]") + style + "[/style]\r\n[left]" + left + "[/left]\r\n[right]" + right +
               "[/right]\r\n");
}

std::string ElementRule(const char *kind, const char *name)
{
    return Gbk(std::string("[style]2[/style]\r\n[tb]") + name + "[/tb]\r\n[tbd]" + kind + "[/tbd]\r\n");
}

class PriceExtractionTest : public ::testing::Test {
protected:
    std::string Extract(const std::string &rule, const DomSnapshot &page)
    {
        return GbkToUtf8(ExtractPrice(ParseRule(rule), page));
    }
};

TEST_F(PriceExtractionTest, MarkersAreSearchedInTheLoweredSource)
{
    const DomSnapshot page = PageWithSource(
        "<html><body><SPAN id=price>￥ 12.50</SPAN><p data-price=\"66.5\" x><EM>暂无报价</EM></body></html>");
    struct Row {
        std::string rule;
        const char *expected;
    } rows[] = {
        {MarkerRule("1", "<span id=price>", "</span>"), "12.50"},
        {MarkerRule("1", "<SPAN id=price>", "</span>"), ""}, // markers keep their capitals
        {MarkerRule("1", "data-price=#引号", "#引号"), "66.5"},
        {MarkerRule("1", "<em>", "</em>"), "暂无报价"},       // any non-empty text is a price
        {MarkerRule("1 ", "<span id=price>", "</span>"), ""}, // style compared whole
        {MarkerRule("3", "<span id=price>", "</span>"), ""},
        {Gbk("[left]<span id=price>[/left][right]</span>[/right]"), ""}, // no style at all
        {MarkerRule("1", "<b>", "</b>"), ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(Extract(row.rule, page), row.expected) << GbkToUtf8(row.rule);
}

TEST_F(PriceExtractionTest, MultiLineMarkersStoredWithCrLfMatchTheSerialisedPage)
{
    // The browser's serialised document has bare line feeds; the rule file
    // keeps what was typed over two lines as CR LF.
    const DomSnapshot page = PageWithSource("<div class=p>\n<i>价</i>\n<b>8.80</b>\n</div>");
    EXPECT_EQ(Extract(MarkerRule("1", "<div class=p>\r\n<i>价</i>\r\n<b>", "</b>"), page), "8.80");
    EXPECT_EQ(Extract(MarkerRule("1", "<i>价</i>\n<b>", "</b>\r\n</div>"), page), "8.80");
    EXPECT_EQ(Extract(MarkerRule("1", "<i>价</i>\r<b>", "</b>"), page), "") << "a lone CR stays a CR";
}

TEST_F(PriceExtractionTest, ElementKindsAreComparedExactly)
{
    const DomSnapshot span = PageWithElement(ElementReader::GetSpanInnerHtml, "b", "<b>99</b>.00");
    EXPECT_EQ(Extract(ElementRule("span", "b"), span), "99.00");
    EXPECT_EQ(Extract(ElementRule("Span", "b"), span), "");
    EXPECT_EQ(Extract(ElementRule("SPAN", "b"), span), "");
    EXPECT_EQ(Extract(ElementRule("", "b"), span), "");
    EXPECT_EQ(Extract(ElementRule("span", "c"), span), "") << "the element asked for is not in the snapshot";

    const DomSnapshot hidden = PageWithElement(ElementReader::GetHiddenInputValue, "h", "￥ 3.20");
    EXPECT_EQ(Extract(ElementRule("inputs", "h"), hidden), "3.20");
    EXPECT_EQ(Extract(ElementRule("input", "h"), hidden), "") << "input reads text inputs, never hidden ones";

    struct Row {
        const char *kind;
        ElementReader reader;
    } kinds[] = {{"span", ElementReader::GetSpanInnerHtml},
                 {"div", ElementReader::GetDivInnerHtml},
                 {"input", ElementReader::GetTextInputValue},
                 {"inputs", ElementReader::GetHiddenInputValue},
                 {"text", ElementReader::GetTextAreaValue}};
    for (const Row &row : kinds) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - &*std::begin(kinds)));
        EXPECT_EQ(ElementReaderForKind(row.kind), row.reader) << row.kind;
        const DomRequest request = RequestForRule(ParseRule(ElementRule(row.kind, "n")));
        ASSERT_EQ(request.elements.size(), 1u);
        EXPECT_EQ(request.elements[0], (ElementQuery{row.reader, "n", 0}));
        EXPECT_FALSE(request.pageSource);
    }
    EXPECT_FALSE(ElementReaderForKind("textarea"));
    EXPECT_TRUE(RequestForRule(ParseRule(ElementRule("Div", "n"))).elements.empty());
    const DomRequest markers = RequestForRule(ParseRule(MarkerRule("1", "a", "b")));
    EXPECT_FALSE(markers.pageSource) << "the markers are searched inside the page";
    EXPECT_EQ(markers.markers.size(), 1u);
}

TEST_F(PriceExtractionTest, NothingWithoutARuleOrADocument)
{
    const DomSnapshot page = PageWithSource("<span id=price>12.50</span>");
    const std::string rule = MarkerRule("1", "<span id=price>", "</span>");
    EXPECT_EQ(Extract(rule, page), "12.50");
    EXPECT_EQ(Extract("", page), "") << "an empty rule text";
    EXPECT_EQ(Extract(rule, DomSnapshot{}), "") << "no document";
}

class RuleTestTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClockForTests([] { return LocalDateTime{2024, 3, 5, 14, 7, 9, 0}; });
    }
    void TearDown() override
    {
        SetClockForTests(nullptr);
    }
};

TEST_F(RuleTestTextTest, TheLogLineSaysWhatTheEditorsRuleFinds)
{
    const std::string stamp = FormatTimestamp();
    const DomSnapshot page = PageWithSource("<p><EM>￥88</EM><i>&nbsp;</i></p>");
    auto line = [&](TestInputs inputs, const DomSnapshot &p) {
        const auto text = TestResultLine(inputs, p);
        return text ? GbkToUtf8(*text) : std::string("<none>");
    };
    const std::string prefix = GbkToUtf8(stamp) + "    测试获取的价格为：";
    EXPECT_EQ(line({"<em>", "</em>", false, "", ""}, page), prefix + "88\r\n");
    EXPECT_EQ(line({"<EM>", "</EM>", false, "", ""}, page), prefix + "未获取到或暂无价格\r\n");
    EXPECT_EQ(line({"<i>", "</i>", false, "", ""}, page), prefix + "未获取到或暂无价格\r\n") << "cleaned to nothing";
    EXPECT_FALSE(TestFindsPrice({"<i>", "</i>", false, "", ""}, page)) << "a script may still fill it in";

    DomSnapshot element = PageWithElement(ElementReader::GetDivInnerHtml, "d", "<b>1</b>.5");
    EXPECT_EQ(line({"", "", true, Gbk("d"), Gbk("div")}, element), prefix + "1.5\r\n");
    EXPECT_EQ(line({"", "", true, Gbk("none"), Gbk("div")}, element), prefix + "未获取到或暂无价格\r\n");
    EXPECT_EQ(line({"<em>", "</em>", true, Gbk("d"), Gbk("Div")}, element), prefix + "未获取到或暂无价格\r\n")
        << "the radio button decides the method, not the markers";
    EXPECT_EQ(line({"", "", true, "", Gbk("div")}, element), GbkToUtf8(stamp) + "    元素名称为空，没有测试\r\n");
    EXPECT_TRUE(TestFindsPrice({"", "", true, "", Gbk("div")}, element)) << "nothing to wait for";
    EXPECT_TRUE(RequestForTest({"", "", true, "", Gbk("div")}).elements.empty());

    EXPECT_EQ(line({"<em>", "</em>", false, "", ""}, DomSnapshot{}), "<none>") << "no document, no line";
}

TEST_F(RuleTestTextTest, PickedSourceBreaksAfterEveryTagEndAndIsLowered)
{
    const DomSnapshot page = PageWithSource("<html><BODY><A HREF=\"/X\">Buy 手机</A></BODY></html>");
    EXPECT_EQ(GbkToUtf8(PickedSourceText(page)),
              "<html>\r\n<body>\r\n<a href=\"/x\">\r\nbuy 手机</a>\r\n</body>\r\n</html>\r\n");
    DataDirs dirs;
    dirs.classDir = "/data/class";
    EXPECT_EQ(PickedSourcePath(dirs), std::filesystem::path("/data/class/test.txt"));
}

TEST_F(PriceExtractionTest, MarkersOfTheOlderBrowserMatchQuotedAttributeValues)
{
    // The engine quotes every attribute value; stored markers often have none.
    const DomSnapshot page = PageWithSource(
        "<html><body><p data-price=\"66.5\" x></p><SPAN id=\"price\" class=\"big\">￥ 12.50</SPAN></body></html>");
    struct Row {
        std::string rule;
        const char *expected;
    } rows[] = {
        {MarkerRule("1", "<span id=price class=big>", "</span>"), "12.50"},
        {MarkerRule("1", "<span id=price", "</span>"), "class=\"big\">12.50"}, // a value at the end is whole
        {MarkerRule("1", "<span id=#引号price#引号 class=#引号big#引号>", "</span>"), "12.50"}, // picked in Corvix
        {MarkerRule("1", "data-price=", " "), "66.5"}, // the value left open takes its quote to the right marker
        {MarkerRule("1", "<SPAN id=price class=big>", "</span>"), ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(Extract(row.rule, page), row.expected) << GbkToUtf8(row.rule);
}

TEST(MarkerFormsTest, OnlyUnquotedValuesGainQuotes)
{
    struct Row {
        const char *left, *right;
        size_t forms;
        const char *quotedLeft, *quotedRight;
    } rows[] = {
        {"<span id=price>", "</span>", 2, "<span id=\"price\">", "</span>"},
        {"<a href=/x?a=1 title=t>", "</a>", 2, "<a href=\"/x?a=1\" title=\"t\">", "</a>"},
        {"data-price=", " ", 2, "data-price=\"", "\" "},
        {"<em>", "</em>", 1, "", ""},
        {"x = 1", "y", 1, "", ""},
        {"id=\"a\">", "<", 1, "", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - &*std::begin(rows)));
        const MarkerQuery q = MarkerForms(row.left, row.right);
        ASSERT_EQ(q.forms.size(), row.forms) << row.left;
        if (row.forms == 2) {
            EXPECT_EQ(q.forms[1].first, row.quotedLeft);
            EXPECT_EQ(q.forms[1].second, row.quotedRight);
        }
    }
    const MarkerQuery gbk = MarkerForms(Gbk("<i title=价格>"), "</i>");
    ASSERT_EQ(gbk.forms.size(), 2u);
    EXPECT_EQ(gbk.forms[1].first, Gbk("<i title=\"价格\">"));
}

TEST(MarkerFormsTest, MarkersBesideASingleByteEuroSign)
{
    const struct {
        std::string source, left, right, expected;
    } rows[] = {
        {"<b>12,90\x80</b>", "<b>", "</b>", "12,90\x80"},
        {"<i title=\"\x80\">9</i>", "<i title=\x80>", "</i>", "9"},
        {"\x80<em>" + Gbk("億") + "|</em>", "\x80<em>", "|</em>", Gbk("億")},
    };
    for (const auto &row : rows)
        EXPECT_EQ(TextBetweenMarkers(row.source, MarkerForms(row.left, row.right)), row.expected) << row.source;
}

TEST(LegacyInputTypeTest, TypesTheOlderBrowserDidNotKnowAreText)
{
    for (const char *type : {"text", "password", "file", "hidden", "checkbox", "radio", "submit", "button"})
        EXPECT_EQ(LegacyInputType(type), type);
    for (const char *type : {"number", "tel", "email", "search", "url", "date", "made-up", ""})
        EXPECT_EQ(LegacyInputType(type), "text") << type;
}

} // namespace
} // namespace corvix
