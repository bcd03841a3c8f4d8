// Qt's own texts (standard buttons, file dialogs) are Chinese like the
// program's, whatever the desktop's language.
#include "app/Application.h"
#include "app/QtTextsSupplement.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace corvix;

TEST(QtTranslation, StandardButtonsSpeakChineseOnAnyDesktop)
{
    const QLocale before;
    for (const char *desktop : {"en_US", "zh_CN", "de_DE"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(desktop)));
        const QList<QTranslator *> installed = InstallQtTranslation(*qApp);
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text().remove(u'&'), QStringLiteral("确定")) << desktop;
        EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().remove(u'&'), QStringLiteral("取消")) << desktop;
        // The file dialog's type column, which the catalogue leaves in English.
        EXPECT_EQ(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("文件夹")) << desktop;
        EXPECT_EQ(QLocale(), QLocale(QString::fromLatin1(desktop))) << "the default locale stays the desktop's";
        qDeleteAll(installed);
    }
    QLocale::setDefault(before);
}

TEST(QtTranslation, SupplementAnswersOnlyWhatTheCatalogueLacks)
{
    const struct {
        const char *context, *source;
        QString chinese;
    } cases[] = {
        {"QAbstractFileIconProvider", "Folder", QStringLiteral("文件夹")},
        {"QAbstractFileIconProvider", "Drive", QStringLiteral("驱动器")},
        {"QAbstractFileIconProvider", "Shortcut", QStringLiteral("快捷方式")},
        {"QAbstractFileIconProvider", "Unknown", QStringLiteral("未知")},
        {"QFileDialog", "Folder", QString()}, // the catalogue's own
        {"QAbstractFileIconProvider", "Folders", QString()},
        {nullptr, "Folder", QString()},
    };
    const QtTextsSupplement supplement;
    for (const auto &c : cases)
        EXPECT_EQ(supplement.translate(c.context, c.source, "All other platforms"), c.chinese) << c.source;
}
