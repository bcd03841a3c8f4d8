#pragma once
// The two small entry windows: PasteImportWindow (a pasted import) and
// LinkInputWindow (one title or link). Each holds one multi-line edit box
// 编辑框1. Their behaviour is wired by the import controller.
#include <QDialog>

class QPlainTextEdit;

namespace corvix {

class PasteImportWindow : public QDialog {
    Q_OBJECT
public:
    explicit PasteImportWindow(QWidget *parent = nullptr);
    QPlainTextEdit *Editor() const { return editor_; }

signals:
    void aboutToBeDestroyed();

protected:
    void done(int result) override;

private:
    QPlainTextEdit *editor_;
    bool destroyedSignalled_ = false;
};

class LinkInputWindow : public QDialog {
    Q_OBJECT
public:
    explicit LinkInputWindow(QWidget *parent = nullptr);
    QPlainTextEdit *Editor() const { return editor_; }

signals:
    void aboutToBeDestroyed();

protected:
    void done(int result) override;

private:
    QPlainTextEdit *editor_;
    bool destroyedSignalled_ = false;
};

} // namespace corvix
