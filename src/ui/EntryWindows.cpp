#include "ui/EntryWindows.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace corvix {

EntryWindow::EntryWindow(const QString &objectName, QSize size, QWidget *parent) : QDialog(parent)
{
    setObjectName(objectName);
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName(QStringLiteral("编辑框1"));
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(editor_);
    resize(size);
}

void EntryWindow::done(int result)
{
    if (!destroyedSignalled_) {
        destroyedSignalled_ = true;
        emit aboutToBeDestroyed();
    }
    QDialog::done(result);
}

PasteImportWindow::PasteImportWindow(QWidget *parent)
    : EntryWindow(QStringLiteral("PasteImportWindow"), QSize(968, 301), parent)
{
    setWindowTitle(QStringLiteral("粘贴导入窗口。自动识别数据支持： ， , | < > 《 》 等符号分割。"));
    Editor()->setAccessibleName(QStringLiteral("粘贴导入内容"));
}

LinkInputWindow::LinkInputWindow(QWidget *parent)
    : EntryWindow(QStringLiteral("LinkInputWindow"), QSize(438, 269), parent)
{
    // The caption says what to type; the box carries it for screen readers.
    connect(this, &QWidget::windowTitleChanged, Editor(), &QWidget::setAccessibleName);
}

} // namespace corvix
