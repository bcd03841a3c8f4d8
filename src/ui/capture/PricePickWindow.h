#pragma once
// PricePickWindow: the page of the rule editor's link, on which the user points
// at the price. Once the page has settled, the element under the mouse is
// outlined and its text shown; a click (or a selection) chooses it, and the
// window lists the rules that read that price (RuleProposals), each with its
// price. An optional second link of the same shop runs every proposal there
// too. Choosing a proposal hands it to the editor; nothing is saved here.
// Escape or closing the window cancels.
#include "capture/RuleProposals.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"

#include <QDialog>
#include <QElapsedTimer>

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

class PricePickWindow : public QDialog {
    Q_OBJECT
public:
    explicit PricePickWindow(QWidget *parent = nullptr);

    // Loads link (GBK); the pick starts once the page has settled.
    void StartPick(const std::string &link);
    // Called with the proposal the user chose ("使用此规则" or a double click).
    void SetRuleChosen(std::function<void(const Rule &)> chosen);

    bool PickReady() const { return pickReady_; }
    const std::vector<RuleProposal> &Proposals() const { return proposals_; }
    BrowserView *Browser() const { return browser_; }
    QLabel *Status() const { return status_; }
    QTableWidget *List() const { return list_; }
    QLineEdit *VerifyLink() const { return verifyLink_; }
    bool Verifying() const { return verifying_; }
    // Uses the proposal in row of the list.
    void UseProposal(int row);

private:
    void OnPageLoaded();
    void WaitForSettledPage();
    void InstallPick();
    void Poll();
    void OnPicked(const QVariantMap &result);
    void StartVerify();
    void OnVerifyLoaded();
    void ShowProposals();

    BrowserView *browser_ = nullptr;
    BrowserView *verifyBrowser_ = nullptr;
    DomHelper helper_;
    DomHelper verifyHelper_;
    QLabel *status_ = nullptr;
    QLineEdit *verifyLink_ = nullptr;
    QPushButton *verify_ = nullptr;
    QTableWidget *list_ = nullptr;
    QPushButton *use_ = nullptr;
    QTimer *poll_ = nullptr;
    QElapsedTimer settleClock_;
    bool loaded_ = false;
    bool pickReady_ = false;
    bool picked_ = false;
    bool verifying_ = false;
    QElapsedTimer verifyClock_;
    std::vector<RuleProposal> proposals_;
    std::function<void(const Rule &)> chosen_;
};

} // namespace corvix
