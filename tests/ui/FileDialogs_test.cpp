// Where the program's file dialogs start.
#include "ui/FileDialogs.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace corvix;

TEST(StartFolder, LastFolderWhileItExistsElseDocumentsElseHome)
{
    QTemporaryDir dir;
    const QString last = dir.filePath(QStringLiteral("上次"));
    const QString documents = dir.filePath(QStringLiteral("文档"));
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString gone = dir.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(last) && QDir().mkpath(documents));
    const struct {
        QString last, documents, expected;
    } cases[] = {
        {last, documents, last},
        {QString(), documents, documents},
        {gone, documents, documents}, // a removed stick
        {gone, QString(), home},
        {gone, gone, home},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StartFolder(c.last, c.documents, home), c.expected) << c.last.toStdString();
    EXPECT_EQ(UserStartFolder(last), last);
}
