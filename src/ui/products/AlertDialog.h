#pragma once
// "设置提醒": the target price ("低于 n 元时提醒"), the drop share ("比上次降价超过
// n%"), the rise limit ("高于 n 元时提醒") and the rise share ("比上次涨价超过 n%",
// under "涨价提醒") of a product, for all its shops or one of them, whether it
// is told once per crossing or after every run while it holds, and "有货时提醒"
// (a shop that had it out of stock has a price again). Every box off removes
// the alert.
#include "products/PriceAlerts.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

namespace corvix {

class AlertDialog : public QDialog {
    Q_OBJECT
public:
    // shops: the grid's shop titles (GBK); shop: the one to start with, empty
    // for all of them. The boxes start from the alert already set there.
    AlertDialog(const std::string &product, const std::vector<std::string> &shops, const std::string &shop,
                const PriceAlerts &alerts, QWidget *parent = nullptr);

    // The alert as set in the boxes (empty when both are off).
    PriceAlert Alert() const;

    QCheckBox *TargetBox() const { return targetOn_; }
    QDoubleSpinBox *Target() const { return target_; }
    QCheckBox *DropBox() const { return dropOn_; }
    QDoubleSpinBox *Drop() const { return drop_; }
    QCheckBox *BackInStockBox() const { return backInStock_; }
    QComboBox *Shop() const { return shop_; }
    QCheckBox *RiseBox() const { return riseOn_; }
    QDoubleSpinBox *Rise() const { return rise_; }
    QCheckBox *RisePercentBox() const { return risePercentOn_; }
    QDoubleSpinBox *RisePercent() const { return risePercent_; }
    // 0: "越过时提醒一次", 1: "条件成立时每次抓取后都提醒".
    QComboBox *Frequency() const { return frequency_; }

private:
    void ShowAlertOf(const std::string &shop);

    std::string product_;
    PriceAlerts alerts_; // as they were when the dialog opened
    QComboBox *shop_;
    QCheckBox *targetOn_;
    QDoubleSpinBox *target_;
    QCheckBox *dropOn_;
    QDoubleSpinBox *drop_;
    QCheckBox *riseOn_;
    QDoubleSpinBox *rise_;
    QCheckBox *risePercentOn_;
    QDoubleSpinBox *risePercent_;
    QComboBox *frequency_;
    QCheckBox *backInStock_;
};

} // namespace corvix
