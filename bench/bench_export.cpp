// The Excel export of a 10,000-row grid with 22 columns, fresh and from a
// template, and the record load that fills such a grid. Memory: the growth of
// the process's peak resident size over its size before the export.
// Run: build/bench/bench_export
#include "BenchMain.h"
#include "ProcessTable.h"
#include "products/ExcelExport.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/FileIo.h"
#include "support/Gbk.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kRows = 10000;
constexpr int kColumns = 22;

std::unique_ptr<corvix::ProductGridModel> MakeGrid()
{
    auto grid = std::make_unique<corvix::ProductGridModel>();
    grid->AddFixedColumns();
    for (int c = 2; c < kColumns; ++c)
        grid->AddColumn(corvix::Gbk("商城") + std::to_string(c), 60, Qt::AlignHCenter);
    std::vector<std::vector<std::string>> rows;
    const std::string failed = corvix::Gbk("获取失败");
    const std::string title = corvix::Gbk("某品牌 智能手机 128GB 黑色 型号");
    for (int r = 0; r < kRows; ++r) {
        std::vector<std::string> row{std::to_string(r + 1), title + std::to_string(r)};
        for (int c = 2; c < kColumns; ++c)
            row.push_back((r + c) % 9 == 0 ? failed : std::to_string(1000 + (r * 7 + c) % 5000) + ".50");
        rows.push_back(std::move(row));
    }
    grid->AppendRows(std::move(rows));
    return grid;
}

void MakeTemplate(const fs::path &path)
{
    lxw_workbook *wb = workbook_new(path.c_str());
    lxw_worksheet *sheet = workbook_add_worksheet(wb, "价格");
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    for (int c = 0; c < kColumns; ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), "标题", bold);
    worksheet_write_string(sheet, kRows + 5, 0, "制表：价格组", nullptr);
    worksheet_write_string(workbook_add_worksheet(wb, "说明"), 0, 0, "第二页", nullptr);
    workbook_close(wb);
}

void RunExport(benchmark::State &state, bool withTemplate)
{
    QTemporaryDir dir;
    const fs::path base(dir.path().toStdString());
    const fs::path templ = base / "temp.xls";
    if (withTemplate)
        MakeTemplate(templ);
    const auto grid = MakeGrid();
    long growthKb = 0;
    for (auto _ : state) {
        corvix::bench::ResetPeakRss();
        const long before = corvix::bench::ProcStatusKb("VmRSS:");
        const corvix::ExportResult result = corvix::ExportGridToExcel(*grid, base / "out.xlsx", templ);
        growthKb = std::max(growthKb, corvix::bench::ProcStatusKb("VmHWM:") - before);
        if (!result.ok)
            state.SkipWithError(("export failed: " + result.reason.toStdString()).c_str());
    }
    state.counters["peak_growth_MB"] = static_cast<double>(growthKb) / 1024.0;
    state.counters["file_MB"] = static_cast<double>(fs::file_size(base / "out.xlsx")) / (1024.0 * 1024.0);
}

void BM_ExportFreshWorkbook(benchmark::State &state) { RunExport(state, false); }
void BM_ExportFromTemplate(benchmark::State &state) { RunExport(state, true); }

void BM_LoadRecordIntoGrid(benchmark::State &state)
{
    QTemporaryDir dir;
    const fs::path record = fs::path(dir.path().toStdString()) / "1543910400.txt";
    corvix::WriteFileAtomically(record, corvix::RecordText(*MakeGrid()));
    for (auto _ : state) {
        state.PauseTiming();
        auto grid = std::make_unique<corvix::ProductGridModel>();
        for (int c = 0; c < kColumns; ++c)
            grid->AddColumn(std::to_string(c), 60, Qt::AlignHCenter);
        state.ResumeTiming();
        corvix::LoadRecordIntoGrid(record, *grid);
        if (grid->RowCount() != kRows)
            state.SkipWithError("rows missing");
    }
}

BENCHMARK(BM_ExportFreshWorkbook)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportFromTemplate)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadRecordIntoGrid)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return corvix::bench::RunBenchmarks(argc, argv);
}
