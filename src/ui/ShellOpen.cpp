#include "ui/ShellOpen.h"

#include <QDesktopServices>

namespace corvix {
namespace {

ShellOpenHandler &Handler()
{
    static ShellOpenHandler handler;
    return handler;
}

} // namespace

void OpenWithShell(const QUrl &target)
{
    if (Handler()) {
        Handler()(target);
        return;
    }
    QDesktopServices::openUrl(target);
}

void SetShellOpenHandlerForTests(ShellOpenHandler handler)
{
    Handler() = std::move(handler);
}

} // namespace corvix
