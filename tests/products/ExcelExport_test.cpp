// The Excel export: the workbook is read back (its sheet XML), not only
// checked for existence.
#include "app/ProgramState.h"
#include "common/FullDisk.h"
#include "common/TestSupport.h"
#include "products/ExcelExport.h"
#include "products/ExportController.h"
#include "products/ProductGridModel.h"
#include "products/XlsxTemplate.h"
#include "support/Gbk.h"
#include "ui/FileDialogs.h"
#include "ui/MainWindow.h"

#include <QFile>
#include <QPushButton>
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

using namespace corvix;
using corvix::test::MessageRecorder;
using corvix::test::TempDataRoot;

namespace {

namespace fs = std::filesystem;

// ---- reading a workbook back ----

// The uncompressed entry, or nullopt when it is missing or fails its CRC.
std::optional<std::string> ReadEntry(const fs::path &xlsx, const std::string &name)
{
    unzFile zip = unzOpen64(xlsx.c_str());
    if (!zip)
        return std::nullopt;
    std::optional<std::string> result;
    if (unzLocateFile(zip, name.c_str(), 1) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
        std::string bytes;
        std::array<char, 65536> buffer;
        int n = 0;
        while ((n = unzReadCurrentFile(zip, buffer.data(), buffer.size())) > 0)
            bytes.append(buffer.data(), static_cast<size_t>(n));
        if (unzCloseCurrentFile(zip) == UNZ_OK && n == 0)
            result = std::move(bytes);
    }
    unzClose(zip);
    return result;
}

std::vector<std::string> EntryNames(const fs::path &xlsx)
{
    std::vector<std::string> names;
    unzFile zip = unzOpen64(xlsx.c_str());
    for (int rc = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        std::array<char, 1024> name{};
        unzGetCurrentFileInfo64(zip, nullptr, name.data(), name.size() - 1, nullptr, 0, nullptr, 0);
        names.emplace_back(name.data());
    }
    if (zip)
        unzClose(zip);
    return names;
}

std::string AllText(const tinyxml2::XMLElement *e)
{
    std::string text;
    for (const tinyxml2::XMLNode *n = e ? e->FirstChild() : nullptr; n; n = n->NextSibling()) {
        if (n->ToText())
            text += n->Value();
        else if (n->ToElement() && std::string_view(n->Value()) != "rPh")
            text += AllText(n->ToElement());
    }
    return text;
}

struct Cell {
    std::string type;    // t attribute
    std::string style;   // s attribute
    std::string text;    // string value (shared or inline), or <v>
    std::string formula; // <f>
};

struct Sheet {
    bool parsed = false;
    std::map<std::string, Cell> cells; // "A1" -> cell
    std::vector<int> rows;             // row numbers in file order
    std::string dimension;
    std::string xml;
};

Sheet ReadSheet(const fs::path &xlsx, const std::string &part = "xl/worksheets/sheet1.xml")
{
    Sheet sheet;
    std::vector<std::string> shared;
    if (auto sst = ReadEntry(xlsx, "xl/sharedStrings.xml")) {
        tinyxml2::XMLDocument doc;
        if (doc.Parse(sst->data(), sst->size()) != tinyxml2::XML_SUCCESS)
            return sheet;
        for (auto *si = doc.RootElement()->FirstChildElement("si"); si; si = si->NextSiblingElement("si"))
            shared.push_back(AllText(si));
    }
    const auto xml = ReadEntry(xlsx, part);
    if (!xml)
        return sheet;
    sheet.xml = *xml;
    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml->data(), xml->size()) != tinyxml2::XML_SUCCESS)
        return sheet;
    sheet.parsed = true;
    if (auto *dim = doc.RootElement()->FirstChildElement("dimension"))
        sheet.dimension = dim->Attribute("ref") ? dim->Attribute("ref") : "";
    auto *data = doc.RootElement()->FirstChildElement("sheetData");
    for (auto *row = data ? data->FirstChildElement("row") : nullptr; row; row = row->NextSiblingElement("row")) {
        sheet.rows.push_back(row->IntAttribute("r"));
        for (auto *c = row->FirstChildElement("c"); c; c = c->NextSiblingElement("c")) {
            Cell cell;
            cell.type = c->Attribute("t") ? c->Attribute("t") : "";
            cell.style = c->Attribute("s") ? c->Attribute("s") : "";
            if (cell.type == "inlineStr")
                cell.text = AllText(c->FirstChildElement("is"));
            else if (cell.type == "s")
                cell.text = shared.at(std::stoul(AllText(c->FirstChildElement("v"))));
            else
                cell.text = AllText(c->FirstChildElement("v"));
            cell.formula = AllText(c->FirstChildElement("f"));
            sheet.cells[c->Attribute("r")] = cell;
        }
    }
    return sheet;
}

std::string Text(const Sheet &sheet, const std::string &ref)
{
    const auto it = sheet.cells.find(ref);
    return it == sheet.cells.end() ? std::string() : it->second.text;
}

// ---- grids and templates ----

// ID, 商品名称, then the given rule titles (UTF-8 in, GBK in the grid).
std::unique_ptr<ProductGridModel> MakeGrid(const std::vector<std::string> &rules,
                                           const std::vector<std::vector<std::string>> &utf8Rows)
{
    auto grid = std::make_unique<ProductGridModel>();
    grid->AddColumn("ID", 50, Qt::AlignLeft);
    grid->AddColumn(Gbk("商品名称"), 200, Qt::AlignHCenter);
    for (const auto &rule : rules)
        grid->AddColumn(Gbk(rule), 60, Qt::AlignHCenter);
    std::vector<std::vector<std::string>> rows;
    for (const auto &r : utf8Rows) {
        rows.emplace_back();
        for (const auto &cell : r)
            rows.back().push_back(Gbk(cell));
    }
    grid->AppendRows(rows);
    return grid;
}

std::unique_ptr<ProductGridModel> SampleGrid()
{
    return MakeGrid({"京东", "天猫"},
                    {{"1", "苹果", "12.50", "12.80"}, {"2", "香蕉", "获取失败", ""}, {"3", "億元|梨", "-", "3"}});
}

// A template as a spreadsheet writes it: shared strings, a bold header cell,
// cells inside and outside the written range, a formula and a second sheet.
void MakeTemplate(const fs::path &path)
{
    lxw_workbook *wb = workbook_new(path.c_str());
    lxw_worksheet *prices = workbook_add_worksheet(wb, "价格");
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    worksheet_write_string(prices, 0, 0, "旧标题", bold); // A1, overwritten, style kept
    worksheet_write_string(prices, 1, 2, "旧值", nullptr); // C2, overwritten
    worksheet_write_string(prices, 2, 3, "清空", nullptr); // D3, the grid cell there is empty
    worksheet_write_number(prices, 3, 1, 3.5, nullptr);   // B4, overwritten by text
    worksheet_write_string(prices, 0, 5, "备注", nullptr); // F1, outside the range
    worksheet_write_string(prices, 39, 0, "制表：价格组", nullptr); // A40
    worksheet_write_formula(prices, 40, 0, "=1+1", nullptr);     // A41
    lxw_worksheet *notes = workbook_add_worksheet(wb, "说明");
    worksheet_write_string(notes, 0, 0, "第二页", nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

fs::path TempPath(const QTemporaryDir &dir, const char *name)
{
    return fs::path(dir.path().toStdString()) / name;
}

std::vector<std::string> DirEntries(const fs::path &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Copies the package src to dst entry by entry, letting edit change each
// entry's bytes, then adds the extra entries.
void RewritePackage(const fs::path &src, const fs::path &dst,
                    const std::function<void(const std::string &name, std::string &bytes)> &edit,
                    const std::map<std::string, std::string> &extra = {})
{
    zipFile out = zipOpen64(dst.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(out, nullptr);
    auto add = [&](const std::string &name, const std::string &bytes) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip(out, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_DEFAULT_COMPRESSION),
                  ZIP_OK);
        zipWriteInFileInZip(out, bytes.data(), static_cast<unsigned>(bytes.size()));
        zipCloseFileInZip(out);
    };
    for (const auto &name : EntryNames(src)) {
        std::string bytes = *ReadEntry(src, name);
        edit(name, bytes);
        add(name, bytes);
    }
    for (const auto &[name, bytes] : extra)
        add(name, bytes);
    zipClose(out, nullptr);
}

// PATH restricted to one directory for a test (to control which soffice exists).
class PathOverride {
public:
    explicit PathOverride(const QString &path) : saved_(qgetenv("PATH")) { qputenv("PATH", path.toLocal8Bit()); }
    ~PathOverride() { qputenv("PATH", saved_); }

private:
    QByteArray saved_;
};

} // namespace

TEST(ColumnLetter, OneToTwentySixThenTwoLetters)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {0, ""}, {1, "A"}, {2, "B"}, {26, "Z"}, {27, "AA"}, {28, "AB"}, {30, "AD"},
        {52, "AZ"}, {53, "BA"}, {702, "ZZ"}, {703, "AAA"}, {16384, "XFD"}};
    for (const auto &[n, letters] : cases)
        EXPECT_EQ(ColumnLetter(n), letters) << n;
}

TEST(ExportGridToExcel, WritesTitlesThenEveryCellAsText)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = SampleGrid();
    const ExportResult result = ExportGridToExcel(*grid, target, TempPath(dir, "none.xls"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const Sheet sheet = ReadSheet(target);
    ASSERT_TRUE(sheet.parsed);
    const std::map<std::string, std::string> expected = {
        {"A1", "ID"}, {"B1", "商品名称"}, {"C1", "京东"}, {"D1", "天猫"},
        {"A2", "1"},  {"B2", "苹果"},     {"C2", "12.50"}, {"D2", "12.80"},
        {"A3", "2"},  {"B3", "香蕉"},     {"C3", "获取失败"},
        {"A4", "3"},  {"B4", "億元|梨"},  {"C4", "-"},     {"D4", "3"}};
    for (const auto &[ref, text] : expected) {
        EXPECT_EQ(Text(sheet, ref), text) << ref;
        if (sheet.cells.count(ref))
            EXPECT_NE(sheet.cells.at(ref).type, "") << ref << " must be text, not a number";
    }
    EXPECT_EQ(sheet.cells.size(), expected.size()); // D3 is empty
    EXPECT_EQ(sheet.rows, (std::vector<int>{1, 2, 3, 4}));
    // No temporary file is left beside the workbook.
    EXPECT_EQ(DirEntries(target.parent_path()), std::vector<std::string>{"out.xlsx"});
}

TEST(ExportGridToExcel, EmptyGridGivesTheHeaderRowOnly)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "empty.xlsx");
    const auto grid = MakeGrid({"京东"}, {});
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}).ok);
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
    ASSERT_TRUE(ExportGridToExcel(*grid, target, {}).ok);
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "Z1"), "站26");
    EXPECT_EQ(Text(sheet, "AA1"), "站27");
    EXPECT_EQ(Text(sheet, "AD1"), "站30");
    EXPECT_EQ(Text(sheet, "AA2"), "27.0");
    EXPECT_EQ(Text(sheet, "AD2"), "30.0");
    EXPECT_EQ(sheet.cells.size(), 60u);
}

TEST(ExportGridToExcel, AwkwardTextsSurviveBothWriters)
{
    QTemporaryDir dir;
    MakeTemplate(TempPath(dir, "temp.xls"));
    const auto grid = MakeGrid({"A&B"}, {{"1", "<b>\"x\"</b> & y", " lead"}, {"2", "€ ￥ 億", "tab\there"}, {"3", "bell\x07 cr\r", "_x0041_"}});
    for (const fs::path templ : {fs::path(), TempPath(dir, "temp.xls")}) {
        const auto target = TempPath(dir, templ.empty() ? "fresh.xlsx" : "templ.xlsx");
        ASSERT_TRUE(ExportGridToExcel(*grid, target, templ).ok);
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
    const ExportResult result = ExportGridToExcel(*grid, target, templ);
    ASSERT_TRUE(result.ok) << result.error.toStdString();

    const Sheet before = ReadSheet(templ);
    const Sheet sheet = ReadSheet(target);
    ASSERT_TRUE(sheet.parsed);
    EXPECT_EQ(Text(sheet, "A1"), "ID");
    EXPECT_EQ(sheet.cells.at("A1").style, before.cells.at("A1").style); // bold header kept
    EXPECT_FALSE(sheet.cells.at("A1").style.empty());
    EXPECT_EQ(Text(sheet, "D1"), "天猫");
    EXPECT_EQ(Text(sheet, "C2"), "12.50");
    EXPECT_EQ(Text(sheet, "C3"), "获取失败");
    EXPECT_EQ(Text(sheet, "D3"), "");       // an empty grid cell empties the template cell
    EXPECT_EQ(Text(sheet, "B4"), "億元|梨"); // was the number 3.5
    EXPECT_EQ(sheet.cells.at("B4").type, "inlineStr");
    EXPECT_EQ(Text(sheet, "F1"), "备注");    // outside the written range
    EXPECT_EQ(Text(sheet, "A40"), "制表：价格组");
    EXPECT_EQ(sheet.cells.at("A41").formula, "1+1");
    EXPECT_EQ(sheet.rows, (std::vector<int>{1, 2, 3, 4, 40, 41}));
    EXPECT_EQ(sheet.dimension, "A1:F41");

    // The second sheet, the styles and the workbook are the template's.
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
    ASSERT_TRUE(ExportGridToExcel(*grid, target, templ).ok);
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
        const ExportResult result = ExportGridToExcel(*grid, target, templ);
        EXPECT_FALSE(result.ok) << what;
        EXPECT_TRUE(result.error.contains(QStringLiteral("模板"))) << what << ": " << result.error.toStdString();
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
    const ExportResult result = ExportGridToExcel(*grid, TempPath(dir, "out.xlsx"), templ);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("模板")));
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
    ASSERT_TRUE(ExportGridToExcel(*grid, target, templ).ok);
    const std::string xml = *ReadEntry(target, "xl/worksheets/sheet1.xml");
    EXPECT_NE(xml.find("<x:c r=\"B2\" t=\"inlineStr\"><x:is><x:t>苹果</x:t></x:is></x:c>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<x:row r=\"40\""), std::string::npos);
    EXPECT_EQ(xml.find("<c "), std::string::npos);
    tinyxml2::XMLDocument doc;
    EXPECT_EQ(doc.Parse(xml.data(), xml.size()), tinyxml2::XML_SUCCESS);
}

TEST(ExportGridToExcel, UnwritableTargetIsReported)
{
    QTemporaryDir dir;
    const auto grid = SampleGrid();
    const auto missingDir = TempPath(dir, "no-such-dir") / "out.xlsx";
    ExportResult result = ExportGridToExcel(*grid, missingDir, {});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QString::fromStdString(missingDir.string()))) << result.error.toStdString();

    // A directory in the way of the target: the rename fails, nothing is left behind.
    const auto blocked = TempPath(dir, "blocked.xlsx");
    fs::create_directory(blocked);
    TempDataRoot::WriteBytes(blocked / "keep", "x");
    result = ExportGridToExcel(*grid, blocked, {});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("blocked.xlsx")));
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
    const ExportResult result = ExportGridToExcel(*grid, target, templ);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(Text(ReadSheet(target), "B2"), "苹果");
    // The user learns that the template was left out, and why.
    EXPECT_TRUE(result.templateNotice.contains(QString::fromStdU16String(templ.u16string())));
    EXPECT_TRUE(result.templateNotice.contains(QStringLiteral("soffice")));
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
    ExportResult result = ExportGridToExcel(*grid, target, templ);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "B2"), "苹果");
    EXPECT_EQ(Text(sheet, "A40"), "制表：价格组");
    EXPECT_TRUE(ReadEntry(target, "xl/worksheets/sheet2.xml"));

    qputenv("CORVIX_FAKE_SOFFICE_FAIL", "1");
    fs::remove(target);
    result = ExportGridToExcel(*grid, target, templ);
    qunsetenv("CORVIX_FAKE_SOFFICE_FAIL");
    qunsetenv("CORVIX_FAKE_SOFFICE_RESULT");
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("could not be loaded"))) << result.error.toStdString();
    EXPECT_FALSE(fs::exists(target));
}

namespace {

class ExportButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        window->AddGridColumn(Gbk("京东"), 60, Qt::AlignHCenter);
        window->Grid()->AppendRows({{"1", Gbk("苹果"), "12.50"}});
        new ExportController(window.get());
        SetFileDialogHandlerForTests([this](const QString &title, const QString &filter) {
            titles << title;
            filters << filter;
            return answer;
        });
    }
    void TearDown() override { SetFileDialogHandlerForTests(nullptr); }
    void Click() { window->findChild<QPushButton *>(QStringLiteral("按钮7"))->click(); }

    TempDataRoot root;
    MessageRecorder messages;
    std::unique_ptr<MainWindow> window;
    QString answer;
    QStringList titles, filters;
};

} // namespace

TEST_F(ExportButtonTest, CancellingTheDialogStartsNothing)
{
    const auto before = DirEntries(root.Dir());
    Click();
    EXPECT_EQ(titles, QStringList{"保存文件"});
    EXPECT_EQ(filters, QStringList{"Excel文档(*.xlsx)|*.xlsx"});
    EXPECT_EQ(DirEntries(root.Dir()), before);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(ExportButtonTest, ExportsTheGridToTheChosenFile)
{
    const auto target = root.Dir() / "价格.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    Click();
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join("\n").toStdString();
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "C1"), "京东");
    EXPECT_EQ(Text(sheet, "B2"), "苹果");
    EXPECT_TRUE(window->findChild<QPushButton *>(QStringLiteral("按钮7"))->isEnabled());
}

TEST_F(ExportButtonTest, UsesTheTemplateInClassDir)
{
    MakeTemplate(root.Dirs().classDir / "temp.xls");
    const auto target = root.Dir() / "out.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    Click();
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "B2"), "苹果");
    EXPECT_EQ(Text(sheet, "A40"), "制表：价格组");
}

TEST_F(ExportButtonTest, AFailedExportIsShownInAMessage)
{
    const auto target = root.Dir() / "missing" / "out.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    Click();
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("导出失败")));
    EXPECT_TRUE(messages.Texts()[0].contains(answer));
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(ExportButtonTest, AFullDiskKeepsTheOldWorkbookAndSaysSo)
{
    // Both writers: a fresh workbook, then a copy of the template.
    for (const bool withTemplate : {false, true}) {
        SCOPED_TRACE(withTemplate);
        messages.Clear();
        if (withTemplate)
            MakeTemplate(root.Dirs().classDir / "temp.xls");
        test::FullDisk disk;
        const auto target = disk.Dir() / "价格.xlsx";
        TempDataRoot::WriteBytes(target, "previous export");
        answer = QString::fromStdU16String(target.u16string());
        disk.Fill();
        Click();
        disk.Free();
        EXPECT_EQ(TempDataRoot::ReadBytes(target), "previous export");
        EXPECT_EQ(DirEntries(disk.Dir()), std::vector<std::string>{"价格.xlsx"});
        ASSERT_EQ(messages.Texts().size(), 1);
        EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("导出失败")));
        EXPECT_TRUE(messages.Texts()[0].contains(answer));
        EXPECT_TRUE(messages.Texts()[0].endsWith(QStringLiteral("原来的文件保持不变。")));
    }
}
