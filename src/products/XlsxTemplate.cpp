#include "products/XlsxTemplate.h"

#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "support/PathText.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <tinyxml2.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <array>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <map>
#include <set>
#include <vector>

namespace corvix {
namespace {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

constexpr long long kNone = std::numeric_limits<long long>::max();
constexpr int kConversionTimeLimitMs = 60000;

tl::unexpected<FileError> BadTemplate(const std::filesystem::path &templatePath, const QString &detail)
{
    return tl::unexpected(ExportError(FileError::Kind::Damaged, templatePath, detail));
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool EndsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// ---- package parts -------------------------------------------------------

// Part names inside the package have no leading "/"; relationship targets are
// relative to the directory of the part that owns them unless they start with "/".
std::string ResolvePartName(std::string_view sourcePart, std::string_view target)
{
    std::string joined;
    if (!target.empty() && target.front() == '/') {
        joined = std::string(target.substr(1));
    } else {
        const size_t slash = sourcePart.rfind('/');
        joined = (slash == std::string_view::npos ? std::string() : std::string(sourcePart.substr(0, slash + 1))) +
                 std::string(target);
    }
    std::vector<std::string> segments;
    size_t begin = 0;
    while (begin <= joined.size()) {
        size_t end = joined.find('/', begin);
        if (end == std::string::npos)
            end = joined.size();
        const std::string segment = joined.substr(begin, end - begin);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        begin = end + 1;
    }
    std::string name;
    for (const auto &segment : segments)
        name += (name.empty() ? "" : "/") + segment;
    return name;
}

std::string RelationshipsPartOf(std::string_view part)
{
    const size_t slash = part.rfind('/');
    if (slash == std::string_view::npos)
        return "_rels/" + std::string(part) + ".rels";
    return std::string(part.substr(0, slash + 1)) + "_rels/" + std::string(part.substr(slash + 1)) + ".rels";
}

std::string_view LocalName(const char *name)
{
    std::string_view s(name ? name : "");
    const size_t colon = s.find(':');
    return colon == std::string_view::npos ? s : s.substr(colon + 1);
}

std::string PrefixOf(const char *name)
{
    std::string_view s(name ? name : "");
    const size_t colon = s.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(s.substr(0, colon + 1));
}

XMLElement *FirstChildNamed(XMLElement *parent, std::string_view localName)
{
    for (XMLElement *e = parent ? parent->FirstChildElement() : nullptr; e; e = e->NextSiblingElement())
        if (LocalName(e->Name()) == localName)
            return e;
    return nullptr;
}

std::string PrintXml(const XMLDocument &doc)
{
    tinyxml2::XMLPrinter printer(nullptr, true);
    doc.Print(&printer);
    return std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
}

struct Relationship {
    XMLElement *element = nullptr;
    std::string type;
    std::string part; // resolved target part name
    bool external = false;
};

std::map<std::string, Relationship> ReadRelationships(XMLDocument &rels, std::string_view sourcePart)
{
    std::map<std::string, Relationship> byId;
    for (XMLElement *e = rels.RootElement() ? rels.RootElement()->FirstChildElement() : nullptr; e;
         e = e->NextSiblingElement()) {
        if (LocalName(e->Name()) != "Relationship" || !e->Attribute("Id") || !e->Attribute("Target"))
            continue;
        Relationship r;
        r.element = e;
        r.type = e->Attribute("Type") ? e->Attribute("Type") : "";
        const char *mode = e->Attribute("TargetMode");
        r.external = mode && std::string_view(mode) == "External";
        r.part = r.external ? std::string() : ResolvePartName(sourcePart, e->Attribute("Target"));
        byId[e->Attribute("Id")] = r;
    }
    return byId;
}

// ---- zip container -------------------------------------------------------

class ZipReader {
public:
    explicit ZipReader(const std::filesystem::path &path)
        : handle_(unzOpen64(QFile::encodeName(PathText(path)).constData()))
    {
    }
    ~ZipReader()
    {
        if (handle_)
            unzClose(handle_);
    }
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    unzFile Handle() const { return handle_; }

    // The whole uncompressed entry; false when it is missing or damaged.
    bool Read(const std::string &name, std::string *out)
    {
        out->clear();
        // Part names compare without regard to case in a package.
        if (unzLocateFile(handle_, name.c_str(), 2) != UNZ_OK)
            return false;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(handle_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        if (unzOpenCurrentFile(handle_) != UNZ_OK)
            return false;
        if (info.uncompressed_size < (1ULL << 31))
            out->reserve(static_cast<size_t>(info.uncompressed_size));
        std::array<char, 65536> buffer;
        int n = 0;
        while ((n = unzReadCurrentFile(handle_, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
            out->append(buffer.data(), static_cast<size_t>(n));
        const int closed = unzCloseCurrentFile(handle_);
        return n == 0 && closed == UNZ_OK;
    }

private:
    unzFile handle_;
};

class ZipWriter {
public:
    explicit ZipWriter(const std::filesystem::path &path)
        : handle_(zipOpen64(QFile::encodeName(PathText(path)).constData(), APPEND_STATUS_CREATE))
    {
    }
    ~ZipWriter()
    {
        if (handle_)
            zipClose(handle_, nullptr);
    }
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    bool IsOpen() const { return handle_ != nullptr; }

    bool Add(const std::string &name, const zip_fileinfo &fileInfo, std::string_view bytes)
    {
        const int zip64 = bytes.size() >= 0xffffffffULL ? 1 : 0;
        if (zipOpenNewFileInZip64(handle_, name.c_str(), &fileInfo, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION, zip64) != ZIP_OK)
            return false;
        bool ok = true;
        for (size_t at = 0; ok && at < bytes.size();) {
            const unsigned chunk = static_cast<unsigned>(std::min<size_t>(bytes.size() - at, 1u << 20));
            ok = zipWriteInFileInZip(handle_, bytes.data() + at, chunk) == ZIP_OK;
            at += chunk;
        }
        return zipCloseFileInZip(handle_) == ZIP_OK && ok;
    }

    enum class Copy { Done, ReadFailed, WriteFailed };

    // Copies the current entry of source as it is stored (no recompression).
    Copy CopyRaw(unzFile source, const std::string &name, const unz_file_info64 &info, const zip_fileinfo &fileInfo)
    {
        int method = 0;
        int level = 0;
        if (unzOpenCurrentFile2(source, &method, &level, 1) != UNZ_OK)
            return Copy::ReadFailed;
        const int zip64 = (info.uncompressed_size >= 0xffffffffULL || info.compressed_size >= 0xffffffffULL) ? 1 : 0;
        Copy result = Copy::Done;
        if (zipOpenNewFileInZip2_64(handle_, name.c_str(), &fileInfo, nullptr, 0, nullptr, 0, nullptr, method,
                                    Z_DEFAULT_COMPRESSION, 1, zip64) != ZIP_OK) {
            result = Copy::WriteFailed;
        } else {
            std::array<char, 65536> buffer;
            int n = 0;
            while (result == Copy::Done &&
                   (n = unzReadCurrentFile(source, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
                if (zipWriteInFileInZip(handle_, buffer.data(), static_cast<unsigned>(n)) != ZIP_OK)
                    result = Copy::WriteFailed;
            if (result == Copy::Done && n < 0)
                result = Copy::ReadFailed;
            if (zipCloseFileInZipRaw64(handle_, info.uncompressed_size, info.crc) != ZIP_OK && result == Copy::Done)
                result = Copy::WriteFailed;
        }
        unzCloseCurrentFile(source);
        return result;
    }

    bool Close()
    {
        const int rc = zipClose(handle_, nullptr);
        handle_ = nullptr;
        return rc == ZIP_OK;
    }

private:
    zipFile handle_;
};

// ---- the first sheet -----------------------------------------------------

// "AB12" -> column 28, row 12.
bool ParseCellReference(const char *reference, long long *column, long long *row)
{
    if (!reference)
        return false;
    long long c = 0;
    long long r = 0;
    const char *p = reference;
    while (*p == '$')
        ++p;
    for (; (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'); ++p)
        c = c * 26 + ((*p | 0x20) - 'a' + 1);
    while (*p == '$')
        ++p;
    for (; *p >= '0' && *p <= '9'; ++p)
        r = r * 10 + (*p - '0');
    if (*p != '\0' || c == 0 || c > 16384)
        return false;
    *column = c;
    *row = r;
    return true;
}

void AppendEscaped(std::string &out, std::string_view text, bool attribute)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        default: break;
        }
        if (attribute && (c == '"' || c == '\n' || c == '\t' || c == '\r')) {
            out += c == '"' ? "&quot;" : c == '\n' ? "&#10;" : c == '\t' ? "&#9;" : "&#13;";
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (!attribute && byte < 0x20 && c != '\t' && c != '\n') {
            // Characters XML cannot carry (and CR, which a parser folds away)
            // in the spreadsheet's own escape form.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "_x%04X_", byte);
            out += escaped;
            continue;
        }
        out += c;
    }
}

std::string PrintElement(const XMLElement *element)
{
    tinyxml2::XMLPrinter printer(nullptr, true);
    element->Accept(&printer);
    return std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
}

struct TemplateCell {
    long long column;
    XMLElement *element;
};

struct TemplateRow {
    long long index;
    XMLElement *element;
    std::vector<TemplateCell> cells;
};

// The rows of sheetData with explicit row and cell references (both may be
// left out in a file, meaning "the one after the previous").
std::vector<TemplateRow> CollectRows(XMLElement *sheetData)
{
    std::vector<TemplateRow> rows;
    long long previousRow = 0;
    for (XMLElement *row = sheetData->FirstChildElement(); row; row = row->NextSiblingElement()) {
        if (LocalName(row->Name()) != "row")
            continue;
        const long long index = row->Int64Attribute("r", previousRow + 1);
        previousRow = index;
        row->SetAttribute("r", static_cast<int64_t>(index));
        TemplateRow entry{index, row, {}};
        long long previousColumn = 0;
        for (XMLElement *cell = row->FirstChildElement(); cell; cell = cell->NextSiblingElement()) {
            if (LocalName(cell->Name()) != "c")
                continue;
            long long column = previousColumn + 1;
            long long cellRow = 0;
            if (!ParseCellReference(cell->Attribute("r"), &column, &cellRow))
                column = previousColumn + 1;
            previousColumn = column;
            cell->SetAttribute("r", (ColumnLetter(static_cast<int>(column)) + std::to_string(index)).c_str());
            entry.cells.push_back({column, cell});
        }
        std::stable_sort(entry.cells.begin(), entry.cells.end(),
                         [](const TemplateCell &a, const TemplateCell &b) { return a.column < b.column; });
        rows.push_back(std::move(entry));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TemplateRow &a, const TemplateRow &b) { return a.index < b.index; });
    return rows;
}

class SheetDataWriter {
public:
    SheetDataWriter(const ProductGridModel &grid, std::string prefix, const ExportProgress &progress)
        : grid_(grid), prefix_(std::move(prefix)), progress_(progress)
    {
    }

    // Merges the grid (sheet rows 1 .. row count + 1) into the template rows;
    // nothing when the progress said stop.
    std::optional<std::string> Merge(const std::vector<TemplateRow> &rows)
    {
        const int titleColumns = grid_.ColumnCount();
        size_t t = 0;
        long long g = 1;
        while (true) {
            const long long gridLast = grid_.RowCount() + 1LL;
            const long long tr = t < rows.size() ? rows[t].index : kNone;
            const long long gr = g <= gridLast ? g : kNone;
            if (tr == kNone && gr == kNone)
                break;
            if (tr < gr) {
                for (const auto &cell : rows[t].cells)
                    Touch(cell.column, tr);
                out_ += PrintElement(rows[t].element);
                ++t;
                continue;
            }
            const TemplateRow *templateRow = tr == gr ? &rows[t] : nullptr;
            WriteGridRow(g, g == 1 ? titleColumns : grid_.ColumnCount(), templateRow);
            if (templateRow)
                ++t;
            if (g > 1 && !TellRowsWritten(progress_, static_cast<int>(g - 1), grid_.RowCount()))
                return std::nullopt;
            ++g;
        }
        return std::move(out_);
    }

    bool HasCells() const { return maxRow_ > 0; }
    std::string Dimension() const
    {
        return ColumnLetter(static_cast<int>(minColumn_)) + std::to_string(minRow_) + ":" +
               ColumnLetter(static_cast<int>(maxColumn_)) + std::to_string(maxRow_);
    }

private:
    void Touch(long long column, long long row)
    {
        minColumn_ = std::min(minColumn_, column);
        minRow_ = std::min(minRow_, row);
        maxColumn_ = std::max(maxColumn_, column);
        maxRow_ = std::max(maxRow_, row);
    }

    void WriteGridRow(long long sheetRow, int columns, const TemplateRow *templateRow)
    {
        const char *rowStyle = nullptr;
        out_ += '<';
        out_ += prefix_;
        out_ += "row";
        if (templateRow) {
            for (const auto *a = templateRow->element->FirstAttribute(); a; a = a->Next()) {
                // spans is only a hint and would be wrong once cells are added.
                if (std::string_view(a->Name()) == "spans")
                    continue;
                out_ += ' ';
                out_ += a->Name();
                out_ += "=\"";
                AppendEscaped(out_, a->Value(), true);
                out_ += '"';
            }
            if (templateRow->element->BoolAttribute("customFormat"))
                rowStyle = templateRow->element->Attribute("s");
        } else {
            out_ += " r=\"" + std::to_string(sheetRow) + '"';
        }
        out_ += '>';

        static const std::vector<TemplateCell> kNoCells;
        const auto &cells = templateRow ? templateRow->cells : kNoCells;
        size_t ti = 0;
        long long c = 1;
        while (ti < cells.size() || c <= columns) {
            const long long tc = ti < cells.size() ? cells[ti].column : kNone;
            const long long gc = c <= columns ? c : kNone;
            if (tc < gc) {
                Touch(tc, sheetRow);
                out_ += PrintElement(cells[ti].element);
                ++ti;
                continue;
            }
            const char *style = rowStyle;
            if (tc == gc) {
                style = cells[ti].element->Attribute("s");
                ++ti;
            }
            const std::string &gbk =
                sheetRow == 1 ? grid_.Title(static_cast<int>(gc - 1))
                              : grid_.Text(static_cast<int>(sheetRow - 2), static_cast<int>(gc - 1));
            WriteCell(gc, sheetRow, gbk, style);
            ++c;
        }
        out_ += "</";
        out_ += prefix_;
        out_ += "row>";
    }

    void WriteCell(long long column, long long row, const std::string &gbk, const char *style)
    {
        if (gbk.empty() && !style)
            return;
        Touch(column, row);
        out_ += '<';
        out_ += prefix_;
        out_ += "c r=\"";
        out_ += ColumnLetter(static_cast<int>(column));
        out_ += std::to_string(row);
        out_ += '"';
        if (style) {
            out_ += " s=\"";
            AppendEscaped(out_, style, true);
            out_ += '"';
        }
        if (gbk.empty()) {
            out_ += "/>";
            return;
        }
        // Prices below the header go in as numbers; the cell keeps the
        // template's style, and with it the template's number format.
        if (row > 1) {
            if (const std::optional<PriceText> price = WholePrice(gbk)) {
                AppendNumber(price->value);
                return;
            }
        }
        const std::string text = WorkbookCellText(gbk);
        const auto isBlank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; };
        const bool preserve = isBlank(text.front()) || isBlank(text.back());
        out_ += " t=\"inlineStr\"><" + prefix_ + "is><" + prefix_ + "t";
        if (preserve)
            out_ += " xml:space=\"preserve\"";
        out_ += '>';
        AppendEscaped(out_, text, false);
        out_ += "</" + prefix_ + "t></" + prefix_ + "is></" + prefix_ + "c>";
    }

    // The value in its shortest form that reads back as the same number.
    void AppendNumber(double value)
    {
        char digits[32];
        const auto written = std::to_chars(digits, digits + sizeof digits, value);
        out_ += "><" + prefix_ + "v>";
        out_.append(digits, written.ptr);
        out_ += "</" + prefix_ + "v></" + prefix_ + "c>";
    }

    const ProductGridModel &grid_;
    std::string prefix_;
    const ExportProgress &progress_;
    std::string out_;
    long long minColumn_ = kNone, minRow_ = kNone, maxColumn_ = 0, maxRow_ = 0;
};

// A sheet that sets no column widths gets the grid's fitting ones; widths the
// template sets are its author's choice and stay. The file holds a width with
// the cell padding of the default font (5 pixels on a 7-pixel digit) added, as
// a spreadsheet writes it.
void AddFittingColumns(const ProductGridModel &grid, XMLElement *worksheet, XMLElement *sheetData)
{
    if (FirstChildNamed(worksheet, "cols"))
        return;
    const std::string prefix = PrefixOf(sheetData->Name());
    XMLElement *cols = worksheet->GetDocument()->NewElement((prefix + "cols").c_str());
    const std::vector<double> widths = FittingColumnWidths(grid);
    for (size_t j = 0; j < widths.size(); ++j) {
        if (widths[j] <= 0)
            continue;
        XMLElement *col = cols->InsertNewChildElement((prefix + "col").c_str());
        col->SetAttribute("min", static_cast<int64_t>(j + 1));
        col->SetAttribute("max", static_cast<int64_t>(j + 1));
        col->SetAttribute("width", std::floor((widths[j] * 7 + 5) / 7 * 256) / 256);
        col->SetAttribute("customWidth", 1);
    }
    // cols comes right before sheetData in a worksheet.
    if (!cols->FirstChildElement())
        return;
    if (tinyxml2::XMLNode *before = sheetData->PreviousSibling())
        worksheet->InsertAfterChild(before, cols);
    else
        worksheet->InsertFirstChild(cols);
}

// The sheet XML of the template with sheetData replaced by the merge of its
// rows and the grid; Cancelled (for output) when the progress said stop.
Result<std::string> FillSheet(const ProductGridModel &grid, const std::string &sheetXml,
                              const std::filesystem::path &templatePath, const std::filesystem::path &output,
                              const ExportProgress &progress)
{
    XMLDocument doc;
    if (doc.Parse(sheetXml.data(), sheetXml.size()) != tinyxml2::XML_SUCCESS)
        return BadTemplate(templatePath, QString::fromUtf8(doc.ErrorStr()));
    XMLElement *worksheet = doc.RootElement();
    XMLElement *sheetData = FirstChildNamed(worksheet, "sheetData");
    if (!worksheet || LocalName(worksheet->Name()) != "worksheet" || !sheetData)
        return BadTemplate(templatePath, QStringLiteral("first sheet has no cell data"));
    AddFittingColumns(grid, worksheet, sheetData);
    SheetDataWriter writer(grid, PrefixOf(sheetData->Name()), progress);
    const std::optional<std::string> merged = writer.Merge(CollectRows(sheetData));
    if (!merged)
        return ExportCancelled(output);
    const std::string &rows = *merged;

    if (XMLElement *dimension = FirstChildNamed(worksheet, "dimension"); dimension && writer.HasCells())
        dimension->SetAttribute("ref", writer.Dimension().c_str());
    // The rows are spliced in as text: far cheaper than a node per cell.
    static constexpr const char *kMarker = "corvix-sheet-data";
    sheetData->DeleteChildren();
    sheetData->InsertEndChild(doc.NewComment(kMarker));
    std::string printed = PrintXml(doc);
    const std::string marker = std::string("<!--") + kMarker + "-->";
    const size_t at = printed.find(marker);
    if (at == std::string::npos)
        return BadTemplate(templatePath, QStringLiteral("internal: sheet data marker lost"));
    printed.replace(at, marker.size(), rows);
    return printed;
}

// Sets one core property, in the namespaces' usual prefixes, declared on the
// root when the template did not use them.
XMLElement *SetCoreProperty(XMLDocument &core, const char *prefix, const char *ns, const char *name,
                            const QString &value)
{
    XMLElement *root = core.RootElement();
    const std::string declaration = std::string("xmlns:") + prefix;
    if (!root->Attribute(declaration.c_str()))
        root->SetAttribute(declaration.c_str(), ns);
    if (XMLElement *old = FirstChildNamed(root, name))
        root->DeleteChild(old);
    XMLElement *element = root->InsertNewChildElement((std::string(prefix) + ':' + name).c_str());
    element->SetText(value.toUtf8().constData());
    return element;
}

// The title, subject and comments say when the prices were captured, and the
// workbook was created then.
void SayCaptureTime(XMLDocument &core, const QDateTime &capturedAt)
{
    static constexpr const char *kDc = "http://purl.org/dc/elements/1.1/";
    static constexpr const char *kTerms = "http://purl.org/dc/terms/";
    SetCoreProperty(core, "dc", kDc, "title", WorkbookTitleOf(capturedAt));
    SetCoreProperty(core, "dc", kDc, "subject", CaptureTimeText(capturedAt));
    SetCoreProperty(core, "dc", kDc, "description", CaptureTimeText(capturedAt));
    XMLElement *created = SetCoreProperty(core, "dcterms", kTerms, "created",
                                          capturedAt.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")));
    if (!core.RootElement()->Attribute("xmlns:xsi"))
        core.RootElement()->SetAttribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    created->SetAttribute("xsi:type", "dcterms:W3CDTF");
}

} // namespace

WorkbookFormat DetectWorkbookFormat(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::array<unsigned char, 8> magic{};
    if (!in || !in.read(reinterpret_cast<char *>(magic.data()), magic.size()))
        return WorkbookFormat::Unknown;
    static constexpr std::array<unsigned char, 4> kZip{0x50, 0x4B, 0x03, 0x04};
    static constexpr std::array<unsigned char, 8> kCompoundDocument{0xD0, 0xCF, 0x11, 0xE0,
                                                                    0xA1, 0xB1, 0x1A, 0xE1};
    if (std::equal(kZip.begin(), kZip.end(), magic.begin()))
        return WorkbookFormat::OfficeOpenXml;
    if (magic == kCompoundDocument)
        return WorkbookFormat::LegacyBinary;
    return WorkbookFormat::Unknown;
}

bool LegacyWorkbookConverterAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty();
}

Result<std::filesystem::path> ConvertLegacyWorkbook(const std::filesystem::path &workbook,
                                                    const std::filesystem::path &outDir)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    const auto failed = [&](const QString &why) {
        return tl::unexpected(ExportError(FileError::Kind::NotConverted, workbook, why));
    };
    if (program.isEmpty())
        return failed(QStringLiteral("soffice not found"));
    // A profile of its own, so that a LibreOffice the user has open does not
    // take over (or block) the conversion.
    const QString profile = QUrl::fromLocalFile(PathText(outDir / "profile")).toString();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                            QStringLiteral("--norestore"), QStringLiteral("--convert-to"), QStringLiteral("xlsx"),
                            QStringLiteral("--outdir"), PathText(outDir), PathText(workbook)});
    if (!process.waitForStarted(10000))
        return failed(process.errorString());
    if (!process.waitForFinished(kConversionTimeLimitMs) && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return failed(QStringLiteral("timed out after %1 s").arg(kConversionTimeLimitMs / 1000));
    }
    const QString resultName = QFileInfo(PathText(workbook)).completeBaseName() + QStringLiteral(".xlsx");
    const std::filesystem::path result = outDir / std::filesystem::path(resultName.toStdU16String());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        DetectWorkbookFormat(result) != WorkbookFormat::OfficeOpenXml)
        return failed(QString::fromLocal8Bit(process.readAll()).trimmed());
    return result;
}

Result<void> FillXlsxTemplate(const ProductGridModel &grid, const std::filesystem::path &templatePath,
                              const std::filesystem::path &output, const QDateTime &capturedAt,
                              const ExportProgress &progress)
{
    ZipReader in(templatePath);
    if (!in.Handle())
        return BadTemplate(templatePath, QStringLiteral("not a zip package"));

    std::string contentTypesXml, packageRelsXml, workbookXml, workbookRelsXml;
    if (!in.Read("[Content_Types].xml", &contentTypesXml) || !in.Read("_rels/.rels", &packageRelsXml))
        return BadTemplate(templatePath, QStringLiteral("no package content types or relationships"));
    XMLDocument packageRels;
    if (packageRels.Parse(packageRelsXml.data(), packageRelsXml.size()) != tinyxml2::XML_SUCCESS)
        return BadTemplate(templatePath, QString::fromUtf8(packageRels.ErrorStr()));
    std::string workbookPart;
    std::string corePart;
    for (const auto &[id, rel] : ReadRelationships(packageRels, "")) {
        if (EndsWith(rel.type, "/officeDocument") && !rel.external)
            workbookPart = rel.part;
        if (EndsWith(rel.type, "/core-properties") && !rel.external)
            corePart = rel.part;
    }
    const std::string workbookRelsPart = RelationshipsPartOf(workbookPart);
    if (workbookPart.empty() || !in.Read(workbookPart, &workbookXml) || !in.Read(workbookRelsPart, &workbookRelsXml))
        return BadTemplate(templatePath, QStringLiteral("no workbook part"));

    XMLDocument workbook, workbookRels, contentTypes;
    if (workbook.Parse(workbookXml.data(), workbookXml.size()) != tinyxml2::XML_SUCCESS)
        return BadTemplate(templatePath, QString::fromUtf8(workbook.ErrorStr()));
    if (workbookRels.Parse(workbookRelsXml.data(), workbookRelsXml.size()) != tinyxml2::XML_SUCCESS)
        return BadTemplate(templatePath, QString::fromUtf8(workbookRels.ErrorStr()));
    if (contentTypes.Parse(contentTypesXml.data(), contentTypesXml.size()) != tinyxml2::XML_SUCCESS)
        return BadTemplate(templatePath, QString::fromUtf8(contentTypes.ErrorStr()));

    // The first <sheet> of the workbook, through its relationship.
    XMLElement *firstSheet = FirstChildNamed(FirstChildNamed(workbook.RootElement(), "sheets"), "sheet");
    std::string sheetRelId;
    for (const auto *a = firstSheet ? firstSheet->FirstAttribute() : nullptr; a; a = a->Next())
        if (LocalName(a->Name()) == "id" && std::string_view(a->Name()).find(':') != std::string_view::npos)
            sheetRelId = a->Value();
    auto relationships = ReadRelationships(workbookRels, workbookPart);
    const auto sheetRel = relationships.find(sheetRelId);
    if (sheetRel == relationships.end() || sheetRel->second.external)
        return BadTemplate(templatePath, QStringLiteral("the first sheet cannot be found"));
    if (!EndsWith(sheetRel->second.type, "/worksheet"))
        return BadTemplate(templatePath, QStringLiteral("the first sheet is not a worksheet"));
    const std::string sheetPart = sheetRel->second.part;

    // The calculation chain lists formula cells, some of which may now hold
    // text; the spreadsheet rebuilds it when it is missing. Macros cannot live
    // in an ".xlsx" file.
    std::set<std::string> dropped;
    for (auto &[id, rel] : relationships) {
        if (rel.external || !(EndsWith(rel.type, "/calcChain") || EndsWith(rel.type, "/vbaProject")))
            continue;
        dropped.insert(Lower(rel.part));
        dropped.insert(Lower(RelationshipsPartOf(rel.part)));
        workbookRels.RootElement()->DeleteChild(rel.element);
    }
    static constexpr const char *kPlainWorkbook =
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
    std::vector<XMLElement *> staleOverrides;
    for (XMLElement *e = contentTypes.RootElement() ? contentTypes.RootElement()->FirstChildElement() : nullptr; e;
         e = e->NextSiblingElement()) {
        const char *partName = e->Attribute("PartName");
        if (LocalName(e->Name()) != "Override" || !partName)
            continue;
        const std::string part = Lower(ResolvePartName("", partName));
        if (dropped.count(part))
            staleOverrides.push_back(e);
        else if (part == Lower(workbookPart))
            e->SetAttribute("ContentType", kPlainWorkbook);
    }
    for (XMLElement *e : staleOverrides)
        contentTypes.RootElement()->DeleteChild(e);

    std::string sheetXml;
    if (!in.Read(sheetPart, &sheetXml))
        return BadTemplate(templatePath, QStringLiteral("the first sheet cannot be read"));
    Result<std::string> filledSheet = FillSheet(grid, sheetXml, templatePath, output, progress);
    if (!filledSheet)
        return tl::unexpected(filledSheet.error());
    sheetXml.clear();
    sheetXml.shrink_to_fit();

    std::map<std::string, std::string> replaced{
        {Lower(sheetPart), std::move(*filledSheet)},
        {Lower(workbookRelsPart), PrintXml(workbookRels)},
        {"[content_types].xml", PrintXml(contentTypes)},
    };
    std::string coreXml;
    if (capturedAt.isValid() && !corePart.empty() && in.Read(corePart, &coreXml)) {
        XMLDocument core;
        // Properties that cannot be read stay as they are: they are no reason to fail.
        if (core.Parse(coreXml.data(), coreXml.size()) == tinyxml2::XML_SUCCESS && core.RootElement()) {
            SayCaptureTime(core, capturedAt);
            replaced[Lower(corePart)] = PrintXml(core);
        }
    }

    ZipWriter out(output);
    if (!out.IsOpen())
        return WorkbookWriteFailure(output, QStringLiteral("cannot create the file"));
    for (int rc = unzGoToFirstFile(in.Handle()); rc != UNZ_END_OF_LIST_OF_FILE; rc = unzGoToNextFile(in.Handle())) {
        if (rc != UNZ_OK)
            return BadTemplate(templatePath, QStringLiteral("damaged zip directory"));
        unz_file_info64 info{};
        std::array<char, 4096> nameBuffer{};
        if (unzGetCurrentFileInfo64(in.Handle(), &info, nameBuffer.data(), nameBuffer.size() - 1, nullptr, 0,
                                    nullptr, 0) != UNZ_OK)
            return BadTemplate(templatePath, QStringLiteral("damaged zip directory"));
        const std::string name(nameBuffer.data());
        if (info.flag & 1)
            return BadTemplate(templatePath, QStringLiteral("encrypted package"));
        const std::string key = Lower(name);
        if (dropped.count(key))
            continue;
        zip_fileinfo fileInfo{};
        fileInfo.tmz_date.tm_sec = info.tmu_date.tm_sec;
        fileInfo.tmz_date.tm_min = info.tmu_date.tm_min;
        fileInfo.tmz_date.tm_hour = info.tmu_date.tm_hour;
        fileInfo.tmz_date.tm_mday = info.tmu_date.tm_mday;
        fileInfo.tmz_date.tm_mon = info.tmu_date.tm_mon;
        fileInfo.tmz_date.tm_year = info.tmu_date.tm_year;
        fileInfo.dosDate = info.dosDate;
        fileInfo.internal_fa = info.internal_fa;
        fileInfo.external_fa = info.external_fa;
        const auto replacement = replaced.find(key);
        const ZipWriter::Copy copied = replacement != replaced.end()
                                           ? (out.Add(name, fileInfo, replacement->second) ? ZipWriter::Copy::Done
                                                                                           : ZipWriter::Copy::WriteFailed)
                                           : out.CopyRaw(in.Handle(), name, info, fileInfo);
        if (copied == ZipWriter::Copy::ReadFailed)
            return BadTemplate(templatePath, QStringLiteral("%1 cannot be read").arg(QString::fromUtf8(name)));
        if (copied == ZipWriter::Copy::WriteFailed)
            return WorkbookWriteFailure(output, QStringLiteral("writing %1 failed").arg(QString::fromUtf8(name)));
    }
    if (!out.Close())
        return WorkbookWriteFailure(output, QStringLiteral("the file could not be completed"));
    return {};
}

} // namespace corvix
