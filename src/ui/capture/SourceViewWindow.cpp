#include "ui/capture/SourceViewWindow.h"

#include "support/Gbk.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace corvix {

SourceViewWindow::SourceViewWindow(const std::string &gbkText, QWidget *parent) : QDialog(parent)
{
    // The user copies markers from this text; where the program keeps it is its own affair.
    setWindowTitle(QStringLiteral("页面源代码"));
    resize(900, 640);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("网页源码"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QString shown = FromGbk(gbkText);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text_->setPlainText(shown);
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("查找"));
    search_->setPlaceholderText(QStringLiteral("查找（例如价格数字）"));
    auto *next = new QPushButton(QStringLiteral("查找下一个"), this);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("查找："), this));
    row->addWidget(search_, 1);
    row->addWidget(next);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(text_, 1);
    connect(next, &QPushButton::clicked, this, &SourceViewWindow::FindNext);
    connect(search_, &QLineEdit::returnPressed, this, &SourceViewWindow::FindNext);
}

bool SourceViewWindow::FindNext()
{
    const QString what = search_->text();
    if (what.isEmpty())
        return false;
    if (text_->find(what))
        return true;
    QTextCursor top = text_->textCursor();
    top.movePosition(QTextCursor::Start);
    text_->setTextCursor(top);
    return text_->find(what);
}

} // namespace corvix
