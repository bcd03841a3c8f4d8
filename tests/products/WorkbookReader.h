#pragma once
// Reading an exported workbook back (its sheet XML), and the small helpers the
// export tests share.
#include "products/ProductGridModel.h"
#include "products/TestGrids.h"
#include "support/Gbk.h"

#include <QByteArray>
#include <QString>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <tinyxml2.h>
#include <xlsxwriter.h>

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace corvix;
using test::MakeGrid;
namespace fs = std::filesystem;

// ---- reading a workbook back ----

// The uncompressed entry, or nullopt when it is missing or fails its CRC.
inline std::optional<std::string> ReadEntry(const fs::path &xlsx, const std::string &name)
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

inline std::vector<std::string> EntryNames(const fs::path &xlsx)
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

inline std::string AllText(const tinyxml2::XMLElement *e)
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

inline Sheet ReadSheet(const fs::path &xlsx, const std::string &part = "xl/worksheets/sheet1.xml")
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

inline std::string Text(const Sheet &sheet, const std::string &ref)
{
    const auto it = sheet.cells.find(ref);
    return it == sheet.cells.end() ? std::string() : it->second.text;
}

// The number format and the boldness of a cell style (its s attribute; none
// is style 0), read from the workbook's styles.
struct CellLook {
    std::string numberFormat = "General";
    bool bold = false;
};

inline CellLook LookOf(const fs::path &xlsx, const std::string &style)
{
    CellLook look;
    const auto xml = ReadEntry(xlsx, "xl/styles.xml");
    tinyxml2::XMLDocument doc;
    if (!xml || doc.Parse(xml->data(), xml->size()) != tinyxml2::XML_SUCCESS)
        return look;
    const auto *root = doc.RootElement();
    const auto *xf = root->FirstChildElement("cellXfs") ? root->FirstChildElement("cellXfs")->FirstChildElement("xf")
                                                       : nullptr;
    for (int i = style.empty() ? 0 : std::stoi(style); xf && i > 0; --i)
        xf = xf->NextSiblingElement("xf");
    if (!xf)
        return look;
    const int numFmtId = xf->IntAttribute("numFmtId");
    static const std::map<int, std::string> builtIn = {{0, "General"}, {1, "0"}, {2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"}};
    if (builtIn.count(numFmtId))
        look.numberFormat = builtIn.at(numFmtId);
    const auto *numFmts = root->FirstChildElement("numFmts");
    for (auto *f = numFmts ? numFmts->FirstChildElement("numFmt") : nullptr; f; f = f->NextSiblingElement("numFmt"))
        if (f->IntAttribute("numFmtId") == numFmtId)
            look.numberFormat = f->Attribute("formatCode");
    const auto *font = root->FirstChildElement("fonts") ? root->FirstChildElement("fonts")->FirstChildElement("font")
                                                        : nullptr;
    for (int i = xf->IntAttribute("fontId"); font && i > 0; --i)
        font = font->NextSiblingElement("font");
    look.bold = font && font->FirstChildElement("b");
    return look;
}

// A value as a spreadsheet shows it in the number formats the export writes:
// a literal prefix (quoted or not), 0 or #,##0, then the decimal places.
inline std::string ShowNumber(double value, const std::string &format)
{
    if (format == "General") {
        std::array<char, 32> digits{};
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        return std::string(digits.data(), end);
    }
    const size_t number = format.find_first_of("#0");
    std::string shown;
    for (const char c : format.substr(0, number))
        if (c != '"')
            shown += c;
    const std::string pattern = format.substr(number);
    const size_t point = pattern.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(pattern.size() - point - 1);
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    std::string digits(buffer.data());
    if (pattern.find(',') != std::string::npos)
        for (auto at = static_cast<long>(digits.find('.') == std::string::npos ? digits.size() : digits.find('.')) - 3;
             at > 0; at -= 3)
            digits.insert(static_cast<size_t>(at), ",");
    return shown + digits;
}

// The cell as the spreadsheet shows it: its text, or its number in its format.
inline std::string Shown(const fs::path &xlsx, const Sheet &sheet, const std::string &ref)
{
    const auto it = sheet.cells.find(ref);
    if (it == sheet.cells.end())
        return {};
    const Cell &cell = it->second;
    if (!cell.type.empty())
        return cell.text;
    return ShowNumber(std::stod(cell.text), LookOf(xlsx, cell.style).numberFormat);
}

// The widths of the first sheet's columns, by 1-based column number.
inline std::map<int, double> ColumnWidths(const fs::path &xlsx)
{
    std::map<int, double> widths;
    const auto xml = ReadEntry(xlsx, "xl/worksheets/sheet1.xml");
    tinyxml2::XMLDocument doc;
    if (!xml || doc.Parse(xml->data(), xml->size()) != tinyxml2::XML_SUCCESS)
        return widths;
    const auto *cols = doc.RootElement()->FirstChildElement("cols");
    for (auto *col = cols ? cols->FirstChildElement("col") : nullptr; col; col = col->NextSiblingElement("col"))
        for (int c = col->IntAttribute("min"); c <= col->IntAttribute("max"); ++c)
            widths[c] = col->DoubleAttribute("width");
    return widths;
}

// ---- grids and templates ----


inline std::unique_ptr<ProductGridModel> SampleGrid()
{
    return MakeGrid({"京东", "天猫"},
                    {{"1", "苹果", "12.50", "12.80"}, {"2", "香蕉", "获取失败", ""}, {"3", "億元|梨", "-", "3"}});
}

// A template as a spreadsheet writes it: shared strings, a bold header cell,
// cells inside and outside the written range, a formula and a second sheet.
inline void MakeTemplate(const fs::path &path)
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

inline fs::path TempPath(const QTemporaryDir &dir, const char *name)
{
    return fs::path(dir.path().toStdString()) / name;
}

inline std::vector<std::string> DirEntries(const fs::path &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Copies the package src to dst entry by entry, letting edit change each
// entry's bytes, then adds the extra entries.
inline void RewritePackage(const fs::path &src, const fs::path &dst,
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
