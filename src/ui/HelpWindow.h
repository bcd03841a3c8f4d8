#pragma once
// The help: the start page that ships inside the program (also shown on the
// page "关于我们"), in a window of its own that F1 and the button "帮助" open.
// A plain text browser shows it, so help opens at once and starts no browser
// engine.
#include <QWidget>

class QTextBrowser;

namespace corvix {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    QTextBrowser *Text() const { return text_; }

private:
    QTextBrowser *text_;
};

} // namespace corvix
