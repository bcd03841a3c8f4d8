#include "support/FileIo.h"

#include "support/PathText.h"
#include "support/Platform.h"
#include "support/TextUtils.h"

#include <QRegularExpression>
#include <QSaveFile>
#include <QString>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

namespace corvix {
namespace {

QString SystemReason(int error) { return QString::fromStdString(std::generic_category().message(error)); }

QString SystemReason(const std::error_code &ec) { return QString::fromStdString(ec.message()); }

// Every byte of the file, zero bytes included, or why it cannot be read: a
// missing file is told apart; a directory or a read that fails part-way is an
// error, never a shorter file. C stdio: no exceptions, and one buffer copy for
// large files.
Result<std::string> ReadAllBytes(const std::filesystem::path &path)
{
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(OpenFile(path, "rb"), &std::fclose);
    if (!file) {
        const int error = errno;
        if (error == ENOENT)
            return AbsentFile(path, SystemReason(error));
        return ReadFailure(path, SystemReason(error));
    }
    std::string bytes;
    char buffer[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(file.get()))
        return ReadFailure(path, SystemReason(errno != 0 ? errno : EIO));
    return bytes;
}

// Writes the new content of file.path completely into a new file beside it and
// returns that file's name, or the reason it failed (then nothing stays
// behind). The replaced file's permissions carry over.
Result<std::filesystem::path> Stage(const FileContents &file)
{
    const QString target = PathText(file.path);
    QTemporaryFile temp(target + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return Failure(file.path, temp.errorString());
    const auto size = static_cast<qint64>(file.bytes.size());
    if (temp.write(file.bytes.data(), size) != size || !temp.flush() || temp.error() != QFileDevice::NoError)
        return Failure(file.path, temp.errorString());
    // Like QSaveFile: a filesystem that cannot sync still takes the file; a
    // write it refused has shown up in flush() already.
    SyncToDisk(temp.handle());
    temp.setPermissions(QFile::exists(target) ? QFile::permissions(target)
                                              : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                                    | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    // A temporary file holds its handle until it is destroyed, and a file still
    // open cannot be renamed on every system: it is let go as an ordinary file.
    const QString name = temp.fileName();
    if (name.isEmpty())
        return Failure(file.path, temp.errorString());
    temp.setAutoRemove(false);
    return PathOf(name);
}

// A target as it was before the renames. Its old file keeps a second name
// while they run: the system then frees no file in between (freeing one made a
// rename take milliseconds), and a failed rename is undone by a rename back,
// even by the next start. Where no second name can be made, a copy is.
Result<std::filesystem::path> Keep(const std::filesystem::path &target, const std::filesystem::path &spareName)
{
    std::error_code ec;
    if (!std::filesystem::exists(target, ec))
        return std::filesystem::path();
    std::filesystem::create_hard_link(target, spareName, ec);
    if (ec) {
        ec.clear();
        std::filesystem::copy_file(target, spareName, ec);
    }
    if (ec)
        return Failure(target, SystemReason(ec));
    return spareName;
}

// One planned rename: staged goes over target; kept names the target's old
// file (empty when there was none).
struct Rename {
    std::filesystem::path staged, target, kept;
};

// The journal of a change in progress. "forward": every staged file is
// complete and goes in place; "back": a rename failed and the old files come
// back. Names relative to the journal's folder, so that a data root copied
// elsewhere keeps a journal that works; UTF-8, one rename a line, tab-separated.
constexpr std::string_view kJournalHeader = "corvix files together 1";
constexpr std::string_view kJournalEnd = "end";

std::string NameInJournal(const std::filesystem::path &path, const std::filesystem::path &base)
{
    if (path.empty())
        return {};
    std::filesystem::path relative = path.lexically_relative(base);
    if (relative.empty())
        relative = path;
    const std::u8string text = relative.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path PathFromJournal(std::string_view name, const std::filesystem::path &base)
{
    if (name.empty())
        return {};
    const std::filesystem::path path(std::u8string(name.begin(), name.end()));
    return path.is_relative() ? base / path : path;
}

std::string JournalText(const std::vector<Rename> &renames, bool forward, const std::filesystem::path &base)
{
    std::string text(kJournalHeader);
    text += forward ? "\nforward\n" : "\nback\n";
    for (const Rename &r : renames)
        text += NameInJournal(r.staged, base) + '\t' + NameInJournal(r.target, base) + '\t' + NameInJournal(r.kept, base)
                + '\n';
    text += kJournalEnd;
    text += '\n';
    return text;
}

struct Journal {
    bool whole = false; // false: cut short, so no rename was made yet
    bool forward = true;
    std::vector<Rename> renames;
};

Journal ParseJournal(std::string_view text, const std::filesystem::path &base)
{
    Journal journal;
    std::vector<std::string_view> lines;
    // Only lines with their line break are whole.
    for (size_t at = 0, end = 0; (end = text.find('\n', at)) != std::string_view::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    if (lines.size() < 2 || lines[0] != kJournalHeader || (lines[1] != "forward" && lines[1] != "back"))
        return journal;
    journal.forward = lines[1] == "forward";
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i] == kJournalEnd) {
            journal.whole = i + 1 == lines.size();
            return journal;
        }
        std::string_view fields[3];
        std::string_view rest = lines[i];
        for (size_t f = 0; f < 3; ++f) {
            const size_t tab = f < 2 ? rest.find('\t') : std::string_view::npos;
            if (f < 2 && tab == std::string_view::npos)
                return journal;
            fields[f] = rest.substr(0, tab);
            rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
        }
        journal.renames.push_back(
            {PathFromJournal(fields[0], base), PathFromJournal(fields[1], base), PathFromJournal(fields[2], base)});
    }
    return journal;
}

void SyncFoldersOf(const std::vector<Rename> &renames)
{
    std::vector<std::filesystem::path> folders;
    for (const Rename &r : renames)
        if (std::find(folders.begin(), folders.end(), r.target.parent_path()) == folders.end())
            folders.push_back(r.target.parent_path());
    for (const std::filesystem::path &folder : folders)
        SyncDirectory(folder);
}

void RemoveIfThere(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!path.empty())
        std::filesystem::remove(path, ec);
}

// Puts every old file back: a target renamed already gets its old file again,
// one that was new goes. Only what this change made is touched, so that doing
// it twice (a start after a death during the undo) does no harm. An error names
// a target that could not get its old file back (which then keeps its second
// name).
Result<void> Undo(const std::vector<Rename> &renames)
{
    Result<void> undone;
    for (const Rename &r : renames) {
        std::error_code ec;
        const bool renamed = !std::filesystem::exists(r.staged, ec);
        if (!r.kept.empty()) {
            // Over its own second name (no rename made yet) a rename does
            // nothing and leaves both names.
            if (std::filesystem::exists(r.kept, ec)) {
                std::filesystem::rename(r.kept, r.target, ec);
                if (!ec)
                    RemoveIfThere(r.kept);
                else if (undone)
                    undone = Failure(r.target, SystemReason(ec));
            }
        } else if (renamed) {
            RemoveIfThere(r.target);
        }
        RemoveIfThere(r.staged);
    }
    SyncFoldersOf(renames);
    return undone;
}

// Makes every rename still to be made. The journal only lists complete staged
// files, so a staged file still there is always the target's new content.
Result<void> Complete(const std::vector<Rename> &renames)
{
    for (const Rename &r : renames) {
        std::error_code ec;
        if (!std::filesystem::exists(r.staged, ec))
            continue; // renamed before the process ended
        std::filesystem::rename(r.staged, r.target, ec);
        if (ec)
            return Failure(r.target, SystemReason(ec));
    }
    SyncFoldersOf(renames);
    for (const Rename &r : renames)
        RemoveIfThere(r.kept);
    return {};
}

std::function<bool(int)> &StopForTests()
{
    static std::function<bool(int)> stop;
    return stop;
}

void StopHereForTests(int step)
{
    if (StopForTests() && StopForTests()(step))
        throw FilesTogetherStopped{step};
}

} // namespace

void SetFilesTogetherStopForTests(std::function<bool(int step)> stop) { StopForTests() = std::move(stop); }

Result<void> FinishFilesTogether(const std::filesystem::path &journal)
{
    std::error_code ec;
    if (!std::filesystem::exists(journal, ec))
        return {};
    Result<std::string> text = ReadAllBytes(journal);
    if (!text)
        return Failure(journal, text.error().reason);
    const Journal found = ParseJournal(*text, journal.parent_path());
    if (!found.whole) {
        // The journal goes in place whole or not at all, so a cut one was being
        // written: no target was touched. The staged files it names go.
        for (const Rename &r : found.renames) {
            RemoveIfThere(r.staged);
            RemoveIfThere(r.kept);
        }
    } else if (found.forward) {
        if (Result<void> done = Complete(found.renames); !done)
            return done;
    } else if (Result<void> undone = Undo(found.renames); !undone) {
        return undone;
    }
    std::filesystem::remove(journal, ec);
    if (ec)
        return Failure(journal, SystemReason(ec));
    SyncDirectory(journal.parent_path());
    return {};
}

Result<std::string> ReadWholeFile(const std::filesystem::path &path, StopAt stop)
{
    Result<std::string> read = ReadAllBytes(path);
    if (!read)
        return read;
    std::string &bytes = *read;
    const size_t zero = bytes.find('\0');
    if (zero != std::string::npos)
        bytes.resize(zero);
    if (stop == StopAt::ZeroOrTextEnd) {
        // Found at character boundaries only: a 0x1A inside a two-byte
        // character is kept.
        const TextPos end = FindText(bytes, "\x1A");
        if (end != kNotFound)
            bytes.resize(static_cast<size_t>(end - 1));
    }
    return read;
}

Result<std::string> ReadEveryByte(const std::filesystem::path &path) { return ReadAllBytes(path); }

Result<void> WriteFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    QSaveFile file(PathText(path));
    if (!file.open(QIODevice::WriteOnly))
        return Failure(path, file.errorString());
    // On a full disk write() may still take the bytes into Qt's buffer and
    // commit() rename an empty file over the target: flush and ask the file for
    // its error first, and drop the temporary file on any failure.
    const bool written =
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size())
        && file.flush() && file.error() == QFileDevice::NoError;
    if (!written) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Failure(path, reason);
    }
    if (!file.commit())
        return Failure(path, file.errorString());
    return {};
}

Result<void> WriteFilesTogether(const std::vector<FileContents> &files, const std::filesystem::path &journal)
{
    if (files.empty())
        return {};
    if (files.size() == 1)
        return WriteFileAtomically(files[0].path, files[0].bytes);
    const std::filesystem::path base = journal.parent_path();
    std::vector<Rename> renames;
    const auto fail = [&](FileError error) -> Result<void> {
        for (const Rename &r : renames) {
            RemoveIfThere(r.staged);
            RemoveIfThere(r.kept);
        }
        return tl::unexpected<FileError>(std::move(error));
    };
    for (const FileContents &file : files) {
        Result<std::filesystem::path> name = Stage(file);
        if (!name)
            return fail(std::move(name.error()));
        renames.push_back({std::move(*name), file.path, {}});
    }
    for (Rename &r : renames) {
        Result<std::filesystem::path> kept = Keep(r.target, std::filesystem::path(r.staged) += ".old");
        if (!kept)
            return fail(std::move(kept.error()));
        r.kept = std::move(*kept);
    }
    // The staged files' names must be on the disk before a journal names them.
    SyncFoldersOf(renames);
    int step = 1;
    StopHereForTests(step);
    if (Result<void> listed = WriteFileAtomically(journal, JournalText(renames, true, base)); !listed)
        return fail(std::move(listed.error()));
    SyncDirectory(base);
    for (const Rename &r : renames) {
        StopHereForTests(++step);
        std::error_code ec;
        std::filesystem::rename(r.staged, r.target, ec);
        if (ec) {
            // From here the next start must undo, not complete, should the
            // process end before the old files are back.
            (void)WriteFileAtomically(journal, JournalText(renames, false, base));
            // What cannot be put back now is left to the next start.
            if (Undo(renames))
                RemoveIfThere(journal);
            return Failure(r.target, SystemReason(ec));
        }
    }
    SyncFoldersOf(renames);
    StopHereForTests(++step);
    for (const Rename &r : renames)
        RemoveIfThere(r.kept);
    // A journal found again after a power cut finds nothing left to do.
    RemoveIfThere(journal);
    return {};
}

std::vector<std::filesystem::path> ListFiles(const std::filesystem::path &dir, const std::string &pattern,
                                             bool withPath)
{
    const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(
        QString::fromStdString(pattern), QRegularExpression::UnanchoredWildcardConversion));
    const QRegularExpression anchored(QRegularExpression::anchoredPattern(match.pattern()),
                                      QRegularExpression::CaseInsensitiveOption);
    std::vector<std::filesystem::path> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_directory(typeEc))
            continue;
        const auto name = it->path().filename();
        if (!anchored.match(PathText(name)).hasMatch())
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (withPath)
        for (auto &name : names)
            name = dir / name;
    return names;
}

} // namespace corvix
