#pragma once
// Paths shown to the user or handed to Qt: the one conversion of a
// std::filesystem::path to QString (UTF-16 on every system, so nothing is lost).
#include <QString>

#include <filesystem>

namespace corvix {

inline QString PathText(const std::filesystem::path &path) { return QString::fromStdU16String(path.u16string()); }

inline std::filesystem::path PathOf(const QString &text) { return std::filesystem::path(text.toStdU16String()); }

} // namespace corvix
