#include "common/CoreTestSupport.h"

#include "support/DataRoot.h"

#include <fstream>
#include <iterator>

namespace corvix::test {

TempDataRoot::TempDataRoot()
{
    dirs_ = PrepareDataRoot(Dir(), {}).dirs;
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
