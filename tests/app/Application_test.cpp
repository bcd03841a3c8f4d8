// Qt's own texts (standard buttons, file dialogs) follow the desktop's language.
#include "app/Application.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace corvix;

TEST(QtTranslation, StandardButtonsSpeakChineseOnAChineseDesktop)
{
    const struct {
        const char *locale;
        QString ok, cancel;
    } cases[] = {
        {"zh_CN", QStringLiteral("确定"), QStringLiteral("取消")},
        {"en_US", QStringLiteral("OK"), QStringLiteral("Cancel")},
    };
    for (const auto &c : cases) {
        QTranslator *translator = InstallQtTranslation(*qApp, QLocale(QString::fromLatin1(c.locale)));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text().remove(u'&'), c.ok) << c.locale;
        EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().remove(u'&'), c.cancel) << c.locale;
        delete translator;
    }
}
