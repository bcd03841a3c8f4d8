#pragma once
// What the windows remember between runs: the main window's size and place, the
// widths the user gave the columns of the lists, the folders of the last export
// and import, and how many links a run captures at once. Kept apart from the
// data root, in the user's settings of the program (organisation and application "Corvix"),
// or in an INI file of its own. Only the program's own keys are read, and the
// file is written only when one of them changed, with nothing else in it: keys
// the program does not know are not its to carry from run to run.
#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <memory>

class QHeaderView;
class QSettings;

namespace corvix {

class UiSettings {
public:
    // The user's settings of the program.
    UiSettings();
    // An INI file of its own.
    explicit UiSettings(const QString &iniFile);
    ~UiSettings();
    UiSettings(const UiSettings &) = delete;
    UiSettings &operator=(const UiSettings &) = delete;

    // Empty when no window was ever closed.
    QByteArray WindowGeometry() const;
    void SetWindowGeometry(const QByteArray &geometry);

    // Columns are known by their list's objectName and their title, so a rule
    // column keeps its width when other rules are enabled or closed.
    void SaveColumnWidths(const QHeaderView &header);
    // Columns without a stored width keep the width they have.
    void RestoreColumnWidths(QHeaderView &header) const;

    // Empty when nothing was exported yet.
    QString LastExportFolder() const;
    void SetLastExportFolder(const QString &folder);
    // The folder of the last file imported; empty when none was.
    QString LastImportFolder() const;
    void SetLastImportFolder(const QString &folder);

    // "同时抓取" of the list page: 1 when never set; a stored value out of
    // 1..kMaxParallelLinks reads as the nearest bound, one that is no number as 1.
    int ParallelLinks() const;
    // Written to the file at once: the choice outlives a crash.
    void SetParallelLinks(int links);

    // Writes what was set to the file now (also done at destruction), when
    // anything changed since it was read or last written.
    void Sync();

private:
    QVariant Value(const QString &key, const QVariant &otherwise = {}) const;
    void Set(const QString &key, const QVariant &value);

    std::unique_ptr<QSettings> settings_;
    QVariantMap values_; // the program's own keys, as read and set
    bool changed_ = false;
};

} // namespace corvix
