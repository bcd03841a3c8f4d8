#include "ui/products/ProductWindow.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvix {

ProductWindow::ProductWindow(const QString &productTitle, const std::vector<Shop> &shops, QWidget *parent,
                             int unitIndex)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ProductWindow"));
    setWindowTitle(QStringLiteral("编辑商品"));
    auto *form = new QFormLayout;
    title_ = new QLineEdit(productTitle);
    title_->setObjectName(QStringLiteral("商品名称"));
    title_->setMinimumWidth(360);
    form->addRow(QStringLiteral("商品名称"), title_);
    for (size_t i = 0; i < shops.size(); ++i) {
        auto *box = new QLineEdit(shops[i].link);
        box->setObjectName(QStringLiteral("链接%1").arg(i + 1));
        box->setAccessibleName(shops[i].title);
        box->setEnabled(shops[i].storable);
        auto *size = new QLineEdit(shops[i].size);
        size->setObjectName(QStringLiteral("规格%1").arg(i + 1));
        size->setAccessibleName(shops[i].title + QStringLiteral(" 规格"));
        size->setPlaceholderText(QStringLiteral("规格，如 500g"));
        size->setToolTip(QStringLiteral("这个链接卖的是多少：500g、1kg、2斤、12瓶×500ml、1.5L、3件……"));
        size->setFixedWidth(120);
        size->setEnabled(shops[i].storable);
        auto *row = new QHBoxLayout;
        row->addWidget(box, 1);
        row->addWidget(size);
        // A title of blanks only would leave the label empty.
        form->addRow(shops[i].title.trimmed().isEmpty() ? QStringLiteral("（空白名称）") : shops[i].title, row);
        links_.push_back(box);
        sizes_.push_back(size);
    }
    unit_ = new QComboBox;
    unit_->setObjectName(QStringLiteral("单价单位"));
    unit_->addItems({QStringLiteral("自动（按规格）"), QStringLiteral("每500g"), QStringLiteral("每kg"),
                     QStringLiteral("每100g"), QStringLiteral("每L"), QStringLiteral("每100ml"), QStringLiteral("每件")});
    unit_->setCurrentIndex(unitIndex);
    form->addRow(QStringLiteral("单价单位"), unit_);

    // The program's own captions, whatever language Qt's buttons speak.
    auto *buttons = new QDialogButtonBox;
    ok_ = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok_->setObjectName(QStringLiteral("确定"));
    ok_->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ProductWindow::storeRequested);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

} // namespace corvix
