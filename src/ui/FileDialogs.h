#pragma once
// File dialogs of the program. Tests answer them in advance.
#include <QString>
#include <functional>

namespace corvix {

// The folder a file dialog starts in: the last one used while it exists, else
// the user's documents folder if there is one, else home; never the working
// directory, which is the program's own.
QString StartFolder(const QString &last, const QString &documents, const QString &home);
// The same with the desktop's documents folder and home.
QString UserStartFolder(const QString &last);

// Filters are given as the program stores them: "文本文档(*.txt)|*.txt".
// An empty result means the user cancelled. folder: where the dialog starts.
QString AskOpenFileName(const QString &title, const QString &filter, const QString &folder);
// proposed: the file the dialog starts with, a full path (its folder is opened
// and its name filled in); empty for the dialog's own choice.
QString AskSaveFileName(const QString &title, const QString &filter, const QString &defaultSuffix,
                        const QString &proposed = QString());

// Answer the dialogs in tests, seeing the folder or the file they start with.
using OpenDialogHandler = std::function<QString(const QString &title, const QString &filter, const QString &folder)>;
void SetOpenDialogHandlerForTests(OpenDialogHandler handler);
using SaveDialogHandler = std::function<QString(const QString &title, const QString &filter, const QString &proposed)>;
void SetSaveDialogHandlerForTests(SaveDialogHandler handler);

// "显示名(*.x)|*.x" -> "显示名(*.x)" as Qt's name filter.
QString QtNameFilter(const QString &programFilter);

} // namespace corvix
