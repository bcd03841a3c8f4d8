// The Excel export: the workbook is read back (its sheet XML), not only
// checked for existence.
#include "common/FullDisk.h"
#include "common/CoreTestSupport.h"
#include "products/ExcelExport.h"
#include "products/ProductGridModel.h"
#include "products/XlsxTemplate.h"
#include "support/Gbk.h"

#include <QFile>
#include <QTemporaryDir>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <tinyxml2.h>
#include <xlsxwriter.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <regex>
#include <map>
#include <memory>
#include <set>

using namespace corvix;
using corvix::test::TempDataRoot;

#include "products/WorkbookReader.h"


TEST(ProposedExportFileName, DatedToTheMinute)
{
    const std::pair<QDateTime, QString> cases[] = {
        {QDateTime(QDate(2024, 3, 5), QTime(9, 7, 59)), QStringLiteral("价格记录-20240305-0907.xlsx")},
        {QDateTime(QDate(1999, 12, 31), QTime(23, 59)), QStringLiteral("价格记录-19991231-2359.xlsx")},
    };
    for (const auto &[when, name] : cases)
        EXPECT_EQ(ProposedExportFileName(when), name);
}

TEST(ColumnLetter, OneToTwentySixThenTwoLetters)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {0, ""}, {1, "A"}, {2, "B"}, {26, "Z"}, {27, "AA"}, {28, "AB"}, {30, "AD"},
        {52, "AZ"}, {53, "BA"}, {702, "ZZ"}, {703, "AAA"}, {16384, "XFD"}};
    for (const auto &[n, letters] : cases)
        EXPECT_EQ(ColumnLetter(n), letters) << n;
}

TEST(ExportGridToExcel, WritesTitlesThenEveryCellPricesAsNumbers)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    const Result<ExportDone> result = ExportGridToExcel(*grid, target, TempPath(dir, "none.xls"));
    ASSERT_TRUE(result) << result.error().reason.toStdString();
    const Sheet sheet = ReadSheet(target);
    ASSERT_TRUE(sheet.parsed);
    const std::map<std::string, std::string> expected = {
        {"A1", "ID"}, {"B1", "商品名称"}, {"C1", "京东"}, {"D1", "天猫"},
        {"A2", "1"},  {"B2", "苹果"},     {"C2", "12.50"}, {"D2", "12.80"},
        {"A3", "2"},  {"B3", "香蕉"},     {"C3", "获取失败"},
        {"A4", "3"},  {"B4", "億元|梨"},  {"C4", "-"},     {"D4", "3"}};
    const std::set<std::string> numbers = {"A2", "A3", "A4", "C2", "D2", "D4"};
    for (const auto &[ref, text] : expected) {
        EXPECT_EQ(Shown(target, sheet, ref), text) << ref;
        if (sheet.cells.count(ref)) {
            EXPECT_EQ(sheet.cells.at(ref).type.empty(), numbers.count(ref) > 0) << ref << ": number or text";
        }
    }
    EXPECT_EQ(sheet.cells.size(), expected.size()); // D3 is empty
    EXPECT_EQ(sheet.rows, (std::vector<int>{1, 2, 3, 4}));
    // No temporary file is left beside the workbook.
    EXPECT_EQ(DirEntries(target.parent_path()), std::vector<std::string>{"out.xlsx"});
}

TEST(ExportGridToExcel, UnitPricesGoToASheetOfTheirOwnAsNumbersWithTheirUnit)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    const UnitPriceGrid unitPrices = {{{0, 2}, {25, PriceUnit::Per500g, true}}, {{0, 3}, {25.6, PriceUnit::Per500g, false}}};
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}, {}, {}, unitPrices).has_value());
    EXPECT_NE(ReadEntry(target, "xl/workbook.xml").value_or("").find("name=\"单价\""), std::string::npos);
    const Sheet sheet = ReadSheet(target, "xl/worksheets/sheet2.xml");
    ASSERT_TRUE(sheet.parsed);
    EXPECT_EQ(std::tuple(Text(sheet, "C1"), Text(sheet, "B2"), Text(sheet, "C2"), Text(sheet, "D2"),
                         Text(sheet, "C3"), Text(sheet, "D4")),
              std::tuple(std::string("京东"), std::string("苹果"), std::string("25"), std::string("25.6"),
                         std::string(), std::string()));
    EXPECT_EQ(LookOf(target, sheet.cells.at("D2").style).numberFormat, "0.00\"/500g\"");
    EXPECT_TRUE(LookOf(target, sheet.cells.at("C2").style).bold);
    EXPECT_FALSE(LookOf(target, sheet.cells.at("D2").style).bold);
    // Without unit prices there is one sheet only.
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}).has_value());
    EXPECT_FALSE(ReadEntry(target, "xl/worksheets/sheet2.xml"));
}

TEST(ExportGridToExcel, APriceIsANumberInAFormatThatShowsItsText)
{
    struct Case {
        std::string utf8;
        std::string numberFormat; // empty: the cell stays text
    };
    const std::vector<Case> cases = {
        {"￥1,299.00", "￥#,##0.00"},
        {"12.5", "0.0"},
        {"368", "0"},
        {"$248.00", "$0.00"},
        {"1,299", "#,##0"},
        {"¥9.9", "\"?\"0.0"}, // held as "?9.9", and shown so
        {"4,150.00元/吨", ""},
        {"007", ""},
        {"获取失败", ""},
        {"-", ""},
    };
    std::vector<std::vector<std::string>> rows;
    for (const Case &c : cases)
        rows.push_back({"", "", c.utf8});
    const auto grid = MakeGrid({"京东"}, rows);
    QTemporaryDir dir;
    const auto target = TempPath(dir, "out.xlsx");
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}).has_value());
    const Sheet sheet = ReadSheet(target);
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string ref = "C" + std::to_string(i + 2);
        const Cell &cell = sheet.cells.at(ref);
        if (cases[i].numberFormat.empty()) {
            EXPECT_NE(cell.type, "") << cases[i].utf8;
        } else {
            EXPECT_EQ(cell.type, "") << cases[i].utf8;
            EXPECT_EQ(LookOf(target, cell.style).numberFormat, cases[i].numberFormat) << cases[i].utf8;
        }
        EXPECT_EQ(Shown(target, sheet, ref), GbkToUtf8(Gbk(cases[i].utf8))) << cases[i].utf8;
    }
}

TEST(FittingColumnWidth, LongestLineInCharacterWidthsPlusRoomCapped)
{
    const std::vector<std::pair<std::string, double>> cases = {
        {"", 2},      {"1,299.00", 10},           {"苹果", 6},           {"￥1,299.00", 12},
        {"ab\r\nabcd", 6}, {std::string(58, 'x'), 60}, {std::string(300, 'x'), kMaxColumnWidth}};
    for (const auto &[utf8, width] : cases)
        EXPECT_EQ(FittingColumnWidth(TextWidth(Gbk(utf8))), width) << utf8;
}

TEST(SheetNameOf, CaptureTimeWithoutCharactersASheetNameRefuses)
{
    const std::pair<QDateTime, QString> cases[] = {
        {QDateTime(QDate(2026, 12, 8), QTime(9, 30, 59)), QStringLiteral("2026-12-08 09.30")},
        {QDateTime(QDate(1999, 1, 2), QTime(23, 5)), QStringLiteral("1999-01-02 23.05")},
    };
    for (const auto &[when, name] : cases) {
        EXPECT_EQ(SheetNameOf(when), name);
        EXPECT_LE(name.size(), 31);
    }
}

TEST(ProposedHistoryFileName, ProductTitleMadeFitForAFileName)
{
    const QDate day(2026, 12, 8);
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("华为 Mate 60"), QStringLiteral("价格走势-华为 Mate 60-20261208.xlsx")},
        {QStringLiteral("A/B:C*?\"<>|\\D"), QStringLiteral("价格走势-A_B_C_______D-20261208.xlsx")},
        {QStringLiteral(" .tab\there. "), QStringLiteral("价格走势-tab_here-20261208.xlsx")},
        {QStringLiteral(" .. "), QStringLiteral("价格走势-_-20261208.xlsx")},
    };
    for (const auto &[title, name] : cases)
        EXPECT_EQ(ProposedHistoryFileName(title, day), name) << title.toStdString();
}

TEST(ExportGridToExcel, EachColumnFitsItsLongestTextAndTheCaptureTimeIsSaid)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = MakeGrid({"京东", "Amazon 美国站"}, {{"1", "苹果", "1,299.00", "13"}, {"22", "梨", "", "9"}});
    const QDateTime captured(QDate(2026, 12, 8), QTime(9, 30, 5));
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}, captured).has_value());
    const Sheet sheet = ReadSheet(target);
    for (const char *ref : {"A1", "B1", "C1", "D1"})
        EXPECT_TRUE(LookOf(target, sheet.cells.at(ref).style).bold) << ref;
    EXPECT_FALSE(LookOf(target, sheet.cells.at("B2").style).bold);
    // The widest text of a column, title or price as shown, and room on either side.
    const std::map<int, double> widths = ColumnWidths(target);
    const std::vector<std::pair<int, double>> expected = {{1, 2 + 2}, {2, 8 + 2}, {3, 8 + 2}, {4, 13 + 2}};
    for (const auto &[column, width] : expected) {
        ASSERT_TRUE(widths.count(column)) << column;
        // The file adds the cell padding of the default font to every width.
        EXPECT_NEAR(widths.at(column), width + 0.7, 0.1) << column;
    }
    EXPECT_NE(ReadEntry(target, "xl/workbook.xml")->find("name=\"2026-12-08 09.30\""), std::string::npos);
    const std::string core = *ReadEntry(target, "docProps/core.xml");
    for (const char *said : {"<dc:title>价格记录 2026-12-08 09:30</dc:title>",
                             "<dc:subject>抓取时间：2026-12-08 09:30:05</dc:subject>",
                             "<dc:description>抓取时间：2026-12-08 09:30:05</dc:description>",
                             "<dcterms:created xsi:type=\"dcterms:W3CDTF\">"})
        EXPECT_NE(core.find(said), std::string::npos) << said << "\n" << core;
    const std::string created = captured.toUTC().toString(Qt::ISODate).toStdString();
    EXPECT_NE(core.find(created), std::string::npos) << created;
}

TEST(ExportGridToExcel, TemplateCellsTakeNumbersAndKeepTheirOwnFormats)
{
    QTemporaryDir dir;
    const auto templ = TempPath(dir, "temp.xls");
    lxw_workbook *wb = workbook_new(templ.c_str());
    lxw_worksheet *sheet = workbook_add_worksheet(wb, nullptr);
    lxw_format *twoPlaces = workbook_add_format(wb);
    format_set_num_format(twoPlaces, "0.00");
    worksheet_write_number(sheet, 1, 2, 0, twoPlaces); // C2
    worksheet_set_column(sheet, 0, 0, 30, nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);

    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = MakeGrid({"京东", "天猫"}, {{"1", "苹果", "12.5", "￥1,299.00"}});
    ASSERT_TRUE(ExportGridToExcel(*grid, target, templ).has_value());
    EXPECT_EQ(ColumnWidths(target), ColumnWidths(templ)); // its widths are its author's
    const Sheet before = ReadSheet(templ);
    const Sheet out = ReadSheet(target);
    EXPECT_EQ(out.cells.at("C2").type, "");
    EXPECT_EQ(out.cells.at("C2").style, before.cells.at("C2").style);
    EXPECT_EQ(Shown(target, out, "C2"), "12.50");
    // A cell the template has no style for shows the plain value.
    EXPECT_EQ(out.cells.at("D2").type, "");
    EXPECT_EQ(Shown(target, out, "D2"), "1299");
    EXPECT_EQ(out.cells.at("C1").type, "inlineStr"); // titles stay text
    EXPECT_FALSE(LookOf(target, out.cells.at("C1").style).bold);
    EXPECT_EQ(ReadEntry(target, "xl/styles.xml"), ReadEntry(templ, "xl/styles.xml"));
}

TEST(ExportGridToExcel, EmptyGridGivesTheHeaderRowOnly)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "empty.xlsx");
    const auto grid = MakeGrid({"京东"}, {});
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}).has_value());
    const Sheet sheet = ReadSheet(target);
    ASSERT_TRUE(sheet.parsed);
    EXPECT_EQ(sheet.rows, std::vector<int>{1});
    EXPECT_EQ(Text(sheet, "A1"), "ID");
    EXPECT_EQ(Text(sheet, "C1"), "京东");
    EXPECT_EQ(sheet.cells.size(), 3u);
}

TEST(ExportGridToExcel, ThirtyColumnsGoOnToDoubleLetters)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "wide.xlsx");
    std::vector<std::string> rules;
    std::vector<std::string> row{"1", "宽表"};
    for (int i = 3; i <= 30; ++i) {
        rules.push_back("站" + std::to_string(i));
        row.push_back(std::to_string(i) + ".0");
    }
    const auto grid = MakeGrid(rules, {row});
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}).has_value());
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "Z1"), "站26");
    EXPECT_EQ(Text(sheet, "AA1"), "站27");
    EXPECT_EQ(Text(sheet, "AD1"), "站30");
    EXPECT_EQ(Shown(target, sheet, "AA2"), "27.0");
    EXPECT_EQ(Shown(target, sheet, "AD2"), "30.0");
    EXPECT_EQ(sheet.cells.size(), 60u);
}

TEST(ExportGridToExcel, AwkwardTextsSurviveBothWriters)
{
    QTemporaryDir dir;
    MakeTemplate(TempPath(dir, "temp.xls"));
    const auto grid = MakeGrid({"A&B"}, {{"1", "<b>\"x\"</b> & y", " lead"}, {"2", "€ ￥ 億", "tab\there"}, {"3", "bell\x07 cr\r", "_x0041_"}});
    for (const fs::path &templ : {fs::path(), TempPath(dir, "temp.xls")}) {
        const auto target = TempPath(dir, templ.empty() ? "fresh.xlsx" : "templ.xlsx");
        ASSERT_TRUE(ExportGridToExcel(*grid, target, templ).has_value());
        const Sheet sheet = ReadSheet(target);
        ASSERT_TRUE(sheet.parsed) << target;
        EXPECT_EQ(Text(sheet, "C1"), "A&B");
        EXPECT_EQ(Text(sheet, "B2"), "<b>\"x\"</b> & y");
        EXPECT_EQ(Text(sheet, "C2"), " lead");
        EXPECT_EQ(Text(sheet, "B3"), "€ ￥ 億");
        EXPECT_EQ(Text(sheet, "C3"), "tab\there");
        // Characters XML cannot carry, and literal escapes, in the spreadsheet's escape form.
        EXPECT_EQ(Text(sheet, "B4"), "bell_x0007_ cr_x000D_");
        EXPECT_EQ(Text(sheet, "C4"), "_x005F_x0041_");
    }
}

TEST(ExportGridToExcel, TemplateFirstSheetReceivesTheCellsAndKeepsTheRest)
{
    QTemporaryDir dir;
    const auto templ = TempPath(dir, "temp.xls"); // Office Open XML under the old name
    MakeTemplate(templ);
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    const Result<ExportDone> result =
        ExportGridToExcel(*grid, target, templ, QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
    ASSERT_TRUE(result) << result.error().reason.toStdString();

    const Sheet before = ReadSheet(templ);
    const Sheet sheet = ReadSheet(target);
    ASSERT_TRUE(sheet.parsed);
    EXPECT_EQ(Text(sheet, "A1"), "ID");
    EXPECT_EQ(sheet.cells.at("A1").style, before.cells.at("A1").style); // bold header kept
    EXPECT_FALSE(sheet.cells.at("A1").style.empty());
    EXPECT_EQ(Text(sheet, "D1"), "天猫");
    EXPECT_EQ(Text(sheet, "C2"), "12.5"); // a number; the template cell had no format for it
    EXPECT_EQ(sheet.cells.at("C2").type, "");
    EXPECT_EQ(Text(sheet, "C3"), "获取失败");
    EXPECT_EQ(Text(sheet, "D3"), "");       // an empty grid cell empties the template cell
    EXPECT_EQ(Text(sheet, "B4"), "億元|梨"); // was the number 3.5
    EXPECT_EQ(sheet.cells.at("B4").type, "inlineStr");
    EXPECT_EQ(Text(sheet, "F1"), "备注");    // outside the written range
    EXPECT_EQ(Text(sheet, "A40"), "制表：价格组");
    EXPECT_EQ(sheet.cells.at("A41").formula, "1+1");
    EXPECT_EQ(sheet.rows, (std::vector<int>{1, 2, 3, 4, 40, 41}));
    EXPECT_EQ(sheet.dimension, "A1:F41");
    // It set no column widths: the grid's fit (商品名称, 8 wide, is the longest in B).
    EXPECT_NEAR(ColumnWidths(target)[2], 8 + 2 + 0.7, 0.1);

    // The properties say when the prices were captured; the sheet names
    // (which formulas may use), the second sheet and the styles are the template's.
    const std::string core = *ReadEntry(target, "docProps/core.xml");
    for (const char *said : {"<dc:title>价格记录 2026-12-08 09:30</dc:title>", "<dc:description>抓取时间：2026-12-08 09:30:00<",
                             "<dcterms:created xsi:type=\"dcterms:W3CDTF\">"})
        EXPECT_NE(core.find(said), std::string::npos) << said << "\n" << core;
    for (const char *part : {"xl/worksheets/sheet2.xml", "xl/styles.xml", "xl/workbook.xml",
                             "xl/sharedStrings.xml"})
        EXPECT_EQ(ReadEntry(target, part), ReadEntry(templ, part)) << part;
    EXPECT_EQ(EntryNames(target), EntryNames(templ));
    EXPECT_EQ(Text(ReadSheet(target, "xl/worksheets/sheet2.xml"), "A1"), "第二页");
}

TEST(ExportGridToExcel, TemplateWorkbookTypeAndCalculationChainAreMadePlain)
{
    QTemporaryDir dir;
    const auto templ = TempPath(dir, "temp.xls");
    MakeTemplate(templ);
    // Rewrite it as an Excel template (.xltx) with a calculation chain.
    const auto plain = TempPath(dir, "plain.xlsx");
    fs::rename(templ, plain);
    RewritePackage(
        plain, templ,
        [](const std::string &name, std::string &bytes) {
            if (name == "[Content_Types].xml") {
                const std::string from = "spreadsheetml.sheet.main+xml";
                bytes.replace(bytes.find(from), from.size(), "spreadsheetml.template.main+xml");
                bytes.insert(bytes.rfind("</Types>"),
                             "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"application/"
                             "vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>");
            }
            if (name == "xl/_rels/workbook.xml.rels")
                bytes.insert(bytes.rfind("</Relationships>"),
                             "<Relationship Id=\"rId99\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
                             "2006/relationships/calcChain\" Target=\"calcChain.xml\"/>");
        },
        {{"xl/calcChain.xml", "<calcChain xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                              "<c r=\"A41\" i=\"1\"/></calcChain>"}});
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    ASSERT_TRUE(ExportGridToExcel(*grid, target, templ).has_value());
    const auto types = ReadEntry(target, "[Content_Types].xml");
    ASSERT_TRUE(types);
    EXPECT_NE(types->find("spreadsheetml.sheet.main+xml"), std::string::npos);
    EXPECT_EQ(types->find("template.main"), std::string::npos);
    EXPECT_EQ(types->find("calcChain"), std::string::npos);
    EXPECT_EQ(ReadEntry(target, "xl/_rels/workbook.xml.rels")->find("calcChain"), std::string::npos);
    EXPECT_FALSE(ReadEntry(target, "xl/calcChain.xml"));
    EXPECT_EQ(Text(ReadSheet(target), "B2"), "苹果");
}

TEST(ExportGridToExcel, BrokenTemplateIsReportedAndNothingIsWritten)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "out.xlsx");
    TempDataRoot::WriteBytes(target, "previous export");
    const auto grid = SampleGrid();
    const std::vector<std::pair<const char *, std::string>> templates = {
        {"not a workbook", "hello"},
        {"empty file", ""},
        {"a zip that is cut off", std::string("PK\x03\x04\x14\0\0\0", 8) + "garbage"},
    };
    for (const auto &[what, bytes] : templates) {
        const auto templ = TempPath(dir, "temp.xls");
        TempDataRoot::WriteBytes(templ, bytes);
        const Result<ExportDone> result = ExportGridToExcel(*grid, target, templ);
        ASSERT_FALSE(result) << what;
        EXPECT_TRUE(result.error().kind == FileError::Kind::Damaged ||
                    result.error().kind == FileError::Kind::NotAWorkbook)
            << what;
        EXPECT_EQ(result.error().path, templ) << what;
        EXPECT_EQ(TempDataRoot::ReadBytes(target), "previous export") << what;
        EXPECT_EQ(DirEntries(target.parent_path()), (std::vector<std::string>{"out.xlsx", "temp.xls"})) << what;
    }
}

TEST(ExportGridToExcel, TemplateWithABrokenFirstSheetIsReported)
{
    QTemporaryDir dir;
    const auto good = TempPath(dir, "good.xlsx");
    MakeTemplate(good);
    const auto templ = TempPath(dir, "temp.xls");
    RewritePackage(good, templ, [](const std::string &name, std::string &bytes) {
        if (name == "xl/worksheets/sheet1.xml")
            bytes = "<worksheet><sheetData><row r=\"1\">";
    });
    const auto grid = SampleGrid();
    const Result<ExportDone> result = ExportGridToExcel(*grid, TempPath(dir, "out.xlsx"), templ);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FileError::Kind::Damaged);
    EXPECT_FALSE(fs::exists(TempPath(dir, "out.xlsx")));
}

TEST(ExportGridToExcel, TemplateWithPrefixedElementsGetsCellsInTheSamePrefix)
{
    QTemporaryDir dir;
    const auto good = TempPath(dir, "good.xlsx");
    MakeTemplate(good);
    const auto templ = TempPath(dir, "temp.xls");
    // As some generators write it: <x:worksheet xmlns:x="..."><x:sheetData>...
    RewritePackage(good, templ, [](const std::string &name, std::string &bytes) {
        if (name != "xl/worksheets/sheet1.xml")
            return;
        bytes = std::regex_replace(bytes, std::regex("<(/?)([A-Za-z])"), "<$1x:$2");
        bytes = std::regex_replace(bytes, std::regex("xmlns=\""), "xmlns:x=\"");
    });
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    ASSERT_TRUE(ExportGridToExcel(*grid, target, templ).has_value());
    const std::string xml = *ReadEntry(target, "xl/worksheets/sheet1.xml");
    EXPECT_NE(xml.find("<x:c r=\"B2\" t=\"inlineStr\"><x:is><x:t>苹果</x:t></x:is></x:c>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<x:row r=\"40\""), std::string::npos);
    EXPECT_EQ(xml.find("<c "), std::string::npos);
    tinyxml2::XMLDocument doc;
    EXPECT_EQ(doc.Parse(xml.data(), xml.size()), tinyxml2::XML_SUCCESS);
}

TEST(ExportGridToExcel, AProgressThatSaysStopLeavesTheTargetAsItWas)
{
    // Both writers; stopped at the first batch, or at the last row of a small grid.
    struct Row {
        const char *what;
        int rows;
        bool withTemplate;
    };
    const Row table[] = {{"fresh, small", 3, false},
                         {"fresh, large", 1000, false},
                         {"template, small", 3, true},
                         {"template, large", 1000, true}};
    for (const Row &r : table) {
        SCOPED_TRACE(r.what);
        QTemporaryDir dir;
        const auto target = TempPath(dir, "out.xlsx");
        const auto templ = TempPath(dir, "temp.xls");
        if (r.withTemplate)
            MakeTemplate(templ);
        TempDataRoot::WriteBytes(target, "previous export");
        std::vector<std::vector<std::string>> rows(static_cast<size_t>(r.rows), {"1", "a", "2.5", "3"});
        const auto grid = MakeGrid({"x", "y"}, rows);
        const auto before = DirEntries(target.parent_path());
        int told = 0;
        const Result<ExportDone> result = ExportGridToExcel(*grid, target, templ, {}, [&](int, int) {
            ++told;
            return false;
        });
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, FileError::Kind::Cancelled);
        EXPECT_EQ(result.error().path, target);
        EXPECT_EQ(told, 1);
        EXPECT_EQ(TempDataRoot::ReadBytes(target), "previous export");
        EXPECT_EQ(DirEntries(target.parent_path()), before);
    }
}

TEST(ExportGridToExcel, UnwritableTargetIsReported)
{
    QTemporaryDir dir;
    const auto grid = SampleGrid();
    const auto missingDir = TempPath(dir, "no-such-dir") / "out.xlsx";
    Result<ExportDone> result = ExportGridToExcel(*grid, missingDir, {});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FileError::Kind::Access);
    EXPECT_EQ(result.error().path, missingDir);

    // A directory in the way of the target: the rename fails, nothing is left behind.
    const auto blocked = TempPath(dir, "blocked.xlsx");
    fs::create_directory(blocked);
    TempDataRoot::WriteBytes(blocked / "keep", "x");
    result = ExportGridToExcel(*grid, blocked, {});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FileError::Kind::Access);
    EXPECT_EQ(result.error().path, blocked);
    EXPECT_EQ(DirEntries(blocked.parent_path()), std::vector<std::string>{"blocked.xlsx"});
}

TEST(ExportGridToExcel, OldBinaryTemplateWithoutConverterGivesAFreshWorkbook)
{
    QTemporaryDir dir;
    QTemporaryDir emptyBin;
    PathOverride path(emptyBin.path());
    const auto templ = TempPath(dir, "temp.xls");
    TempDataRoot::WriteBytes(templ, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'));
    EXPECT_EQ(DetectWorkbookFormat(templ), WorkbookFormat::LegacyBinary);
    ASSERT_FALSE(LegacyWorkbookConverterAvailable());
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    const Result<ExportDone> result = ExportGridToExcel(*grid, target, templ);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(Text(ReadSheet(target), "B2"), "苹果");
    // The user learns that the template was left out.
    EXPECT_EQ(result->skippedTemplate, templ);
}

TEST(ExportGridToExcel, OldBinaryTemplateIsConvertedWhenSofficeIsThere)
{
    QTemporaryDir dir;
    QTemporaryDir bin;
    const auto converted = TempPath(dir, "converted.xlsx");
    MakeTemplate(converted);
    // Stands in for LibreOffice: writes <outdir>/<name>.xlsx as the real one does.
    const QString script = bin.path() + "/soffice";
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n"
                "[ -n \"$CORVIX_FAKE_SOFFICE_FAIL\" ] && { echo 'Error: source file could not be loaded'; exit 1; }\n"
                "out=''; last=''\n"
                "while [ $# -gt 0 ]; do\n"
                "  if [ \"$1\" = --outdir ]; then out=\"$2\"; shift; fi\n"
                "  last=\"$1\"; shift\n"
                "done\n"
                "base=$(basename \"$last\"); cp \"$CORVIX_FAKE_SOFFICE_RESULT\" \"$out/${base%.*}.xlsx\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    PathOverride path(bin.path() + ":/usr/bin:/bin");
    qputenv("CORVIX_FAKE_SOFFICE_RESULT", QByteArray::fromStdString(converted.string()));
    const auto templ = TempPath(dir, "temp.xls");
    TempDataRoot::WriteBytes(templ, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'));
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    Result<ExportDone> result = ExportGridToExcel(*grid, target, templ);
    ASSERT_TRUE(result) << result.error().reason.toStdString();
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "B2"), "苹果");
    EXPECT_EQ(Text(sheet, "A40"), "制表：价格组");
    EXPECT_TRUE(ReadEntry(target, "xl/worksheets/sheet2.xml"));

    qputenv("CORVIX_FAKE_SOFFICE_FAIL", "1");
    fs::remove(target);
    result = ExportGridToExcel(*grid, target, templ);
    qunsetenv("CORVIX_FAKE_SOFFICE_FAIL");
    qunsetenv("CORVIX_FAKE_SOFFICE_RESULT");
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FileError::Kind::NotConverted);
    EXPECT_TRUE(result.error().reason.contains(QStringLiteral("could not be loaded")))
        << result.error().reason.toStdString();
    EXPECT_FALSE(fs::exists(target));
}

