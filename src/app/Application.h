#pragma once
#include <QList>

#include <vector>

class QCoreApplication;
class QTranslator;

namespace corvix {

// Settings Qt needs before the QApplication exists (shared GL contexts for the
// browser engine, the engine's sandbox when running as root).
void PrepareQtBeforeApplication();

// For the capture without a window: the offscreen platform whatever DISPLAY
// says (a display that is set but gone would end the program), and, unless
// verbose, the messages of Qt and the browser engine (sandbox, runtime folder,
// GL) kept off standard error, where a scheduler's log wants only the capture's
// own lines.
// arguments (the program's, without the closing null) get what the engine needs
// for that; they must outlive the application object.
void PrepareHeadlessBeforeApplication(bool verbose, std::vector<char *> &arguments);

// Adds flag (static storage) to the browser engine's flags: to the environment
// variable when it is set (the engine then reads only that), else to arguments
// after --webEngineArgs.
void AddEngineFlag(char *flag, std::vector<char *> &arguments);

// Adds the flags that send every connection of the browser engine through the
// guard that keeps shop pages off the user's own network (LocalNetworkGuard.h).
void RouteEngineThroughGuard(std::vector<char *> &arguments);

// The script heap of each renderer process, in MB: a page that allocates
// without end loses its renderer at this bound instead of taking the machine's memory.
constexpr int kRendererHeapLimitMb = 512;
// Adds the heap limit to the engine's flags, unless script flags are given already.
void CapRendererMemory(std::vector<char *> &arguments);

// Loads Qt's own texts (file dialogs, standard buttons, text and page menus)
// in Chinese whatever the desktop's language, for the program's own texts are
// Chinese; the few the installed catalogue lacks come from the program's own
// table. The default locale stays the desktop's: the browser engine takes its
// page language and the languages it asks shops for from it.
// Gives the installed translators, owned by app (delete them to take them back).
QList<QTranslator *> InstallQtTranslation(QCoreApplication &app);

} // namespace corvix
