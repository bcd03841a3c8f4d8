#include "ui/UiSettings.h"

#include "capture/LinkScheduler.h"

#include <QHeaderView>
#include <QSettings>
#include <QUrl>

#include <algorithm>

namespace corvix {
namespace {

const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kExportFolderKey = QStringLiteral("export/lastFolder");
const QString kParallelLinksKey = QStringLiteral("capture/parallelLinks");

// Titles may hold "/" (a group separator of QSettings) and any character.
QString ColumnKey(const QHeaderView &header, int section)
{
    const QString list = header.parentWidget() ? header.parentWidget()->objectName() : QString();
    const QString title = header.model()->headerData(section, header.orientation()).toString();
    return QStringLiteral("columns/") + QString::fromLatin1(QUrl::toPercentEncoding(list)) + u'/'
           + QString::fromLatin1(QUrl::toPercentEncoding(title));
}

} // namespace

UiSettings::UiSettings() : settings_(std::make_unique<QSettings>()) {}

UiSettings::UiSettings(const QString &iniFile) : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

UiSettings::~UiSettings() = default;

QByteArray UiSettings::WindowGeometry() const
{
    return settings_->value(kGeometryKey).toByteArray();
}

void UiSettings::SetWindowGeometry(const QByteArray &geometry)
{
    settings_->setValue(kGeometryKey, geometry);
}

void UiSettings::SaveColumnWidths(const QHeaderView &header)
{
    if (!header.model())
        return;
    for (int section = 0; section < header.count(); ++section)
        settings_->setValue(ColumnKey(header, section), header.sectionSize(section));
}

void UiSettings::RestoreColumnWidths(QHeaderView &header) const
{
    if (!header.model())
        return;
    for (int section = 0; section < header.count(); ++section) {
        const int width = settings_->value(ColumnKey(header, section), 0).toInt();
        if (width > 0)
            header.resizeSection(section, width);
    }
}

QString UiSettings::LastExportFolder() const
{
    return settings_->value(kExportFolderKey).toString();
}

void UiSettings::SetLastExportFolder(const QString &folder)
{
    settings_->setValue(kExportFolderKey, folder);
}

int UiSettings::ParallelLinks() const
{
    bool isNumber = false;
    const int links = settings_->value(kParallelLinksKey, 1).toInt(&isNumber);
    return isNumber ? std::clamp(links, 1, kMaxParallelLinks) : 1;
}

void UiSettings::SetParallelLinks(int links)
{
    settings_->setValue(kParallelLinksKey, std::clamp(links, 1, kMaxParallelLinks));
    settings_->sync();
}

void UiSettings::Sync()
{
    settings_->sync();
}

} // namespace corvix
