#pragma once
// The channels a run's price notices are sent to besides the desktop
// ("提醒方式…"): group bots, push services, a webhook of the user's own and mail.
// Kept in the user's settings folder (not in the data root): the plain
// settings in "notice-channels.json", every key, token, secret and password
// in "notice-secrets.json", which only the user may read. The window and the
// run without a window read the same files. UTF-8 JSON, written whole.
#include "support/Result.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <vector>

namespace corvix {

enum class ChannelKind { WeCom, DingTalk, Feishu, Bark, PushPlus, ServerChan, Ntfy, Webhook, Email };

enum class FieldType { Text, Secret, Number, Choice };

// One setting of a kind of channel, as the dialog shows it.
struct ChannelField {
    QString key;     // stored name ("token")
    QString label;   // caption ("access_token")
    FieldType type = FieldType::Text;
    bool required = false;
    QString initial;     // the value of a new channel (a service's own address)
    QStringList choices; // FieldType::Choice
};

// Every kind, in the order the dialog offers them.
const std::vector<ChannelKind> &AllChannelKinds();
QString KindName(ChannelKind kind);                 // "钉钉群机器人"
QString KindKey(ChannelKind kind);                  // "dingtalk", as stored
std::optional<ChannelKind> KindOfKey(const QString &key);
const std::vector<ChannelField> &FieldsOf(ChannelKind kind);

// The mail's security choices of the field "security".
inline const QString kMailTls = QStringLiteral("SSL/TLS");
inline const QString kMailStartTls = QStringLiteral("STARTTLS");
inline const QString kMailPlain = QStringLiteral("不加密（仅限本机）");

struct NoticeChannel {
    QString id; // ties the secrets to the channel; unique among the channels
    ChannelKind kind = ChannelKind::Webhook;
    QString name; // shown in reports; empty: the kind's name
    bool enabled = true;
    QMap<QString, QString> values; // by field key, secrets among them

    // The value, trimmed; the field's initial value when none is set.
    QString Value(const QString &key) const;
    QString ShownName() const { return name.isEmpty() ? KindName(kind) : name; }
};

// A new channel of kind with the fields' initial values and an id none of
// others has.
NoticeChannel NewChannel(ChannelKind kind, const std::vector<NoticeChannel> &others);

// The user's settings folder of the program (the same for the window and the
// run without one).
std::filesystem::path NoticeSettingsFolder();
std::filesystem::path ChannelsFilePath(const std::filesystem::path &folder); // "notice-channels.json"
std::filesystem::path SecretsFilePath(const std::filesystem::path &folder);  // "notice-secrets.json"

// The channels of folder; none when neither file exists. A file that cannot
// be read or parsed is an error (and is never overwritten by a load). A
// secrets file that others could read is made the user's alone.
Result<std::vector<NoticeChannel>> LoadChannels(const std::filesystem::path &folder);
// Writes both files (the folder is made when missing): the secrets file only
// ever readable by the user. On failure the error names the file not written.
Result<void> SaveChannels(const std::filesystem::path &folder, const std::vector<NoticeChannel> &channels);

} // namespace corvix
