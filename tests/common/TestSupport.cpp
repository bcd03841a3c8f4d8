#include "common/TestSupport.h"

#include "app/DataRoot.h"
#include "ui/MessageBox.h"

#include <fstream>
#include <iterator>

namespace corvix::test {

MessageRecorder::MessageRecorder()
{
    SetMessageHandlerForTests([this](const QString &text, const QString &title) {
        texts_ << text;
        titles_ << title;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHandlerForTests(nullptr);
}

void MessageRecorder::Clear()
{
    texts_.clear();
    titles_.clear();
}

TempDataRoot::TempDataRoot()
{
    ResetProgramState();
    Program().dirs = PrepareDataRoot(Dir(), {}).dirs;
}

std::filesystem::path TempDataRoot::Dir() const
{
    return std::filesystem::path(dir_.path().toStdU16String());
}

void TempDataRoot::WriteBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDataRoot::ReadBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace corvix::test
