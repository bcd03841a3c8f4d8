#include "ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace corvix {
namespace {
OpenDialogHandler &OpenHandler()
{
    static OpenDialogHandler handler;
    return handler;
}

SaveDialogHandler &SaveHandler()
{
    static SaveDialogHandler handler;
    return handler;
}
} // namespace

QString QtNameFilter(const QString &programFilter)
{
    const QStringList parts = programFilter.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        if (!name.contains(u'('))
            name += u'(' + parts[i + 1] + u')';
        filters << name;
    }
    if (filters.isEmpty())
        filters << programFilter;
    return filters.join(QStringLiteral(";;"));
}

QString StartFolder(const QString &last, const QString &documents, const QString &home)
{
    // A folder since removed (a USB stick) is passed over.
    for (const QString &folder : {last, documents})
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    return home;
}

QString UserStartFolder(const QString &last)
{
    return StartFolder(last, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::homePath());
}

QString AskOpenFileName(const QString &title, const QString &filter, const QString &folder)
{
    if (OpenHandler())
        return OpenHandler()(title, filter, folder);
    return QFileDialog::getOpenFileName(nullptr, title, folder, QtNameFilter(filter));
}

QString AskSaveFileName(const QString &title, const QString &filter, const QString &defaultSuffix,
                        const QString &proposed)
{
    if (SaveHandler())
        return SaveHandler()(title, filter, proposed);
    QFileDialog dialog(nullptr, title, QString(), QtNameFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!proposed.isEmpty()) {
        const QFileInfo file(proposed);
        dialog.setDirectory(file.absolutePath());
        dialog.selectFile(file.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void SetOpenDialogHandlerForTests(OpenDialogHandler handler)
{
    OpenHandler() = std::move(handler);
}

void SetSaveDialogHandlerForTests(SaveDialogHandler handler)
{
    SaveHandler() = std::move(handler);
}

} // namespace corvix
