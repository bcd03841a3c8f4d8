#pragma once
// Helpers shared by the tests: captured message boxes and a data root in a
// temporary directory.
#include "app/ProgramState.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace corvix::test {

// Records every message box instead of showing it, for its lifetime.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    const QStringList &Texts() const { return texts_; }
    const QStringList &Titles() const { return titles_; }
    void Clear();

private:
    QStringList texts_;
    QStringList titles_;
};

// A fresh program state whose data root lives in a temporary directory.
class TempDataRoot {
public:
    TempDataRoot();
    const DataDirs &Dirs() const { return Program().dirs; }
    std::filesystem::path Dir() const;
    // Writes GBK bytes to a file below the data root's parent directory.
    static void WriteBytes(const std::filesystem::path &path, const std::string &bytes);
    static std::string ReadBytes(const std::filesystem::path &path);

private:
    QTemporaryDir dir_;
};

} // namespace corvix::test
