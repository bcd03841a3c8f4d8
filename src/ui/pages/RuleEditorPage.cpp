#include "ui/pages/RuleEditorPage.h"

#include "ui/pages/PageControls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace corvix {

RuleEditorPage::RuleEditorPage(QWidget *parent) : QWidget(parent)
{
    QLayout *titleRow = BuildTitleRow();
    QWidget *methods = BuildMethodGroup();
    extractionPages_ = Named(new QTabWidget, QStringLiteral("选择夹2"));
    // The pages hold what each method needs; the method itself is the radio button's.
    extractionPages_->addTab(BuildMarkerPage(), QStringLiteral("方式一：标记"));
    extractionPages_->addTab(BuildElementPage(), QStringLiteral("方式二：元素"));
    extractionPages_->setCurrentIndex(0);
    QWidget *testGroup = BuildTestGroup();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(titleRow);
    layout->addWidget(methods);
    layout->addWidget(extractionPages_, 1);
    layout->addWidget(testGroup);
    SetTabOrder();

    // A click shows the method's page even when the button is checked already
    // (arrow keys in the group click the next button too); a loaded rule shows
    // its page itself.
    connect(markerMethod_, &QRadioButton::clicked, this, [this] { ShowExtractionPage(0); });
    connect(elementMethod_, &QRadioButton::clicked, this, [this] { ShowExtractionPage(1); });
    connect(save_, &QPushButton::clicked, this, &RuleEditorPage::saveRuleRequested);
    connect(pick_, &QPushButton::clicked, this, &RuleEditorPage::pickMarkersRequested);
    connect(pickPrice_, &QPushButton::clicked, this, &RuleEditorPage::pickPriceRequested);
    connect(test_, &QPushButton::clicked, this, &RuleEditorPage::testRuleRequested);
}

QLayout *RuleEditorPage::BuildTitleRow()
{
    auto *titleLabel = Label(QStringLiteral("标签1"), QStringLiteral("采集名称："));
    title_ = Named(new QLineEdit, QStringLiteral("编辑框1"));
    Pair(titleLabel, title_);
    save_ = Button(QStringLiteral("按钮2"), QStringLiteral("添加"), 80);
    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(8, 8, 8, 0);
    titleRow->addWidget(titleLabel);
    titleRow->addWidget(title_, 1);
    titleRow->addSpacing(32);
    titleRow->addWidget(save_);
    titleRow->addStretch();
    return titleRow;
}

QWidget *RuleEditorPage::BuildMethodGroup()
{
    auto *methods = Named(new QGroupBox, QStringLiteral("分组框1"));
    markerMethod_ = Named(new QRadioButton(QStringLiteral("[方式一]标记取出方式")), QStringLiteral("单选框1"));
    elementMethod_ = Named(new QRadioButton(QStringLiteral("[方式二]元素取出方式")), QStringLiteral("单选框2"));
    markerMethod_->setChecked(true);
    auto *methodRow = new QHBoxLayout(methods);
    methodRow->setContentsMargins(32, 4, 8, 4);
    methodRow->addWidget(markerMethod_);
    methodRow->addSpacing(20);
    methodRow->addWidget(elementMethod_);
    methodRow->addStretch();
    return methods;
}

QWidget *RuleEditorPage::BuildMarkerPage()
{
    auto *markerPage = new QWidget;
    auto *leftLabel = Label(QStringLiteral("标签2"), QStringLiteral("标记左"));
    left_ = Named(new QPlainTextEdit, QStringLiteral("编辑框2"));
    auto *rightLabel = Label(QStringLiteral("标签3"), QStringLiteral("标记右"));
    right_ = Named(new QPlainTextEdit, QStringLiteral("编辑框3"));
    for (auto *box : {left_, right_}) {
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setTabChangesFocus(true);
        box->setMinimumHeight(60);
    }
    Pair(leftLabel, left_);
    Pair(rightLabel, right_);
    auto *markerGrid = new QGridLayout(markerPage);
    markerGrid->setContentsMargins(6, 6, 6, 6);
    markerGrid->addWidget(leftLabel, 0, 0);
    markerGrid->addWidget(rightLabel, 0, 1);
    markerGrid->addWidget(left_, 1, 0);
    markerGrid->addWidget(right_, 1, 1);
    return markerPage;
}

QWidget *RuleEditorPage::BuildElementPage()
{
    auto *elementPage = new QWidget;
    auto *nameLabel = Label(QStringLiteral("标签6"), QStringLiteral("元素名称："));
    elementName_ = Named(new QLineEdit, QStringLiteral("编辑框7"));
    auto *hint = Label(QStringLiteral("标签8"), QStringLiteral("支持：标题/索引/ID/Class等方式。"));
    auto *kindLabel = Label(QStringLiteral("标签7"), QStringLiteral("元素类型："));
    elementKind_ = Named(new QComboBox, QStringLiteral("组合框2"));
    for (const std::string_view name : kElementKinds)
        elementKind_->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    elementKind_->setMinimumWidth(100);
    Pair(nameLabel, elementName_);
    Pair(kindLabel, elementKind_);
    auto *elementGrid = new QGridLayout(elementPage);
    elementGrid->setContentsMargins(48, 18, 8, 8);
    elementGrid->addWidget(nameLabel, 0, 0);
    elementGrid->addWidget(elementName_, 0, 1);
    elementGrid->addWidget(hint, 0, 2);
    elementGrid->addWidget(kindLabel, 1, 0);
    elementGrid->addWidget(elementKind_, 1, 1, Qt::AlignLeft);
    elementGrid->setColumnStretch(1, 1);
    elementGrid->setRowStretch(2, 1);
    return elementPage;
}

QWidget *RuleEditorPage::BuildTestGroup()
{
    auto *testGroup = Named(new QGroupBox(QStringLiteral("采集测试")), QStringLiteral("分组框4"));
    auto *linkLabel = Label(QStringLiteral("标签5"), QStringLiteral("链接地址："));
    link_ = Named(new QLineEdit, QStringLiteral("编辑框6"));
    Pair(linkLabel, link_);
    pick_ = Button(QStringLiteral("按钮1"), QStringLiteral("选取标记/元素"), 88);
    pickPrice_ = Button(QStringLiteral("按钮选取价格"), QStringLiteral("在页面上选取价格"), 120);
    test_ = Button(QStringLiteral("按钮4"), QStringLiteral("测试规则"), 104);
    auto *testRow = new QHBoxLayout(testGroup);
    testRow->setContentsMargins(16, 8, 16, 8);
    testRow->addWidget(linkLabel);
    testRow->addWidget(link_, 1);
    testRow->addWidget(pick_);
    testRow->addWidget(pickPrice_);
    testRow->addWidget(test_);
    return testGroup;
}

void RuleEditorPage::SetTabOrder()
{
    setTabOrder(title_, save_);
    setTabOrder(save_, markerMethod_);
    setTabOrder(markerMethod_, elementMethod_);
    setTabOrder(elementMethod_, extractionPages_);
    setTabOrder(extractionPages_, left_);
    setTabOrder(left_, right_);
    setTabOrder(right_, elementName_);
    setTabOrder(elementName_, elementKind_);
    setTabOrder(elementKind_, link_);
    setTabOrder(link_, pick_);
    setTabOrder(pick_, pickPrice_);
    setTabOrder(pickPrice_, test_);
}

RuleEditorInputs RuleEditorPage::Inputs() const
{
    RuleEditorInputs inputs;
    inputs.title = title_->text();
    if (markerMethod_->isChecked())
        inputs.method = RuleMethod::Markers;
    else if (elementMethod_->isChecked())
        inputs.method = RuleMethod::Element;
    inputs.left = left_->toPlainText();
    inputs.right = right_->toPlainText();
    inputs.elementName = elementName_->text();
    inputs.elementKind = elementKind_->currentText();
    inputs.link = link_->text();
    return inputs;
}

void RuleEditorPage::ShowExtractionPage(int page)
{
    extractionPages_->setCurrentIndex(page);
}

void RuleEditorPage::SelectMethod(RuleMethod method)
{
    if (method == RuleMethod::Markers) {
        markerMethod_->setChecked(true);
        ShowExtractionPage(0);
    } else if (method == RuleMethod::Element) {
        ShowExtractionPage(1);
        elementMethod_->setChecked(true);
    }
}

void RuleEditorPage::SetTitle(const QString &title)
{
    title_->setText(title);
}

void RuleEditorPage::SetMarkers(const QString &left, const QString &right)
{
    left_->setPlainText(left);
    right_->setPlainText(right);
}

void RuleEditorPage::SetElement(const QString &name, int kindIndex)
{
    elementName_->setText(name);
    if (kindIndex >= 0)
        elementKind_->setCurrentIndex(kindIndex);
}

} // namespace corvix
