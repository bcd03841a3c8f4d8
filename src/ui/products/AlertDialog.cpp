#include "ui/products/AlertDialog.h"

#include "support/Gbk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

#include <utility>

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
      riseOn_(new QCheckBox(QStringLiteral("高于"))), rise_(new QDoubleSpinBox),
      risePercentOn_(new QCheckBox(QStringLiteral("比上次涨价超过"))), risePercent_(new QDoubleSpinBox),
      frequency_(new QComboBox),
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
    rise_->setRange(0.01, 99999999.0);
    rise_->setDecimals(2);
    risePercent_->setRange(0.1, 999.9);
    risePercent_->setDecimals(1);
    risePercent_->setValue(10);
    frequency_->addItems({QStringLiteral("越过时提醒一次"), QStringLiteral("条件成立时每次抓取后都提醒")});
    for (auto [widget, name] : {std::pair<QWidget *, const char16_t *>{targetOn_, u"低于"}, {target_, u"目标价"},
                                {dropOn_, u"比上次降价超过"}, {drop_, u"降价幅度"}, {riseOn_, u"高于"},
                                {rise_, u"涨价上限"}, {risePercentOn_, u"比上次涨价超过"}, {risePercent_, u"涨价幅度"},
                                {frequency_, u"提醒频率"}})
        widget->setObjectName(QString::fromUtf16(name));

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("商品："), new QLabel(FromGbk(product)));
    form->addRow(QStringLiteral("店铺："), shop_);
    form->addRow(Line(targetOn_, target_, QStringLiteral("元时提醒")));
    form->addRow(Line(dropOn_, drop_, QStringLiteral("% 时提醒")));
    auto *rises = new QLabel(QStringLiteral("涨价提醒："));
    rises->setObjectName(QStringLiteral("涨价提醒"));
    form->addRow(rises);
    form->addRow(Line(riseOn_, rise_, QStringLiteral("元时提醒")));
    form->addRow(Line(risePercentOn_, risePercent_, QStringLiteral("% 时提醒")));
    form->addRow(QStringLiteral("提醒频率："), frequency_);
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
    riseOn_->setChecked(alert && alert->riseAbove);
    if (alert && alert->riseAbove)
        rise_->setValue(*alert->riseAbove);
    risePercentOn_->setChecked(alert && alert->risePercent);
    if (alert && alert->risePercent)
        risePercent_->setValue(*alert->risePercent);
    frequency_->setCurrentIndex(alert && alert->everyRun ? 1 : 0);
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
    if (riseOn_->isChecked())
        alert.riseAbove = rise_->value();
    if (risePercentOn_->isChecked())
        alert.risePercent = risePercent_->value();
    alert.everyRun = frequency_->currentIndex() == 1;
    alert.backInStock = backInStock_->isChecked();
    return alert;
}

} // namespace corvix
