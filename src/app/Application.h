#pragma once
#include <QLocale>

class QCoreApplication;
class QTranslator;

namespace corvix {

// Settings Qt needs before the QApplication exists (shared GL contexts for the
// browser engine, the engine's sandbox when running as root).
void PrepareQtBeforeApplication();

// Loads Qt's own translation for the locale (file dialogs, standard buttons),
// so that they speak the desktop's language like the program's own texts do.
// Gives the installed translator, owned by app (delete it to take it back), or
// nullptr when Qt has no translation for that language.
QTranslator *InstallQtTranslation(QCoreApplication &app, const QLocale &locale = QLocale());

} // namespace corvix
