#pragma once
// SourceViewWindow "页面源代码": the page source as the marker pick wrote it,
// one line of the window per line of the file, with a search, so that markers
// are copied from the text the marker search sees (a system viewer may not
// read GBK).
#include <QDialog>

#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace corvix {

class SourceViewWindow : public QDialog {
    Q_OBJECT
public:
    // Shows gbkText, the content the pick has just written.
    explicit SourceViewWindow(const std::string &gbkText, QWidget *parent = nullptr);

    QPlainTextEdit *Text() const { return text_; }
    QLineEdit *Search() const { return search_; }
    // Selects the next occurrence of the search text after the cursor, from the
    // top again after the last one; false when there is none.
    bool FindNext();

private:
    QPlainTextEdit *text_ = nullptr;
    QLineEdit *search_ = nullptr;
};

} // namespace corvix
