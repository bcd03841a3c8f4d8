#pragma once
// The one boundary between GBK bytes (the data layer) and Unicode (Qt, file
// names, libraries that want UTF-8). Characters without a GBK form become "?".
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvix {

std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);
QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString &text);

// A GBK literal written in UTF-8 source: Gbk("获取失败") gives the GBK bytes.
inline std::string Gbk(std::string_view utf8) { return Utf8ToGbk(utf8); }

// dir / name, where name is GBK text (a rule title, a record name).
std::filesystem::path PathInDir(const std::filesystem::path &dir, std::string_view gbkName);
// A path as GBK text, for display and for texts that hold paths.
std::string PathToGbk(const std::filesystem::path &path);

} // namespace corvix
