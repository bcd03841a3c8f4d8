#pragma once
// The two small entry windows: PasteImportWindow (a pasted import) and
// LinkInputWindow (one title or link). Each holds one multi-line edit box
// 编辑框1 that follows the window's size, and the buttons "确定" and "取消".
// 确定 and closing the window keep the entry; 取消 and Escape discard it. Their
// behaviour is wired by the import controller.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace corvix {

class EntryWindow : public QDialog {
    Q_OBJECT
public:
    QPlainTextEdit *Editor() const { return editor_; }
    QPushButton *OkButton() const { return ok_; }
    QPushButton *CancelButton() const { return cancel_; }

signals:
    // Once, when the window closes by 确定, its close button or a handler: the
    // moment the entry is taken. Not sent when the entry is discarded.
    void entryKept();

protected:
    EntryWindow(const QString &objectName, QSize size, QWidget *parent);
    void done(int result) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QPlainTextEdit *editor_;
    QPushButton *ok_;
    QPushButton *cancel_;
    bool finished_ = false;
};

class PasteImportWindow : public EntryWindow {
    Q_OBJECT
public:
    explicit PasteImportWindow(QWidget *parent = nullptr);
};

class LinkInputWindow : public EntryWindow {
    Q_OBJECT
public:
    explicit LinkInputWindow(QWidget *parent = nullptr);
};

} // namespace corvix
