#pragma once
// The shell's open action: a file in the user's viewer for its type, a link in
// the default web browser. Tests install a handler that records the address
// instead of launching anything.
#include <QUrl>

#include <functional>

namespace corvix {

void OpenWithShell(const QUrl &target);

using ShellOpenHandler = std::function<void(const QUrl &target)>;
// Replaces the shell's open action; pass nullptr to restore it.
void SetShellOpenHandlerForTests(ShellOpenHandler handler);

} // namespace corvix
