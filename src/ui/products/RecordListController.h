#pragma once
// The tab "查询记录列表": the record list 超级列表框4 and its menu "记录操作"
// (刷新列表, 查看).
#include <QObject>

#include <filesystem>
#include <string>
#include <optional>
#include <vector>

namespace corvix {

struct Session;

class MainWindow;
class RecordListPage;

class RecordListController : public QObject {
    Q_OBJECT
public:
    // Parented to the window, whose record page and product grid it binds.
    RecordListController(MainWindow *window, Session &session);

    // Appends one row per record file of DbDir, numbered on from the rows there are.
    void FillRecordList();
    void RefreshRecordList();
    // Saves the grid as a new record file: the record list and recordSaved
    // learn of it, and nothing is left to save. False when it could not be
    // written (the file's path in *file either way).
    bool SaveResults(std::filesystem::path *file = nullptr);
    // Replaces the grid's rows by those of the selected record and shows the
    // tab "列表". Viewing never asks for a save at shutdown.
    void ViewRecord();
    // The rows that were shown before the first 查看 come back, and the grid
    // shows current results again.
    void ReturnToCurrentResults();

signals:
    // The results of the run were saved as a record file before a record was viewed.
    void recordSaved(const std::filesystem::path &file);
    // The grid now shows the record named name (GBK, without ".txt").
    void recordViewed(const std::string &name);

private:
    MainWindow *window_;
    // The grid's rows as they were before 查看 replaced them; nothing while the
    // grid shows current results.
    std::optional<std::vector<std::vector<std::string>>> currentRows_;
    RecordListPage *page_;
    Session &session_;
};

} // namespace corvix
