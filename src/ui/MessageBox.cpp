#include "ui/MessageBox.h"

#include "support/Gbk.h"
#include "support/PathText.h"

#include <QMessageBox>
#include <QPushButton>

namespace corvix {
namespace {
MessageHandler &Handler()
{
    static MessageHandler handler;
    return handler;
}

QuestionHandler &Questions()
{
    static QuestionHandler handler;
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

void ShowWriteFailure(const QString &action, const std::filesystem::path &file)
{
    ShowMessage(action + QStringLiteral("失败：无法写入文件\n") + PathText(file)
                + QStringLiteral("\n（磁盘已满或没有写入权限），原来的文件保持不变。"));
}

void ShowWriteFailure(const QString &action, const FileError &error) { ShowWriteFailure(action, error.path); }

void ShowReadFailure(const QString &action, const FileError &error)
{
    ShowMessage(action + QStringLiteral("失败：无法读取文件\n") + PathText(error.path) + QStringLiteral("\n（")
                + error.reason + QStringLiteral("），没有写入任何文件。"));
}

void ShowFileFailure(const QString &action, const FileError &error)
{
    if (error.read)
        ShowReadFailure(action, error);
    else
        ShowWriteFailure(action, error);
}

int AskQuestion(const QString &text, const QStringList &buttons, const QString &title)
{
    const QString caption = title.isEmpty() ? DefaultMessageTitle() : title;
    if (Questions())
        return Questions()(text, caption, buttons);
    QMessageBox box(QMessageBox::NoIcon, caption, text);
    box.setWindowModality(Qt::ApplicationModal);
    // The buttons carry the program's own texts, so they read the same on every
    // desktop; the last one answers Escape.
    QList<QPushButton *> pushed;
    for (const QString &label : buttons)
        pushed << box.addButton(label, QMessageBox::ActionRole);
    if (!pushed.isEmpty()) {
        box.setDefaultButton(pushed.constFirst());
        box.setEscapeButton(pushed.constLast());
    }
    box.exec();
    return static_cast<int>(pushed.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
}

bool AskYesNo(const QString &text)
{
    return AskQuestion(text, {QStringLiteral("是"), QStringLiteral("否")}) == 0;
}

bool ConfirmDelete(const QString &what)
{
    return AskYesNo(QStringLiteral("确定删除 ") + what + QStringLiteral("？"));
}

void SetQuestionHandlerForTests(QuestionHandler handler)
{
    Questions() = std::move(handler);
}

void SetMessageHandlerForTests(MessageHandler handler)
{
    Handler() = std::move(handler);
}

} // namespace corvix
