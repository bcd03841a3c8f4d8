#include "ui/products/NoticeChannelsDialog.h"

#include "products/NoticeDelivery.h"

#include <QCoreApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvix {
namespace {

const QString kNameKey = QStringLiteral("name");

QString Shown(const ChannelReport &report)
{
    if (report.sent)
        return QStringLiteral("发送成功：服务已收下测试消息。");
    QString text = QStringLiteral("发送失败：") + report.words;
    if (!report.detail.isEmpty())
        text += QStringLiteral("\n服务的答复：") + report.detail;
    return text;
}

} // namespace

ChannelForm::ChannelForm(const NoticeChannel &channel, QWidget *parent) : QWidget(parent), channel_(channel)
{
    auto *form = new QFormLayout(this);
    auto *name = new QLineEdit(channel.name);
    name->setObjectName(QStringLiteral("名称"));
    name->setPlaceholderText(KindName(channel.kind));
    connect(name, &QLineEdit::textChanged, this,
            [this, name] { emit nameChanged(name->text().trimmed().isEmpty() ? KindName(channel_.kind) : name->text().trimmed()); });
    form->addRow(QStringLiteral("名称："), name);
    editors_.emplace_back(kNameKey, name);
    for (const ChannelField &field : FieldsOf(channel.kind)) {
        QWidget *editor = nullptr;
        const QString value = channel.values.value(field.key, field.initial);
        if (field.type == FieldType::Choice) {
            auto *box = new QComboBox;
            box->addItems(field.choices);
            box->setCurrentIndex(std::max<qsizetype>(0, field.choices.indexOf(value)));
            editor = box;
        } else {
            auto *line = new QLineEdit(value);
            if (field.type == FieldType::Secret)
                line->setEchoMode(QLineEdit::Password);
            if (field.type == FieldType::Number)
                line->setValidator(new QIntValidator(1, 65535, line));
            if (!field.initial.isEmpty())
                line->setPlaceholderText(field.initial);
            line->setMinimumWidth(280);
            editor = line;
        }
        editor->setObjectName(field.label);
        editor->setAccessibleName(field.label);
        form->addRow(field.label + QStringLiteral("："), editor);
        editors_.emplace_back(field.key, editor);
    }
}

QWidget *ChannelForm::Editor(const QString &key) const
{
    for (const auto &[fieldKey, editor] : editors_)
        if (fieldKey == key)
            return editor;
    return nullptr;
}

NoticeChannel ChannelForm::Channel() const
{
    NoticeChannel channel = channel_;
    for (const auto &[key, editor] : editors_) {
        QString value;
        if (const auto *box = qobject_cast<const QComboBox *>(editor))
            value = box->currentText();
        else if (const auto *line = qobject_cast<const QLineEdit *>(editor))
            value = line->text().trimmed();
        if (key == kNameKey)
            channel.name = value;
        else if (value.isEmpty())
            channel.values.remove(key);
        else
            channel.values.insert(key, value);
    }
    return channel;
}

NoticeChannelsDialog::NoticeChannelsDialog(const std::vector<NoticeChannel> &channels, QWidget *parent)
    : QDialog(parent), list_(new QListWidget), forms_(new QStackedWidget), add_(new QToolButton),
      remove_(new QPushButton(QStringLiteral("删除"))), test_(new QPushButton(QStringLiteral("发送测试消息"))),
      answer_(new QLabel), cancel_(std::make_shared<std::atomic_bool>(false))
{
    setWindowTitle(QStringLiteral("提醒方式"));
    setObjectName(QStringLiteral("提醒方式"));
    list_->setObjectName(QStringLiteral("提醒方式列表"));
    list_->setAccessibleName(QStringLiteral("提醒方式"));
    list_->setMaximumWidth(220);
    add_->setText(QStringLiteral("添加"));
    add_->setObjectName(QStringLiteral("添加"));
    add_->setPopupMode(QToolButton::InstantPopup);
    auto *kinds = new QMenu(add_);
    for (const ChannelKind kind : AllChannelKinds())
        connect(kinds->addAction(KindName(kind)), &QAction::triggered, this, [this, kind] { AddChannel(kind); });
    add_->setMenu(kinds);
    remove_->setObjectName(QStringLiteral("删除"));
    test_->setObjectName(QStringLiteral("发送测试消息"));
    answer_->setObjectName(QStringLiteral("测试结果"));
    answer_->setWordWrap(true);
    answer_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *hint = new QLabel(QStringLiteral("抓取后有降价提醒时，除桌面通知外，还把提醒发送到下面勾选的方式（窗口中的抓取和定时抓取都发送）。"
                                           "密钥、令牌和密码只保存在本机你自己的设置文件夹中，只有你能读取。"));
    hint->setWordWrap(true);
    auto *left = new QVBoxLayout;
    left->addWidget(list_, 1);
    auto *listButtons = new QHBoxLayout;
    listButtons->addWidget(add_);
    listButtons->addWidget(remove_);
    left->addLayout(listButtons);
    auto *right = new QVBoxLayout;
    forms_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    right->addWidget(forms_);
    auto *testLine = new QHBoxLayout;
    testLine->addWidget(test_);
    testLine->addStretch(1);
    right->addLayout(testLine);
    right->addWidget(answer_);
    right->addStretch(1);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);

    for (const NoticeChannel &channel : channels)
        AddForm(channel);
    connect(list_, &QListWidget::currentRowChanged, this, &NoticeChannelsDialog::ShowCurrent);
    connect(remove_, &QPushButton::clicked, this, &NoticeChannelsDialog::RemoveCurrent);
    connect(test_, &QPushButton::clicked, this, &NoticeChannelsDialog::SendTest);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    list_->setCurrentRow(list_->count() > 0 ? 0 : -1);
    ShowCurrent();
}

NoticeChannelsDialog::~NoticeChannelsDialog()
{
    // A test still under way ends as soon as it can; its answer finds no dialog.
    cancel_->store(true);
}

ChannelForm *NoticeChannelsDialog::Form(int row) const
{
    return qobject_cast<ChannelForm *>(forms_->widget(row));
}

void NoticeChannelsDialog::AddForm(const NoticeChannel &channel)
{
    auto *item = new QListWidgetItem(channel.ShownName(), list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(channel.enabled ? Qt::Checked : Qt::Unchecked);
    auto *form = new ChannelForm(channel);
    connect(form, &ChannelForm::nameChanged, this, [item](const QString &shown) { item->setText(shown); });
    forms_->addWidget(form);
}

std::vector<NoticeChannel> NoticeChannelsDialog::Channels() const
{
    std::vector<NoticeChannel> channels;
    for (int row = 0; row < list_->count(); ++row) {
        NoticeChannel channel = Form(row)->Channel();
        channel.enabled = list_->item(row)->checkState() == Qt::Checked;
        channels.push_back(std::move(channel));
    }
    return channels;
}

void NoticeChannelsDialog::AddChannel(ChannelKind kind)
{
    AddForm(NewChannel(kind, Channels()));
    list_->setCurrentRow(list_->count() - 1);
}

void NoticeChannelsDialog::RemoveCurrent()
{
    const int row = list_->currentRow();
    if (row < 0)
        return;
    QWidget *form = forms_->widget(row);
    forms_->removeWidget(form);
    form->deleteLater();
    delete list_->takeItem(row);
    ShowCurrent();
}

void NoticeChannelsDialog::ShowCurrent()
{
    const int row = list_->currentRow();
    if (row >= 0)
        forms_->setCurrentIndex(row);
    // Only the form shown takes room: the test button follows its last line.
    for (int i = 0; i < forms_->count(); ++i)
        forms_->widget(i)->setSizePolicy(i == row ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                                         i == row ? QSizePolicy::Maximum : QSizePolicy::Ignored);
    forms_->adjustSize();
    forms_->setVisible(row >= 0);
    remove_->setEnabled(row >= 0);
    test_->setEnabled(row >= 0);
    answer_->clear();
}

void NoticeChannelsDialog::SendTest()
{
    const int row = list_->currentRow();
    if (row < 0)
        return;
    const NoticeChannel channel = Form(row)->Channel();
    test_->setEnabled(false);
    answer_->setText(QStringLiteral("正在发送……"));
    DeliveryOptions options;
    options.tries = 1; // the answer is what the user waits for
    options.cancel = cancel_.get();
    QPointer<NoticeChannelsDialog> self(this);
    QPointer<ChannelForm> form(Form(row));
    QThreadPool::globalInstance()->start([self, form, channel, options, cancel = cancel_] {
        const ChannelReport report =
            Deliver(channel, TestNoticeMessage(channel.ShownName(), QDateTime::currentDateTime()), options);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, form, report, cancel] {
            // The answer belongs to the channel it was sent for, if still shown.
            if (!self || cancel->load() || !form || self->Form(self->list_->currentRow()) != form)
                return;
            self->answer_->setText(Shown(report));
            self->test_->setEnabled(self->list_->currentRow() >= 0);
            emit self->testAnswered();
        });
    });
}

} // namespace corvix
