#pragma once
// Every message box of the program goes through ShowMessage: task-modal, one OK
// button (the default button), no icon, title "信息：" unless another is given.
// A box that lets the user choose goes through AskQuestion. Tests install
// handlers that record the texts and return at once.
#include "support/Result.h"

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>

namespace corvix {

void ShowMessage(const QString &text, const QString &title = QString());
// Texts given as GBK bytes (the data layer's form).
void ShowMessageGbk(const std::string &text);

using MessageHandler = std::function<void(const QString &text, const QString &title)>;
// Replaces the real message box; pass nullptr to restore it.
void SetMessageHandlerForTests(MessageHandler handler);

QString DefaultMessageTitle();

// A task-modal box with the given buttons, the first one the default: the
// index of the button the user pressed, -1 when the box was closed without one.
int AskQuestion(const QString &text, const QStringList &buttons, const QString &title = QString());
// "是" / "否", whatever the desktop's language: true for 是.
bool AskYesNo(const QString &text);
// "确定删除 <what>？" answered 是.
bool ConfirmDelete(const QString &what);

using QuestionHandler =
    std::function<int(const QString &text, const QString &title, const QStringList &buttons)>;
// Replaces the real question box; pass nullptr to restore it.
void SetQuestionHandlerForTests(QuestionHandler handler);

// The one message for a write that did not happen: what the user tried, which
// file could not be written, and that the file on disk is still the old one.
// "保存规则失败：无法写入文件\n<path>\n（磁盘已满或没有写入权限），原来的文件保持不变。"
void ShowWriteFailure(const QString &action, const std::filesystem::path &file);
// The same message for the file a FileError names.
void ShowWriteFailure(const QString &action, const FileError &error);
// The one message for a change that stopped because a file it must read first
// could not be read; nothing was written.
// "删除商品失败：无法读取文件\n<path>\n（<reason>），没有写入任何文件。"
void ShowReadFailure(const QString &action, const FileError &error);
// The one of the two above that fits the error: a file that could not be read
// (FileError::read), or one that could not be written.
void ShowFileFailure(const QString &action, const FileError &error);

} // namespace corvix
