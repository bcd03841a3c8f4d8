#pragma once
#include <QLocale>

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

// The script heap of each renderer process, in MB: a page that allocates
// without end loses its renderer at this bound instead of taking the machine's memory.
constexpr int kRendererHeapLimitMb = 512;
// Adds the heap limit to the engine's flags, unless script flags are given already.
void CapRendererMemory(std::vector<char *> &arguments);

// Loads Qt's own translation for the locale (file dialogs, standard buttons),
// so that they speak the desktop's language like the program's own texts do.
// Gives the installed translator, owned by app (delete it to take it back), or
// nullptr when Qt has no translation for that language.
QTranslator *InstallQtTranslation(QCoreApplication &app, const QLocale &locale = QLocale());

} // namespace corvix
