#include "ui/EntryWindows.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvix {

EntryWindow::EntryWindow(const QString &objectName, QSize size, QWidget *parent) : QDialog(parent)
{
    setObjectName(objectName);
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName(QStringLiteral("编辑框1"));
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The program's own captions, whatever language Qt's buttons speak.
    auto *buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok_->setObjectName(QStringLiteral("确定"));
    cancel_ = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel_->setObjectName(QStringLiteral("取消"));
    // Enter starts a new line in the box; only a click or Space on 确定 confirms.
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(editor_, 1);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(6, 0, 6, 0);
    row->addWidget(buttons);
    layout->addLayout(row);
    resize(size);
}

void EntryWindow::done(int result)
{
    if (!finished_) {
        finished_ = true;
        if (result == QDialog::Accepted)
            emit entryKept();
    }
    QDialog::done(result);
}

// The window's close button keeps the entry, as it always has; only 取消 and
// Escape discard it.
void EntryWindow::closeEvent(QCloseEvent *event)
{
    if (!finished_)
        accept();
    event->accept();
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
