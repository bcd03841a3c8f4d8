#include "ui/MessageBox.h"

#include "support/Gbk.h"

#include <QMessageBox>
#include <QPushButton>

namespace corvix {
namespace {
MessageHandler &Handler()
{
    static MessageHandler handler;
    return handler;
}
} // namespace

QString DefaultMessageTitle()
{
    return QStringLiteral("信息：");
}

void ShowMessage(const QString &text, const QString &title)
{
    const QString caption = title.isEmpty() ? DefaultMessageTitle() : title;
    if (Handler()) {
        Handler()(text, caption);
        return;
    }
    // No owner window: the box is modal for the whole application (task-modal).
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void ShowMessageGbk(const std::string &text)
{
    ShowMessage(FromGbk(text));
}

void SetMessageHandlerForTests(MessageHandler handler)
{
    Handler() = std::move(handler);
}

} // namespace corvix
