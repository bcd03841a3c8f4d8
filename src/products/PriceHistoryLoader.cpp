#include "products/PriceHistoryLoader.h"

#include <QThread>

namespace corvix {

PriceHistoryLoader::PriceHistoryLoader(QObject *parent) : QObject(parent) {}

PriceHistoryLoader::~PriceHistoryLoader()
{
    StopWorker();
}

void PriceHistoryLoader::StopWorker()
{
    if (!worker_)
        return;
    cancel_ = true;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    building_.reset();
}

void PriceHistoryLoader::Start(const std::filesystem::path &dbDir)
{
    StopWorker();
    index_ = PriceHistoryIndex();
    ready_ = false;
    // Listed here, not on the worker: a record saved from now on is either in
    // this listing or waits in pending_, never both.
    StartWorker(dbDir, ListRecords(dbDir));
}

void PriceHistoryLoader::StartWorker(const std::filesystem::path &dbDir, std::vector<RecordListEntry> entries)
{
    cancel_ = false;
    building_ = std::make_unique<PriceHistoryIndex>();
    worker_ = QThread::create([index = building_.get(), dbDir, entries = std::move(entries), this] {
        index->AddRecords(dbDir, entries, &cancel_);
    });
    // A finished signal of an abandoned worker may still be queued; the
    // generation tells it apart.
    const int generation = ++generation_;
    connect(worker_, &QThread::finished, this, [this, generation] { TakeBuiltIndex(generation); });
    worker_->start();
}

void PriceHistoryLoader::WaitUntilReady()
{
    TakeBuiltIndex(generation_);
}

void PriceHistoryLoader::TakeBuiltIndex(int generation)
{
    if (!worker_ || generation != generation_)
        return;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    index_ = std::move(*building_);
    building_.reset();
    ready_ = true;
    for (const std::filesystem::path &path : pending_)
        index_.AddRecord(path.parent_path(), RecordEntryOf(path.filename()));
    pending_.clear();
    emit ready();
}

void PriceHistoryLoader::AddRecordFile(const std::filesystem::path &path)
{
    if (ready_)
        index_.AddRecord(path.parent_path(), RecordEntryOf(path.filename()));
    else
        pending_.push_back(path);
}

} // namespace corvix
