#pragma once
// "提醒方式": the channels a run's price notices go to besides the desktop,
// each enabled or not, with the settings its service needs (keys, tokens and
// passwords masked), and "发送测试消息", which sends a short notice over the
// channel as it stands in the dialog and shows the service's answer in words.
// The test runs off the window thread; closing the dialog cancels it.
#include "products/NoticeChannels.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace corvix {

class ChannelForm;

class NoticeChannelsDialog : public QDialog {
    Q_OBJECT
public:
    explicit NoticeChannelsDialog(const std::vector<NoticeChannel> &channels, QWidget *parent = nullptr);
    ~NoticeChannelsDialog() override;

    // The channels as the dialog shows them now, in its order.
    std::vector<NoticeChannel> Channels() const;

    // Adds a channel of kind and shows it.
    void AddChannel(ChannelKind kind);
    // Removes the channel shown (no question: nothing is stored before 确定).
    void RemoveCurrent();
    // Sends the test message over the channel shown.
    void SendTest();

    QListWidget *List() const { return list_; }
    ChannelForm *Form(int row) const;
    QPushButton *TestButton() const { return test_; }
    QLabel *TestAnswer() const { return answer_; }

signals:
    // The answer of a test send is shown.
    void testAnswered();

private:
    void ShowCurrent();
    void AddForm(const NoticeChannel &channel);

    QListWidget *list_;
    QStackedWidget *forms_;
    QToolButton *add_;
    QPushButton *remove_;
    QPushButton *test_;
    QLabel *answer_;
    std::shared_ptr<std::atomic_bool> cancel_;
};

// The settings of one channel: its name, then one editor per field of its kind.
class ChannelForm : public QWidget {
    Q_OBJECT
public:
    explicit ChannelForm(const NoticeChannel &channel, QWidget *parent = nullptr);
    NoticeChannel Channel() const;
    // The editor of a field by its key ("token"), or the name ("name").
    QWidget *Editor(const QString &key) const;

signals:
    void nameChanged(const QString &shown);

private:
    NoticeChannel channel_; // kind and id; values as they were given
    std::vector<std::pair<QString, QWidget *>> editors_;
};

} // namespace corvix
