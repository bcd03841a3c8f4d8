#pragma once
// SourceViewWindow: test.txt as the program wrote it, one line of the window per
// line of the file, with a search, so that markers are copied from the text the
// marker search sees (a system viewer may not read GBK).
#include <QDialog>
#include <QString>

#include <filesystem>
#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace corvix {

class SourceViewWindow : public QDialog {
    Q_OBJECT
public:
    // Shows gbkText, the content just written to file (named in the title).
    SourceViewWindow(const std::string &gbkText, const std::filesystem::path &file, QWidget *parent = nullptr);
    // Shows gbkText, the source of the page name says.
    SourceViewWindow(const std::string &gbkText, const QString &name, QWidget *parent = nullptr);

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
