#include "ui/products/ProductWindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvix {

ProductWindow::ProductWindow(const QString &productTitle, const std::vector<Shop> &shops, QWidget *parent)
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
        // A title of blanks only would leave the label empty.
        form->addRow(shops[i].title.trimmed().isEmpty() ? QStringLiteral("（空白名称）") : shops[i].title, box);
        links_.push_back(box);
    }

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
