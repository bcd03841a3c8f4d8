// The notice channels' settings: secrets in a file only the user can read,
// from its creation on, mended when its mode was changed; the plain settings
// without a single secret.
#include "common/CoreTestSupport.h"
#include "products/NoticeChannels.h"
#include "support/PrivateFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using namespace corvix;

namespace {

unsigned Mode(const std::filesystem::path &path)
{
    return static_cast<unsigned>(std::filesystem::status(path).permissions() & std::filesystem::perms::mask);
}

void SetMode(const std::filesystem::path &path, unsigned mode)
{
    std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode));
}

std::filesystem::path Folder(const QTemporaryDir &dir) { return std::filesystem::path(dir.path().toStdString()) / "Corvix"; }

} // namespace

TEST(NoticeChannels, SecretsAreTheUsersAloneAndNeverInThePlainSettings)
{
    QTemporaryDir dir;
    const std::filesystem::path folder = Folder(dir);
    std::vector<NoticeChannel> channels;
    channels.push_back(NewChannel(ChannelKind::DingTalk, channels));
    channels.back().values[QStringLiteral("token")] = QStringLiteral("tok-123");
    channels.back().values[QStringLiteral("secret")] = QStringLiteral("SEC-456");
    channels.back().values[QStringLiteral("keyword")] = QStringLiteral("价格");
    channels.push_back(NewChannel(ChannelKind::Email, channels));
    channels.back().values[QStringLiteral("password")] = QStringLiteral("pw-789");
    channels.back().values[QStringLiteral("host")] = QStringLiteral("smtp.example.com");
    channels.back().enabled = false;
    ASSERT_NE(channels[0].id, channels[1].id);

    // Never readable by others, whatever the umask: with 0 a plain new file is 0666.
#if !defined(_WIN32)
    const mode_t umaskBefore = ::umask(0);
#endif
    const Result<void> saved = SaveChannels(folder, channels);
#if !defined(_WIN32)
    ::umask(umaskBefore);
#endif
    ASSERT_TRUE(saved) << saved.error().reason.toStdString();
    EXPECT_EQ(Mode(SecretsFilePath(folder)), 0600u);
    const std::string plain = test::ReadBytes(ChannelsFilePath(folder));
    for (const char *secret : {"tok-123", "SEC-456", "pw-789"}) {
        EXPECT_EQ(plain.find(secret), std::string::npos) << secret;
        EXPECT_NE(test::ReadBytes(SecretsFilePath(folder)).find(secret), std::string::npos) << secret;
    }
    EXPECT_NE(plain.find("smtp.example.com"), std::string::npos);

    const Result<std::vector<NoticeChannel>> read = LoadChannels(folder);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[0].kind, ChannelKind::DingTalk);
    EXPECT_EQ((*read)[0].Value(QStringLiteral("secret")), QStringLiteral("SEC-456"));
    EXPECT_EQ((*read)[0].Value(QStringLiteral("keyword")), QStringLiteral("价格"));
    EXPECT_EQ((*read)[0].Value(QStringLiteral("base")), QStringLiteral("https://oapi.dingtalk.com"));
    EXPECT_FALSE((*read)[1].enabled);
    EXPECT_EQ((*read)[1].Value(QStringLiteral("password")), QStringLiteral("pw-789"));

    // Opened up by hand: mended at the next load and at each save.
    SetMode(SecretsFilePath(folder), 0644);
    ASSERT_TRUE(LoadChannels(folder));
    EXPECT_EQ(Mode(SecretsFilePath(folder)), 0600u);
    SetMode(SecretsFilePath(folder), 0644);
    ASSERT_TRUE(SaveChannels(folder, *read));
    EXPECT_EQ(Mode(SecretsFilePath(folder)), 0600u);
}

TEST(NoticeChannels, AFileThatCannotBeReadIsAnErrorAndStaysAsItIs)
{
    QTemporaryDir dir;
    const std::filesystem::path folder = Folder(dir);
    EXPECT_TRUE(LoadChannels(folder)->empty()); // nothing set yet
    std::filesystem::create_directories(folder);
    test::WriteBytes(ChannelsFilePath(folder), "{ not json");
    EXPECT_FALSE(LoadChannels(folder));
    EXPECT_EQ(test::ReadBytes(ChannelsFilePath(folder)), "{ not json");
}

TEST(PrivateFile, ReplacesAFileOthersCouldReadWithOneOnlyItsOwnerCan)
{
    QTemporaryDir dir;
    const auto path = std::filesystem::path(dir.path().toStdString()) / "s.json";
    test::WriteBytes(path, "old");
    SetMode(path, 0666);
    EXPECT_FALSE(OwnerOnly(path));
    ASSERT_TRUE(WriteOwnerOnlyFile(path, "new"));
    EXPECT_EQ(test::ReadBytes(path), "new");
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_TRUE(OwnerOnly(path));
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);
}
