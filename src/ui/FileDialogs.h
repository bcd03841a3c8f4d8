#pragma once
// File dialogs of the program. Tests answer them in advance.
#include <QString>
#include <functional>

namespace corvix {

// Filters are given as the program stores them: "文本文档(*.txt)|*.txt".
// An empty result means the user cancelled.
QString AskOpenFileName(const QString &title, const QString &filter);
// proposed: the file the dialog starts with, a full path (its folder is opened
// and its name filled in); empty for the dialog's own choice.
QString AskSaveFileName(const QString &title, const QString &filter, const QString &defaultSuffix,
                        const QString &proposed = QString());

using FileDialogHandler = std::function<QString(const QString &title, const QString &filter)>;
void SetFileDialogHandlerForTests(FileDialogHandler handler);
// Answers the save dialog before the handler above does, and sees the proposed file.
using SaveDialogHandler = std::function<QString(const QString &title, const QString &filter, const QString &proposed)>;
void SetSaveDialogHandlerForTests(SaveDialogHandler handler);

// "显示名(*.x)|*.x" -> "显示名(*.x)" as Qt's name filter.
QString QtNameFilter(const QString &programFilter);

} // namespace corvix
