#include "ui/products/AlertDialog.h"

#include "support/Gbk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace corvix {
namespace {

QWidget *Line(QCheckBox *on, QDoubleSpinBox *value, const QString &after)
{
    auto *line = new QWidget;
    auto *row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(on);
    row->addWidget(value);
    row->addWidget(new QLabel(after));
    row->addStretch(1);
    QObject::connect(on, &QCheckBox::toggled, value, &QWidget::setEnabled);
    value->setEnabled(false);
    return line;
}

} // namespace

AlertDialog::AlertDialog(const std::string &product, const std::vector<std::string> &shops, const std::string &shop,
                         const PriceAlerts &alerts, QWidget *parent)
    : QDialog(parent), product_(product), alerts_(alerts), shop_(new QComboBox),
      targetOn_(new QCheckBox(QStringLiteral("低于"))), target_(new QDoubleSpinBox),
      dropOn_(new QCheckBox(QStringLiteral("比上次降价超过"))), drop_(new QDoubleSpinBox),
      backInStock_(new QCheckBox(QStringLiteral("有货时提醒")))
{
    backInStock_->setObjectName(QStringLiteral("有货时提醒"));
    backInStock_->setToolTip(QStringLiteral("店铺从缺货变为有价格时提醒一次"));
    setWindowTitle(QStringLiteral("设置提醒"));
    setObjectName(QStringLiteral("设置提醒"));
    shop_->addItem(QStringLiteral("全部店铺"));
    for (const std::string &title : shops)
        shop_->addItem(FromGbk(title));
    shop_->setCurrentIndex(std::max(0, shop_->findText(FromGbk(shop))));
    target_->setRange(0.01, 99999999.0);
    target_->setDecimals(2);
    drop_->setRange(0.1, 99.9);
    drop_->setDecimals(1);
    drop_->setValue(10);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("商品："), new QLabel(FromGbk(product)));
    form->addRow(QStringLiteral("店铺："), shop_);
    form->addRow(Line(targetOn_, target_, QStringLiteral("元时提醒")));
    form->addRow(Line(dropOn_, drop_, QStringLiteral("% 时提醒")));
    form->addRow(backInStock_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(shop_, &QComboBox::currentIndexChanged, this,
            [this] { ShowAlertOf(shop_->currentIndex() == 0 ? std::string() : ToGbk(shop_->currentText())); });
    ShowAlertOf(shop_->currentIndex() == 0 ? std::string() : shop);
}

void AlertDialog::ShowAlertOf(const std::string &shop)
{
    const PriceAlert *alert = alerts_.Find(product_, shop);
    targetOn_->setChecked(alert && alert->target);
    if (alert && alert->target)
        target_->setValue(*alert->target);
    dropOn_->setChecked(alert && alert->dropPercent);
    if (alert && alert->dropPercent)
        drop_->setValue(*alert->dropPercent);
    backInStock_->setChecked(alert && alert->backInStock);
}

PriceAlert AlertDialog::Alert() const
{
    PriceAlert alert;
    alert.product = product_;
    alert.shop = shop_->currentIndex() == 0 ? std::string() : ToGbk(shop_->currentText());
    if (targetOn_->isChecked())
        alert.target = target_->value();
    if (dropOn_->isChecked())
        alert.dropPercent = drop_->value();
    alert.backInStock = backInStock_->isChecked();
    return alert;
}

} // namespace corvix
