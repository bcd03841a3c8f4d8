#include "products/NoticeChannels.h"

#include "support/FileIo.h"
#include "support/PathText.h"
#include "support/PrivateFile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

namespace corvix {
namespace {

struct KindInfo {
    ChannelKind kind;
    QString key;
    QString name;
    std::vector<ChannelField> fields;
};

ChannelField Base(const QString &initial)
{
    return {QStringLiteral("base"), QStringLiteral("服务器地址"), FieldType::Text, true, initial, {}};
}

ChannelField Secret(const QString &key, const QString &label, bool required)
{
    return {key, label, FieldType::Secret, required, {}, {}};
}

ChannelField Text(const QString &key, const QString &label, bool required)
{
    return {key, label, FieldType::Text, required, {}, {}};
}

const std::vector<KindInfo> &Kinds()
{
    static const std::vector<KindInfo> kinds = {
        {ChannelKind::WeCom, QStringLiteral("wecom"), QStringLiteral("企业微信群机器人"),
         {Secret(QStringLiteral("key"), QStringLiteral("Webhook key"), true),
          Base(QStringLiteral("https://qyapi.weixin.qq.com"))}},
        {ChannelKind::DingTalk, QStringLiteral("dingtalk"), QStringLiteral("钉钉群机器人"),
         {Secret(QStringLiteral("token"), QStringLiteral("access_token"), true),
          Secret(QStringLiteral("secret"), QStringLiteral("加签密钥（可选）"), false),
          Text(QStringLiteral("keyword"), QStringLiteral("自定义关键词（可选）"), false),
          Base(QStringLiteral("https://oapi.dingtalk.com"))}},
        {ChannelKind::Feishu, QStringLiteral("feishu"), QStringLiteral("飞书群机器人"),
         {Secret(QStringLiteral("token"), QStringLiteral("Webhook 令牌"), true),
          Secret(QStringLiteral("secret"), QStringLiteral("签名密钥（可选）"), false),
          Base(QStringLiteral("https://open.feishu.cn"))}},
        {ChannelKind::Bark, QStringLiteral("bark"), QStringLiteral("Bark"),
         {Secret(QStringLiteral("key"), QStringLiteral("设备 key"), true), Base(QStringLiteral("https://api.day.app"))}},
        {ChannelKind::PushPlus, QStringLiteral("pushplus"), QStringLiteral("PushPlus"),
         {Secret(QStringLiteral("token"), QStringLiteral("token"), true),
          Base(QStringLiteral("https://www.pushplus.plus"))}},
        {ChannelKind::ServerChan, QStringLiteral("serverchan"), QStringLiteral("Server酱"),
         {Secret(QStringLiteral("key"), QStringLiteral("SendKey"), true),
          Base(QStringLiteral("https://sctapi.ftqq.com"))}},
        {ChannelKind::Ntfy, QStringLiteral("ntfy"), QStringLiteral("ntfy"),
         // Anyone who knows a topic can read it: it is kept like a password.
         {Secret(QStringLiteral("topic"), QStringLiteral("主题"), true),
          Secret(QStringLiteral("token"), QStringLiteral("访问令牌（可选）"), false),
          Base(QStringLiteral("https://ntfy.sh"))}},
        {ChannelKind::Webhook, QStringLiteral("webhook"), QStringLiteral("通用 Webhook"),
         // An address often carries its own token.
         {Secret(QStringLiteral("url"), QStringLiteral("地址"), true)}},
        {ChannelKind::Email, QStringLiteral("email"), QStringLiteral("邮件"),
         {Text(QStringLiteral("host"), QStringLiteral("SMTP 服务器"), true),
          {QStringLiteral("port"), QStringLiteral("端口"), FieldType::Number, true, QStringLiteral("465"), {}},
          {QStringLiteral("security"), QStringLiteral("加密方式"), FieldType::Choice, true, kMailTls,
           {kMailTls, kMailStartTls, kMailPlain}},
          Text(QStringLiteral("user"), QStringLiteral("用户名"), false),
          Secret(QStringLiteral("password"), QStringLiteral("密码"), false),
          Text(QStringLiteral("from"), QStringLiteral("发件人"), true),
          Text(QStringLiteral("to"), QStringLiteral("收件人（多个用逗号分开）"), true)}},
    };
    return kinds;
}

const KindInfo &Info(ChannelKind kind)
{
    const auto &kinds = Kinds();
    return *std::find_if(kinds.begin(), kinds.end(), [kind](const KindInfo &info) { return info.kind == kind; });
}

bool IsSecret(ChannelKind kind, const QString &key)
{
    for (const ChannelField &field : FieldsOf(kind))
        if (field.key == key)
            return field.type == FieldType::Secret;
    // A key no field names is kept with the secrets: nothing unknown is shown.
    return true;
}

Result<QJsonObject> ReadJson(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return QJsonObject();
    const Result<std::string> bytes = ReadWholeFile(path);
    if (!bytes)
        return tl::unexpected(bytes.error());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(*bytes), &error);
    if (!document.isObject())
        return Failure(path, QStringLiteral("内容不是有效的设置（%1）").arg(error.errorString()));
    return document.object();
}

std::string JsonText(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace

const std::vector<ChannelKind> &AllChannelKinds()
{
    static const std::vector<ChannelKind> all = [] {
        std::vector<ChannelKind> kinds;
        for (const KindInfo &info : Kinds())
            kinds.push_back(info.kind);
        return kinds;
    }();
    return all;
}

QString KindName(ChannelKind kind) { return Info(kind).name; }

QString KindKey(ChannelKind kind) { return Info(kind).key; }

std::optional<ChannelKind> KindOfKey(const QString &key)
{
    for (const KindInfo &info : Kinds())
        if (info.key == key)
            return info.kind;
    return std::nullopt;
}

const std::vector<ChannelField> &FieldsOf(ChannelKind kind) { return Info(kind).fields; }

QString NoticeChannel::Value(const QString &key) const
{
    if (const auto found = values.constFind(key); found != values.constEnd() && !found->trimmed().isEmpty())
        return found->trimmed();
    for (const ChannelField &field : FieldsOf(kind))
        if (field.key == key)
            return field.initial;
    return {};
}

NoticeChannel NewChannel(ChannelKind kind, const std::vector<NoticeChannel> &others)
{
    NoticeChannel channel;
    channel.kind = kind;
    for (const ChannelField &field : FieldsOf(kind))
        if (!field.initial.isEmpty())
            channel.values.insert(field.key, field.initial);
    int number = 1;
    const auto taken = [&others](const QString &id) {
        return std::any_of(others.begin(), others.end(), [&id](const NoticeChannel &c) { return c.id == id; });
    };
    while (taken(QString::number(number)))
        ++number;
    channel.id = QString::number(number);
    return channel;
}

std::filesystem::path NoticeSettingsFolder()
{
    return PathOf(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

std::filesystem::path ChannelsFilePath(const std::filesystem::path &folder) { return folder / "notice-channels.json"; }

std::filesystem::path SecretsFilePath(const std::filesystem::path &folder) { return folder / "notice-secrets.json"; }

Result<std::vector<NoticeChannel>> LoadChannels(const std::filesystem::path &folder)
{
    const std::filesystem::path secretsPath = SecretsFilePath(folder);
    if (std::filesystem::exists(secretsPath) && !OwnerOnly(secretsPath))
        MakeOwnerOnly(secretsPath);
    const Result<QJsonObject> plain = ReadJson(ChannelsFilePath(folder));
    if (!plain)
        return tl::unexpected(plain.error());
    const Result<QJsonObject> secrets = ReadJson(secretsPath);
    if (!secrets)
        return tl::unexpected(secrets.error());
    std::vector<NoticeChannel> channels;
    for (const QJsonValue &value : (*plain)[QStringLiteral("channels")].toArray()) {
        const QJsonObject object = value.toObject();
        const std::optional<ChannelKind> kind = KindOfKey(object[QStringLiteral("kind")].toString());
        if (!kind)
            continue; // a kind of a later version
        NoticeChannel channel;
        channel.kind = *kind;
        channel.id = object[QStringLiteral("id")].toString();
        channel.name = object[QStringLiteral("name")].toString();
        channel.enabled = object[QStringLiteral("enabled")].toBool(true);
        const QJsonObject values = object[QStringLiteral("values")].toObject();
        for (auto it = values.begin(); it != values.end(); ++it)
            if (!IsSecret(*kind, it.key()))
                channel.values.insert(it.key(), it.value().toString());
        const QJsonObject hidden = (*secrets)[channel.id].toObject();
        for (auto it = hidden.begin(); it != hidden.end(); ++it)
            if (IsSecret(*kind, it.key()))
                channel.values.insert(it.key(), it.value().toString());
        channels.push_back(std::move(channel));
    }
    return channels;
}

Result<void> SaveChannels(const std::filesystem::path &folder, const std::vector<NoticeChannel> &channels)
{
    if (!QDir().mkpath(PathText(folder)))
        return Failure(ChannelsFilePath(folder), QStringLiteral("无法创建文件夹"));
    QJsonArray list;
    QJsonObject secrets;
    for (const NoticeChannel &channel : channels) {
        QJsonObject values, hidden;
        for (auto it = channel.values.constBegin(); it != channel.values.constEnd(); ++it)
            (IsSecret(channel.kind, it.key()) ? hidden : values)[it.key()] = it.value();
        list.append(QJsonObject{{QStringLiteral("id"), channel.id},
                                {QStringLiteral("kind"), KindKey(channel.kind)},
                                {QStringLiteral("name"), channel.name},
                                {QStringLiteral("enabled"), channel.enabled},
                                {QStringLiteral("values"), values}});
        if (!hidden.isEmpty())
            secrets[channel.id] = hidden;
    }
    if (Result<void> written = WriteOwnerOnlyFile(SecretsFilePath(folder), JsonText(secrets)); !written)
        return written;
    return WriteFileAtomically(ChannelsFilePath(folder), JsonText(QJsonObject{{QStringLiteral("channels"), list}}));
}

} // namespace corvix
