#pragma once
// Keeps the price history index of DbDir up to date without holding up the
// window: the record files are read on a worker thread, and a record saved
// later is added to the index on its own.
#include "products/PriceHistoryIndex.h"

#include <QObject>

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

class QThread;

namespace corvix {

class PriceHistoryLoader : public QObject {
    Q_OBJECT
public:
    explicit PriceHistoryLoader(QObject *parent = nullptr);
    ~PriceHistoryLoader() override;

    // Lists the record files of dbDir now and reads them into a new index on a
    // worker thread; a build under way is abandoned first. ready follows on
    // this object's thread.
    void Start(const std::filesystem::path &dbDir);
    // Blocks until the build under way has finished and takes its index
    // (emitting ready); returns at once when none is under way.
    void WaitUntilReady();
    // True once a build has finished and no other is under way.
    bool IsReady() const { return ready_; }
    // The index of the finished build; empty while one is under way.
    const PriceHistoryIndex &Index() const { return index_; }

    // A record file written after Start (the path that SaveGridAsRecord gives):
    // read into the index at once when it is ready, else as soon as the build
    // under way (or the next one started) finishes.
    void AddRecordFile(const std::filesystem::path &path);

signals:
    void ready();

private:
    void StartWorker(const std::filesystem::path &dbDir, std::vector<RecordListEntry> entries);
    void TakeBuiltIndex(int generation);
    void StopWorker();

    PriceHistoryIndex index_;
    std::unique_ptr<PriceHistoryIndex> building_;
    QThread *worker_ = nullptr;
    int generation_ = 0;
    std::atomic<bool> cancel_{false};
    std::vector<std::filesystem::path> pending_;
    bool ready_ = false;
};

} // namespace corvix
