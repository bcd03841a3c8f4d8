#pragma once
// The window "编辑商品": one product's title and one link box per shop column,
// each box labelled with the shop's title, and the buttons "确定" and "取消".
// 确定 only asks (storeRequested): the window stays open until its entries are
// stored, so that a refused link or a failed write loses nothing typed.
#include <QDialog>

#include <vector>

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
    };

    ProductWindow(const QString &productTitle, const std::vector<Shop> &shops, QWidget *parent = nullptr);

    QLineEdit *TitleBox() const { return title_; }
    // In the order of the shops given.
    const std::vector<QLineEdit *> &LinkBoxes() const { return links_; }
    QPushButton *OkButton() const { return ok_; }

signals:
    void storeRequested();

private:
    QLineEdit *title_;
    std::vector<QLineEdit *> links_;
    QPushButton *ok_;
};

} // namespace corvix
