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
const QString kImportFolderKey = QStringLiteral("import/lastFolder");
const QString kParallelLinksKey = QStringLiteral("capture/parallelLinks");

// Titles may hold "/" (a group separator of QSettings) and any character.
QString ColumnKey(const QHeaderView &header, int section)
{
    const QString list = header.parentWidget() ? header.parentWidget()->objectName() : QString();
    const QString title = header.model()->headerData(section, header.orientation()).toString();
    return QStringLiteral("columns/") + QString::fromLatin1(QUrl::toPercentEncoding(list)) + u'/'
           + QString::fromLatin1(QUrl::toPercentEncoding(title));
}

bool IsOwnKey(const QString &key)
{
    return key == kGeometryKey || key == kExportFolderKey || key == kImportFolderKey || key == kParallelLinksKey
           || key.startsWith(QStringLiteral("columns/"));
}

// A value read back from an INI file is text: 3 and "3" are the same setting.
bool SameValue(const QVariant &a, const QVariant &b)
{
    if (a.metaType() == b.metaType())
        return a == b;
    return a.isValid() == b.isValid() && a.toString() == b.toString();
}

// Takes the program's keys out of settings; true when others were there.
bool ReadOwnKeys(const QSettings &settings, QVariantMap &values)
{
    bool others = false;
    for (const QString &key : settings.allKeys()) {
        if (IsOwnKey(key))
            values.insert(key, settings.value(key));
        else
            others = true;
    }
    return others;
}

} // namespace

UiSettings::UiSettings() : settings_(std::make_unique<QSettings>())
{
    changed_ = ReadOwnKeys(*settings_, values_);
}

UiSettings::UiSettings(const QString &iniFile) : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
    changed_ = ReadOwnKeys(*settings_, values_);
}

UiSettings::~UiSettings()
{
    Sync();
}

QVariant UiSettings::Value(const QString &key, const QVariant &otherwise) const
{
    return values_.value(key, otherwise);
}

void UiSettings::Set(const QString &key, const QVariant &value)
{
    const auto it = values_.constFind(key);
    if (it != values_.constEnd() && SameValue(*it, value))
        return;
    values_.insert(key, value);
    changed_ = true;
}

QByteArray UiSettings::WindowGeometry() const
{
    return Value(kGeometryKey).toByteArray();
}

void UiSettings::SetWindowGeometry(const QByteArray &geometry)
{
    Set(kGeometryKey, geometry);
}

void UiSettings::SaveColumnWidths(const QHeaderView &header)
{
    if (!header.model())
        return;
    for (int section = 0; section < header.count(); ++section)
        Set(ColumnKey(header, section), header.sectionSize(section));
}

void UiSettings::RestoreColumnWidths(QHeaderView &header) const
{
    if (!header.model())
        return;
    for (int section = 0; section < header.count(); ++section) {
        const int width = Value(ColumnKey(header, section), 0).toInt();
        if (width > 0)
            header.resizeSection(section, width);
    }
}

QString UiSettings::LastExportFolder() const
{
    return Value(kExportFolderKey).toString();
}

void UiSettings::SetLastExportFolder(const QString &folder)
{
    Set(kExportFolderKey, folder);
}

QString UiSettings::LastImportFolder() const
{
    return Value(kImportFolderKey).toString();
}

void UiSettings::SetLastImportFolder(const QString &folder)
{
    Set(kImportFolderKey, folder);
}

int UiSettings::ParallelLinks() const
{
    bool isNumber = false;
    const int links = Value(kParallelLinksKey, 1).toInt(&isNumber);
    return isNumber ? std::clamp(links, 1, kMaxParallelLinks) : 1;
}

void UiSettings::SetParallelLinks(int links)
{
    Set(kParallelLinksKey, std::clamp(links, 1, kMaxParallelLinks));
    Sync();
}

void UiSettings::Sync()
{
    if (!changed_)
        return;
    settings_->clear();
    for (auto it = values_.constBegin(); it != values_.constEnd(); ++it)
        settings_->setValue(it.key(), it.value());
    settings_->sync();
    changed_ = false;
}

} // namespace corvix
