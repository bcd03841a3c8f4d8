// What the windows remember between runs, in an INI file of its own.
#include "ui/UiSettings.h"

#include <QFile>
#include <QHeaderView>
#include <QSettings>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace corvix;

namespace {

// A list named `name` with the given column titles, each 50 wide.
std::unique_ptr<QTreeView> List(const QString &name, const QStringList &titles, QStandardItemModel &model)
{
    model.setHorizontalHeaderLabels(titles);
    auto view = std::make_unique<QTreeView>();
    view->setObjectName(name);
    view->setModel(&model);
    view->header()->setStretchLastSection(false);
    for (int i = 0; i < titles.size(); ++i)
        view->header()->resizeSection(i, 50);
    return view;
}

} // namespace

TEST(UiSettings, ColumnWidthsComeBackByListAndTitle)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    {
        QStandardItemModel model;
        auto grid = List(QStringLiteral("超级列表框1"), {"ID", "京东", "采集名称 ( 右键编辑/删除 )"}, model);
        grid->header()->resizeSection(1, 140);
        grid->header()->resizeSection(2, 90);
        UiSettings settings(file);
        settings.SaveColumnWidths(*grid->header());
    }
    UiSettings settings(file);
    struct Case {
        QString list;
        QStringList titles;
        QList<int> widths;
    };
    const Case cases[] = {
        {QStringLiteral("超级列表框1"), {"ID", "京东", "采集名称 ( 右键编辑/删除 )"}, {50, 140, 90}},
        // Other rules enabled: 京东 moved, a new column keeps its width.
        {QStringLiteral("超级列表框1"), {"ID", "淘宝", "京东"}, {50, 50, 140}},
        // Another list with the same titles has widths of its own.
        {QStringLiteral("超级列表框4"), {"ID", "京东"}, {50, 50}},
    };
    for (const Case &c : cases) {
        QStandardItemModel model;
        auto view = List(c.list, c.titles, model);
        settings.RestoreColumnWidths(*view->header());
        for (int i = 0; i < c.widths.size(); ++i)
            EXPECT_EQ(view->header()->sectionSize(i), c.widths[i]) << c.list.toStdString() << " " << i;
    }
}

TEST(UiSettings, GeometryAndFoldersSurviveANewInstance)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    {
        UiSettings settings(file);
        EXPECT_TRUE(settings.WindowGeometry().isEmpty());
        EXPECT_TRUE(settings.LastExportFolder().isEmpty());
        settings.SetWindowGeometry(QByteArray("\x01\x02geometry", 10));
        settings.SetLastExportFolder(QStringLiteral("/home/用户/导出"));
        EXPECT_TRUE(settings.LastImportFolder().isEmpty());
        settings.SetLastImportFolder(QStringLiteral("/home/用户/链接"));
    }
    UiSettings settings(file);
    EXPECT_EQ(settings.WindowGeometry(), QByteArray("\x01\x02geometry", 10));
    EXPECT_EQ(settings.LastExportFolder(), QStringLiteral("/home/用户/导出"));
    EXPECT_EQ(settings.LastImportFolder(), QStringLiteral("/home/用户/链接"));
}

TEST(UiSettings, ParallelLinksDefaultRoundTripAndBadStoredValues)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    EXPECT_EQ(UiSettings(file).ParallelLinks(), 1) << "never set";
    UiSettings(file).SetParallelLinks(5);
    EXPECT_EQ(UiSettings(file).ParallelLinks(), 5);

    const std::pair<QVariant, int> stored[] = {
        {8, 8}, {1, 1}, {0, 1}, {-3, 1}, {9, 8}, {1000, 8}, {QStringLiteral("x"), 1}, {QStringLiteral(""), 1},
    };
    for (const auto &[value, reads] : stored) {
        QSettings(file, QSettings::IniFormat).setValue(QStringLiteral("capture/parallelLinks"), value);
        EXPECT_EQ(UiSettings(file).ParallelLinks(), reads) << value.toString().toStdString();
    }
}

// A large file full of keys the program does not know is slimmed once to the
// program's own keys, and an exit that changed nothing writes nothing.
TEST(UiSettings, OnlyItsOwnKeysAreWrittenAndOnlyWhenChanged)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    QFile ini(file);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[capture]\nparallelLinks=3\n[columns]\nlist/A=70\n[other]\n");
    for (int i = 0; i < 20000; ++i)
        ini.write(QByteArray("key") + QByteArray::number(i) + '=' + QByteArray(40, 'x') + '\n');
    ini.close();
    {
        UiSettings settings(file);
        EXPECT_EQ(settings.ParallelLinks(), 3);
    }
    EXPECT_FALSE(ini.open(QIODevice::ReadOnly) && ini.readAll().contains("key1")) << "the strangers are gone";
    ini.close();
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value(QStringLiteral("columns/list/A")).toInt(), 70);

    // A comment is kept only when the file is not written again.
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write("; untouched\n");
    ini.close();
    {
        UiSettings settings(file);
        settings.SetParallelLinks(3);
        settings.Sync();
    }
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("; untouched"));
}
