#pragma once
// Template workbooks of the export: recognising the file format, converting an
// old binary workbook, and filling the first sheet of an Office Open XML one.
#include "products/ExcelExport.h"

#include <filesystem>

namespace corvix {

class ProductGridModel;

enum class WorkbookFormat {
    OfficeOpenXml, // a zip package, whatever the file's extension
    LegacyBinary,  // the compound-document format of Excel 97-2003
    Unknown,       // empty, unreadable or anything else
};

WorkbookFormat DetectWorkbookFormat(const std::filesystem::path &path);

// True when a converter for old binary workbooks (LibreOffice's soffice) is on PATH.
bool LegacyWorkbookConverterAvailable();

// Converts an old binary workbook into an Office Open XML one inside outDir:
// the new file, or NotConverted with LibreOffice's words.
Result<std::filesystem::path> ConvertLegacyWorkbook(const std::filesystem::path &workbook,
                                                    const std::filesystem::path &outDir);

// Writes output as a copy of the Office Open XML template whose first sheet
// holds the grid from A1 on (header row, then the rows). Cells written keep the
// template cell's style, and prices below the header go in as numbers (shown
// in the template cell's number format); the rest of the package is copied unchanged, except
// that the calculation chain is dropped (the spreadsheet rebuilds it), a
// template or macro workbook becomes a plain workbook, as its name is ".xlsx",
// and a valid capturedAt goes into the workbook's title, subject, comments and
// creation time where the template has document properties. The sheet keeps
// its name: formulas and names elsewhere may refer to it.
// Damaged (for the template) when it cannot be read as a workbook, Access
// when output cannot be written, Cancelled when the progress said stop.
Result<void> FillXlsxTemplate(const ProductGridModel &grid, const std::filesystem::path &templatePath,
                              const std::filesystem::path &output, const QDateTime &capturedAt = {},
                              const ExportProgress &progress = {});

} // namespace corvix
