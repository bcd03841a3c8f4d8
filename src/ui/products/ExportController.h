#pragma once
// Button 按钮7 ("导出"): the product grid into an Excel workbook.
#include <QObject>

namespace corvix {

struct Session;

class MainWindow;

class ExportController : public QObject {
    Q_OBJECT
public:
    // Parented to the window, whose controls it binds.
    ExportController(MainWindow *window, Session &session);

    // Asks for the file name; cancelling starts nothing. A workbook that could
    // not be written is reported in a message box.
    void ExportToExcel();

private:
    MainWindow *window_;
    Session &session_;
};

} // namespace corvix
