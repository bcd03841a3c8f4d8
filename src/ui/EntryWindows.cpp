#include "ui/EntryWindows.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace corvix {
namespace {

QPlainTextEdit *FillWithEditor(QDialog *window)
{
    auto *editor = new QPlainTextEdit(window);
    editor->setObjectName(QStringLiteral("编辑框1"));
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    // The box follows the window's size.
    layout->addWidget(editor);
    return editor;
}

} // namespace

PasteImportWindow::PasteImportWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PasteImportWindow"));
    setWindowTitle(QStringLiteral("粘贴导入窗口。自动识别数据支持： ， , | < > 《 》 等符号分割。"));
    editor_ = FillWithEditor(this);
    editor_->setAccessibleName(QStringLiteral("粘贴导入内容"));
    resize(968, 301);
}

void PasteImportWindow::done(int result)
{
    if (!destroyedSignalled_) {
        destroyedSignalled_ = true;
        emit aboutToBeDestroyed();
    }
    QDialog::done(result);
}

LinkInputWindow::LinkInputWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LinkInputWindow"));
    editor_ = FillWithEditor(this);
    // The caption says what to type; the box carries it for screen readers.
    connect(this, &QWidget::windowTitleChanged, editor_, &QWidget::setAccessibleName);
    resize(438, 269);
}

void LinkInputWindow::done(int result)
{
    if (!destroyedSignalled_) {
        destroyedSignalled_ = true;
        emit aboutToBeDestroyed();
    }
    QDialog::done(result);
}

} // namespace corvix
