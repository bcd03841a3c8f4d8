#pragma once
// Every message box of the program goes through ShowMessage: task-modal, one OK
// button (the default button), no icon, title "信息：" unless another is given.
// Tests install a handler that records the texts and returns at once.
#include <QString>
#include <functional>

namespace corvix {

void ShowMessage(const QString &text, const QString &title = QString());
// Texts given as GBK bytes (the data layer's form).
void ShowMessageGbk(const std::string &text);

using MessageHandler = std::function<void(const QString &text, const QString &title)>;
// Replaces the real message box; pass nullptr to restore it.
void SetMessageHandlerForTests(MessageHandler handler);

QString DefaultMessageTitle();

} // namespace corvix
