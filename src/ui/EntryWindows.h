#pragma once
// The two small entry windows: PasteImportWindow (a pasted import) and
// LinkInputWindow (one title or link). Each holds one multi-line edit box
// 编辑框1 that follows the window's size. Their behaviour is wired by the
// import controller.
#include <QDialog>

class QPlainTextEdit;

namespace corvix {

class EntryWindow : public QDialog {
    Q_OBJECT
public:
    QPlainTextEdit *Editor() const { return editor_; }

signals:
    // Once, when the window closes (by its close button, Escape or a handler):
    // the moment the entry is taken.
    void aboutToBeDestroyed();

protected:
    EntryWindow(const QString &objectName, QSize size, QWidget *parent);
    void done(int result) override;

private:
    QPlainTextEdit *editor_;
    bool destroyedSignalled_ = false;
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
