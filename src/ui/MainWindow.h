#pragma once
// The main window: the tab control 选择夹1 with its five pages, and the status
// bar that shows a capture run's progress. Each page builds and owns its
// controls; the controllers that src/app wires to the pages act on them.
#include <QMainWindow>

class QIcon;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace corvix {

class AboutPage;
class HelpWindow;
class ProductListPage;
class RecordListPage;
class RuleEditorPage;
class RuleListPage;

// The program's icon, for its windows and the desktop's task bar.
QIcon ProgramIcon();

// The size of a first window (none stored): roomy, at least as wide as the
// grid's columns want, within the screen's available size (an empty size when
// no screen is known).
QSize FirstWindowSize(int gridColumnsWidth, QSize available);

// The pages of 选择夹1, in the order of their tabs.
enum class MainTab { List, RuleList, RuleEditor, RecordList, About };

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    ProductListPage *ListPage() const { return listPage_; }
    RuleListPage *RulesPage() const { return rulesPage_; }
    RuleEditorPage *EditorPage() const { return editorPage_; }
    RecordListPage *RecordsPage() const { return recordsPage_; }
    AboutPage *AboutUsPage() const { return aboutPage_; }

    // The first window's size for the grid's present columns and the screen.
    void ResizeToFirstSize();
    void ShowTab(MainTab tab);
    // The program's name and version, shown on the page "关于我们".
    void SetVersionText(const QString &text);
    // Opens the help window (F1, the button "帮助") and brings it to the front.
    void ShowHelp();
    // nullptr until the help was first asked for.
    HelpWindow *Help() const { return help_; }

    // Status-bar progress of a capture run; hidden while no run is in progress.
    QProgressBar *RunProgress() const { return runProgress_; }
    QLabel *RunProgressText() const { return runProgressText_; }
    // Shows how far a capture run is: links done of links to do, and the product
    // being captured. HideRunProgress() when the run ends.
    void ShowRunProgress(int done, int total, const QString &product);
    void HideRunProgress();
    // Says in the status bar how far a stopped run came.
    void ShowRunStopped(int done, int total);
    // A line in the status bar until the next one (what became of the notices sent).
    void ShowStatusNote(const QString &text);

signals:
    // The user (or ShowTab) switched to the page.
    void tabShown(MainTab tab);
    // Emitted first thing in the close event, while every control still exists.
    void aboutToBeDestroyed();
    // "停止抓取" beside the run's progress was clicked.
    void stopRunRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildTabs();
    void BuildStatusBar();
    void BuildHelp();

    QTabWidget *tabs_ = nullptr;
    ProductListPage *listPage_ = nullptr;
    RuleListPage *rulesPage_ = nullptr;
    RuleEditorPage *editorPage_ = nullptr;
    RecordListPage *recordsPage_ = nullptr;
    AboutPage *aboutPage_ = nullptr;
    HelpWindow *help_ = nullptr;
    QProgressBar *runProgress_ = nullptr;
    QLabel *runProgressText_ = nullptr;
    QPushButton *stopRun_ = nullptr;
    bool destroyedSignalled_ = false;
};

} // namespace corvix
