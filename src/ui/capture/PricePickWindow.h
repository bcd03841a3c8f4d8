#pragma once
// PricePickWindow: the page of the rule editor's link, on which the user points
// at the price. As soon as the page's document is parsed and its scripts have
// settled, the element under the mouse is outlined; a click on any piece of a
// price (or a selection) stands for the whole price around it (PricePointedAt),
// and the window lists the rules that read it (RuleProposals), each with what
// it reads. A second link of the same shop runs every proposal as a capture
// would. Pointing again replaces the pick. Choosing a proposal hands it to the
// editor; nothing is saved here. Escape or closing the window cancels.
#include "capture/PricePick.h"
#include "capture/RuleProposals.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace corvix {

class BrowserView;
class SourceViewWindow;

class PricePickWindow : public QDialog {
    Q_OBJECT
public:
    explicit PricePickWindow(QWidget *parent = nullptr);

    // Loads link (GBK); the pick starts once the page is ready. otherLink, when
    // given and the verify field is empty, becomes the second page to check on.
    void StartPick(const std::string &link, const std::string &otherLink = {});
    // Called with the proposal the user chose ("使用此规则" or a double click).
    void SetRuleChosen(std::function<void(const Rule &)> chosen);

    PickState State() const { return flow_.State(); }
    bool PickReady() const { return flow_.State() != PickState::Loading; }
    bool Verifying() const { return flow_.State() == PickState::Verifying; }
    const std::vector<RuleProposal> &Proposals() const { return proposals_; }
    BrowserView *Browser() const { return browser_; }
    QLabel *Status() const { return status_; }
    QLabel *Header() const { return header_; }
    QTableWidget *List() const { return list_; }
    QLineEdit *VerifyLink() const { return verifyLink_; }
    QPushButton *SourceButton() const { return showSource_; }
    SourceViewWindow *SourceWindow() const { return sourceWindow_.data(); }
    // Uses the proposal in row of the list.
    void UseProposal(int row);

private:
    void OnTimer();
    void LookForReadyPage();
    void InstallPick();
    void Poll();
    void OnPointed(const QVariantMap &pointed);
    void OnDescribed(const QVariantMap &element, const std::string &wholeText);
    void StartVerify();
    void LookAtVerifyPage(quint64 run);
    void FinishVerify(quint64 run);
    void ShowProposals();
    void ShowSource();

    BrowserView *browser_ = nullptr;
    BrowserView *verifyBrowser_ = nullptr;
    DomHelper helper_;
    DomHelper verifyHelper_;
    QLabel *header_ = nullptr;
    QLabel *status_ = nullptr;
    QLineEdit *verifyLink_ = nullptr;
    QPushButton *verify_ = nullptr;
    QPushButton *showSource_ = nullptr;
    QTableWidget *list_ = nullptr;
    QPushButton *use_ = nullptr;
    QTimer *poll_ = nullptr;
    QPointer<SourceViewWindow> sourceWindow_;
    PickFlow flow_;
    QElapsedTimer parsedClock_;
    bool busy_ = false; // a look at the page is under way
    quint64 verifyRun_ = 0;
    QElapsedTimer verifyClock_;
    std::string pickedSource_; // the picked page's source, for the source viewer
    std::string wholeText_;
    std::vector<RuleProposal> proposals_;
    std::function<void(const Rule &)> chosen_;
};

} // namespace corvix
