#pragma once
// The window "编辑商品": one product's title and one link box per shop column,
// each box labelled with the shop's title with a box beside it for what the
// link sells ("规格"), the unit its prices are compared in ("单价单位"), and
// the buttons "确定" and "取消".
// 确定 only asks (storeRequested): the window stays open until its entries are
// stored, so that a refused link or a failed write loses nothing typed.
#include <QDialog>

#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace corvix {

class ProductWindow : public QDialog {
    Q_OBJECT
public:
    struct Shop {
        QString title;
        QString link;
        bool storable = true; // false: no link can be kept under this title
        QString size;         // what the link sells, as typed
    };

    // unitIndex: the entry of UnitBox to show, 0 for "自动" (the unit that fits the sizes).
    ProductWindow(const QString &productTitle, const std::vector<Shop> &shops, QWidget *parent = nullptr,
                  int unitIndex = 0);

    QLineEdit *TitleBox() const { return title_; }
    // In the order of the shops given.
    const std::vector<QLineEdit *> &LinkBoxes() const { return links_; }
    const std::vector<QLineEdit *> &SizeBoxes() const { return sizes_; }
    // "自动", then one entry per PriceUnit in its order.
    QComboBox *UnitBox() const { return unit_; }
    QPushButton *OkButton() const { return ok_; }

signals:
    void storeRequested();

private:
    QLineEdit *title_;
    std::vector<QLineEdit *> links_;
    std::vector<QLineEdit *> sizes_;
    QComboBox *unit_;
    QPushButton *ok_;
};

} // namespace corvix
