#pragma once
// The page "关于我们": the start page that ships inside the program, in the
// browser 超文本浏览框1.
#include <QWidget>

class QLabel;
class QWebEngineView;

namespace corvix {

class AboutPage : public QWidget {
    Q_OBJECT
public:
    explicit AboutPage(QWidget *parent = nullptr);

    // The browser, or nullptr until the page has been shown.
    QWebEngineView *Browser() const { return browser_; }
    // Creates the browser with the start page, the first time only.
    void ShowStartPage();
    // The line above the start page that names the program and its version.
    void SetVersionText(const QString &text);
    QLabel *Version() const { return version_; }

private:
    QLabel *version_ = nullptr;
    QWebEngineView *browser_ = nullptr;
};

} // namespace corvix
