#pragma once
// The main window: the tab control 选择夹1 with its five pages and every control
// of the catalogue, named by objectName. It only builds widgets; the handlers
// live in the controllers that src/app wires to it.
#include <QMainWindow>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeView;
class QTreeWidget;
class QWebEngineView;

namespace corvix {

class ProductGridModel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    ProductGridModel *Grid() const { return grid_; }
    QTreeView *GridView() const { return gridView_; }
    QTabWidget *Tabs() const { return tabs_; }
    QTreeWidget *RuleList() const { return ruleList_; }
    QTreeWidget *RecordList() const { return recordList_; }
    QTabWidget *ExtractionPages() const { return extractionPages_; }
    QMenu *RuleMenu() const { return ruleMenu_; }
    QMenu *RecordMenu() const { return recordMenu_; }
    QMenu *GridMenu() const { return gridMenu_; }
    // Status-bar progress of a capture run; hidden while no run is in progress.
    QProgressBar *RunProgress() const { return runProgress_; }
    QLabel *RunProgressText() const { return runProgressText_; }
    // The "关于我们" browser, or nullptr until that page has been shown.
    QWebEngineView *AboutBrowser() const { return aboutBrowser_; }

    // Shows how far a capture run is: links done of links to do, and the product
    // being captured. HideRunProgress() when the run ends.
    void ShowRunProgress(int done, int total, const QString &product);
    void HideRunProgress();

    // Adds a product-grid column and gives the view its width.
    void AddGridColumn(const std::string &gbkTitle, int width, Qt::Alignment alignment);

signals:
    // Emitted first thing in the close event, while every control still exists.
    void aboutToBeDestroyed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *BuildListPage();
    QWidget *BuildRuleListPage();
    QWidget *BuildRuleEditorPage();
    QWidget *BuildRecordListPage();
    QWidget *BuildAboutPage();
    void BuildMenus();
    void BuildStatusBar();
    void ShowAboutPageOnce();

    ProductGridModel *grid_ = nullptr;
    QTreeView *gridView_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    QTreeWidget *ruleList_ = nullptr;
    QTreeWidget *recordList_ = nullptr;
    QTabWidget *extractionPages_ = nullptr;
    QWidget *aboutPage_ = nullptr;
    QWebEngineView *aboutBrowser_ = nullptr;
    QMenu *ruleMenu_ = nullptr;
    QMenu *recordMenu_ = nullptr;
    QMenu *gridMenu_ = nullptr;
    QProgressBar *runProgress_ = nullptr;
    QLabel *runProgressText_ = nullptr;
    bool destroyedSignalled_ = false;
};

} // namespace corvix
