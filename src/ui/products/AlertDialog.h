#pragma once
// "设置提醒": the target price ("低于 n 元时提醒") and the drop share ("比上次降价超过
// n%") of a product, for all its shops or one of them, and "有货时提醒" (a shop
// that had it out of stock has a price again). Every box off removes the alert.
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

private:
    void ShowAlertOf(const std::string &shop);

    std::string product_;
    PriceAlerts alerts_; // as they were when the dialog opened
    QComboBox *shop_;
    QCheckBox *targetOn_;
    QDoubleSpinBox *target_;
    QCheckBox *dropOn_;
    QDoubleSpinBox *drop_;
    QCheckBox *backInStock_;
};

} // namespace corvix
