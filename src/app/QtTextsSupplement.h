#pragma once
// Chinese for the few texts of Qt's own dialogs that the installed Qt catalogue
// does not translate (it lags behind the library: the file dialog's "Folder" in
// the type column comes from a context the catalogue does not know yet).
#include <QTranslator>

namespace corvix {

class QtTextsSupplement : public QTranslator {
    Q_OBJECT
public:
    using QTranslator::QTranslator;

    // The Chinese for a text of Qt's, or an empty string for one this table
    // leaves to Qt's catalogue.
    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return false; }
};

} // namespace corvix
