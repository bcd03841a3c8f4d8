#pragma once
// Every message box of the program goes through ShowMessage: task-modal, one OK
// button (the default button), no icon, title "信息：" unless another is given.
// Tests install a handler that records the texts and returns at once.
#include <QString>
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

// The one message for a write that did not happen: what the user tried, which
// file could not be written, and that the file on disk is still the old one.
// "保存规则失败：无法写入文件\n<path>\n（磁盘已满或没有写入权限），原来的文件保持不变。"
void ShowWriteFailure(const QString &action, const std::filesystem::path &file);

} // namespace corvix
