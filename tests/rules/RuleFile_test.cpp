#include "RuleTestDirs.h"

#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "rules/RuleTitle.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

using namespace corvix;
using namespace corvix::testing_rules;

namespace {

// Whether a file was deleted; nothing on an error.
std::optional<bool> Deleted(const Result<bool> &result) { return result ? std::optional(*result) : std::nullopt; }

std::string G(const char *utf8) { return Gbk(utf8); }

TEST(RuleFile, ComposedTextHasTheEightTagsInOrder)
{
    Rule f;
    f.time = G("2018年05月06日 14时03分09秒");
    f.left = G("<em>￥");
    f.right = "</em>";
    f.method = RuleMethod::Markers;
    f.elementKind = "span";
    EXPECT_EQ(ComposeRuleText(f), "[time]" + f.time + "[/time]\r\n[left]" + G("<em>￥") +
                                      "[/left]\r\n[right]</em>[/right]\r\n[style]1[/style]\r\n[tb][/tb]\r\n"
                                      "[tbd]span[/tbd]\r\n[fixed]0[/fixed]\r\n[open]0[/open]");
    f.method = RuleMethod::None;
    EXPECT_NE(ComposeRuleText(f).find("\r\n[style]2[/style]\r\n"), std::string::npos);
    f.builtIn = f.enabled = true;
    EXPECT_NE(ComposeRuleText(f).find("\r\n[fixed]1[/fixed]\r\n[open]1[/open]"), std::string::npos);
}

struct ReplaceCase {
    const char *oldText;
    bool enabled, builtIn;
};

TEST(RuleFile, AReplacedRuleKeepsItsFlagsAndANewOneStartsClosed)
{
    const ReplaceCase cases[] = {
        {"", false, false},
        {"[fixed]0[/fixed]\r\n[open]1[/open]", true, false},
        {"[fixed]1[/fixed]\r\n[open]1[/open]", true, true},
        {"[fixed]1[/fixed]\r\n[open]0[/open]", false, true},
        {"[open] 1[/open]", false, false},
    };
    Rule edited{"t", "<b>", "</b>", RuleMethod::Markers, "", "span", true, true};
    for (const ReplaceCase &c : cases) {
        SCOPED_TRACE(c.oldText);
        const Rule saved = ReplacingRule(edited, c.oldText);
        EXPECT_EQ(saved.enabled, c.enabled);
        EXPECT_EQ(saved.builtIn, c.builtIn);
        EXPECT_EQ(saved.left, "<b>");
    }
}

TEST(RuleFile, WrittenUnderItsTitleAndReadBack)
{
    TempDataDirs d;
    Rule f{"t", G("<em>￥"), "</em>", RuleMethod::Markers, "", "span", false, false};
    const std::string title = G("店铺A");
    ASSERT_TRUE(WriteRuleText(d.dirs, title, ComposeRuleText(f)));
    EXPECT_TRUE(std::filesystem::exists(d.dirs.spiderDir / "店铺A.spider.cfg"));
    const std::string text = ReadRuleText(d.dirs, title, StopAt::ZeroOrTextEnd);
    EXPECT_EQ(text, ComposeRuleText(f));
    EXPECT_EQ(RuleField(text, "left"), G("<em>￥"));
    EXPECT_EQ(RuleField(text, "tbd"), "span");
    EXPECT_EQ(RuleField(text, "tb"), "");
    // Saving again replaces the file.
    f.left = "x";
    ASSERT_TRUE(WriteRuleText(d.dirs, title, ComposeRuleText(f)));
    EXPECT_EQ(RuleField(ReadRuleText(d.dirs, title, StopAt::ZeroByte), "left"), "x");
    EXPECT_EQ(ReadRuleText(d.dirs, "missing", StopAt::ZeroByte), "");
}

TEST(RuleFile, FieldsOfPartialAndOddFiles)
{
    EXPECT_EQ(RuleField("[left]a[/left]", "style"), "");
    EXPECT_EQ(RuleField("[left]a[/left]", "fixed"), "");
    EXPECT_EQ(RuleField("[left]a[/left]", "open"), "");
    EXPECT_EQ(RuleField("[left]a[/left]", "left"), "a");
    EXPECT_EQ(RuleField("[open]1[/open][open]0[/open]", "open"), "1");
    EXPECT_EQ(RuleField("[left]<b>[/left]x[/left]", "left"), "<b>");
    EXPECT_EQ(RuleField("[LEFT]a[/LEFT]", "left"), ""); // tags are case-sensitive
    EXPECT_EQ(RuleField("[left]a\r\nb [/left]", "left"), "a\r\nb ");
    // 乕 ends in "[": the tag after it is still found, not one byte early.
    EXPECT_EQ(RuleField(G("[left]乕[/left]"), "left"), G("乕"));
    // "€" (80) is one byte: the tag right after it is found.
    EXPECT_EQ(RuleField("[left]9\x80[/left]\r\n[right]\x80</b>[/right]", "left"), "9\x80");
    EXPECT_EQ(RuleField("[left]9\x80[/left]\r\n[right]\x80</b>[/right]", "right"), "\x80</b>");

    const Rule parsed = ParseRule("[style]2[/style]\r\n[tb]p[/tb]\r\n[tbd]span[/tbd]\r\n[fixed]1[/fixed]\r\n[open]1 [/open]");
    EXPECT_EQ(parsed.method, RuleMethod::Element);
    EXPECT_EQ(parsed.elementName, "p");
    EXPECT_EQ(ElementKindIndex(parsed.elementKind), 0);
    EXPECT_TRUE(parsed.builtIn);
    EXPECT_FALSE(parsed.enabled) << "only exactly 1 enables";
    EXPECT_EQ(ParseRule("[style]3[/style]").method, RuleMethod::None);
    EXPECT_EQ(ParseRule("[style]1[/style]").method, RuleMethod::Markers);
    EXPECT_EQ(ElementKindIndex("inputs"), 3);
    EXPECT_EQ(ElementKindIndex("Span"), -1);
}

TEST(RuleFile, ReadingStopsAtZeroAndTextEnd)
{
    TempDataDirs d;
    const auto path = d.dirs.spiderDir / "A.spider.cfg";
    WriteBytes(path, std::string("[open]1[/open]\0[left]x[/left]", 29));
    EXPECT_EQ(ReadRuleText(d.dirs, "A", StopAt::ZeroByte), "[open]1[/open]");
    WriteBytes(path, "[left]a[/left]\x1A[open]1[/open]");
    EXPECT_EQ(ReadRuleText(d.dirs, "A", StopAt::ZeroOrTextEnd), "[left]a[/left]");
    EXPECT_EQ(RuleField(ReadRuleText(d.dirs, "A", StopAt::ZeroByte), "open"), "1");
    // 0x1A as a second byte does not end the text; invalid GBK is kept as bytes.
    WriteBytes(path, "[left]\x81\x1A\xFF\xFF[/left]\x81");
    EXPECT_EQ(RuleField(ReadRuleText(d.dirs, "A", StopAt::ZeroOrTextEnd), "left"), "\x81\x1A\xFF\xFF");
    // Ten megabytes with the flag at the very end.
    std::string big(10 << 20, 'x');
    big += "[open]1[/open]";
    WriteBytes(path, big);
    EXPECT_EQ(RuleField(ReadRuleText(d.dirs, "A", StopAt::ZeroOrTextEnd), "open"), "1");
}

TEST(RuleFile, EnabledFlagChanges)
{
    EXPECT_EQ(ToggledRuleText("[left]a[/left]", true), "[left]a[/left]\r\n[open]1[/open]");
    EXPECT_EQ(ToggledRuleText("[left]a[/left]", false), "[left]a[/left]\r\n[open]1[/open]");
    EXPECT_EQ(ToggledRuleText("", false), "\r\n[open]1[/open]");
    EXPECT_EQ(ToggledRuleText("a\r\n[open]0[/open]", true), "a\r\n[open]1[/open]");
    EXPECT_EQ(ToggledRuleText("a\r\n[open]1[/open]", false), "a\r\n[open]0[/open]");
    EXPECT_EQ(ToggledRuleText("[open] 1[/open]", false), "[open]0[/open]");
    EXPECT_EQ(ToggledRuleText("[open]1[/open]x[open]1[/open]", false), "[open]0[/open]x[open]0[/open]");
    // Only the pairs with the first value change.
    EXPECT_EQ(ToggledRuleText("[open]1[/open]x[open]2[/open]", false), "[open]0[/open]x[open]2[/open]");
    // An "[open]" without its closing tag: nothing matches, nothing changes.
    EXPECT_EQ(ToggledRuleText("[open]1", true), "[open]1");
}

TEST(RuleFile, TitlesThatAreNoFileNameTouchNoFile)
{
    TempDataDirs d;
    const auto outside = d.dirs.root / "victim.spider.cfg";
    WriteBytes(outside, "[open]1[/open]");
    const size_t before = CountEntries(d.dirs.root.parent_path());
    for (const std::string title : {"../victim", "..", ".", "", "a/b", "a\\b", "CON", "x:y", "a\r\nb", "NUL"}) {
        EXPECT_FALSE(WriteRuleText(d.dirs, title, "[open]1[/open]")) << title;
        EXPECT_EQ(Deleted(DeleteRuleFile(d.dirs, title)), std::optional(false)) << title;
        EXPECT_EQ(ReadRuleText(d.dirs, title, StopAt::ZeroByte), "") << title;
    }
    EXPECT_EQ(CountEntries(d.dirs.root.parent_path()), before);
    EXPECT_EQ(ReadBytes(outside), "[open]1[/open]");
}

TEST(RuleFile, DeleteAndWriteOutcomes)
{
    TempDataDirs d;
    ASSERT_TRUE(WriteRuleText(d.dirs, "A", "x"));
    EXPECT_EQ(Deleted(DeleteRuleFile(d.dirs, "A")), std::optional(true));
    EXPECT_FALSE(std::filesystem::exists(RuleFilePath(d.dirs, "A")));
    EXPECT_EQ(Deleted(DeleteRuleFile(d.dirs, "A")), std::optional(false)) << "already missing";
    // A directory where the rule file should be: neither written nor deleted.
    std::filesystem::create_directory(RuleFilePath(d.dirs, "B"));
    const auto refused = WriteRuleText(d.dirs, "B", "x");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().path, RuleFilePath(d.dirs, "B"));
    EXPECT_FALSE(refused.error().reason.isEmpty());
    const Result<bool> kept = DeleteRuleFile(d.dirs, "B");
    ASSERT_FALSE(kept);
    EXPECT_EQ(kept.error().path, RuleFilePath(d.dirs, "B"));
    EXPECT_TRUE(std::filesystem::is_directory(RuleFilePath(d.dirs, "B")));
    // No rule directory at all.
    std::filesystem::remove_all(d.dirs.spiderDir);
    EXPECT_FALSE(WriteRuleText(d.dirs, "C", "x"));
}

TEST(RuleTitle, ValidAndInvalidTitles)
{
    for (const std::string &title : {std::string("ShopA"), G("京东商城"), G("乗"), G("億|"), std::string("a.b"),
                                    std::string(" lead"), G("乕价格]"), std::string("end."), std::string("end "), G("　"), std::string(" "), std::string("   "), std::string("CONSOLE"), std::string("COM0"),
                                    std::string(200, 'a')}) {
        if (title == G("億|"))
            EXPECT_FALSE(IsValidRuleTitle(title)) << "'|' is refused";
        else
            EXPECT_TRUE(IsValidRuleTitle(title)) << title;
    }
    for (const std::string &title :
         {std::string(""), std::string("."), std::string(".."), std::string("a/b"), std::string("a\\b"),
          std::string("../x"), std::string("a:b"), std::string("a?"), std::string("a*"), std::string("a\"b"),
          std::string("a<b"), std::string("a>b"), std::string("a\tb"), std::string("a\nb"), std::string("CON"), std::string("con"), std::string("Nul.txt"), std::string("COM1"),
          std::string("lpt9"), std::string("aux "), std::string("\x81"), std::string("a\x81\x20"),
          std::string(250, 'a'), std::string("\x7F")})
        EXPECT_FALSE(IsValidRuleTitle(title)) << "[" << title << "]";
    // 84 Chinese characters: 252 UTF-8 bytes plus ".spider.cfg" is too long for Linux.
    std::string longChinese;
    for (int i = 0; i < 84; ++i)
        longChinese += G("中");
    EXPECT_FALSE(IsValidRuleTitle(longChinese));
    EXPECT_TRUE(IsValidRuleTitle(longChinese.substr(0, 2 * 80)));
}

} // namespace

TEST(RuleFile, SwitchRuleWritesTheFlagOrSaysWhyNot)
{
    using Outcome = RuleSwitch::Outcome;
    const struct {
        const char *name;
        const char *text; // nullptr: no file
        bool enable;
        Outcome outcome;
        bool enabled;
        std::string after;
    } cases[] = {
        {"closed, enable", "a\r\n[open]0[/open]", true, Outcome::Written, true, "a\r\n[open]1[/open]"},
        {"enabled, close", "a\r\n[open]1[/open]", false, Outcome::Written, false, "a\r\n[open]0[/open]"},
        {"no flag enables", "a", false, Outcome::Written, true, "a\r\n[open]1[/open]"},
        {"unclosed flag", "a\r\n[open]0", true, Outcome::FlagUnclosed, false, "a\r\n[open]0"},
        {"no file", nullptr, true, Outcome::NoRuleFile, false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDataDirs d;
        if (c.text)
            WriteBytes(RuleFilePath(d.dirs, "A"), c.text);
        const RuleSwitch result = SwitchRule(d.dirs, "A", c.enable);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.enabled, c.enabled);
        EXPECT_EQ(std::filesystem::exists(RuleFilePath(d.dirs, "A")), c.text != nullptr) << "no file is made";
        if (c.text) {
            EXPECT_EQ(ReadBytes(RuleFilePath(d.dirs, "A")), c.after);
        }
    }
    TempDataDirs d;
    std::filesystem::create_directory(RuleFilePath(d.dirs, "Dir"));
    EXPECT_EQ(SwitchRule(d.dirs, "Dir", true).outcome, Outcome::NoRuleFile);
    EXPECT_EQ(SwitchRule(d.dirs, "../A", true).outcome, Outcome::NoRuleFile);
}

// A rule goes with its index lines, or neither goes; an index that cannot be
// read is never rewritten from nothing.
TEST(RuleFile, DeleteRuleTakesIndexAndFileTogether)
{
    enum class Place { File, None, Folder };
    const struct {
        const char *name;
        Place rule;
        Place index;
        bool deleted;
        bool readFailed;
    } cases[] = {
        {"rule and index line", Place::File, Place::File, true, false},
        {"file already missing", Place::None, Place::File, true, false},
        {"no index yet", Place::File, Place::None, true, false},
        {"a folder in the rule file's place", Place::Folder, Place::File, false, false},
        {"a folder in the index's place", Place::File, Place::Folder, false, true},
    };
    const std::string index = "A\r\nB\r\nC\r\nB";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDataDirs d;
        const auto rulePath = RuleFilePath(d.dirs, "B");
        const auto indexPath = RuleIndexPath(d.dirs);
        if (c.rule == Place::File)
            WriteBytes(rulePath, "[open]1[/open]");
        if (c.rule == Place::Folder)
            std::filesystem::create_directories(rulePath / "inside");
        if (c.index == Place::File)
            WriteBytes(indexPath, index);
        if (c.index == Place::Folder)
            std::filesystem::create_directory(indexPath);
        const Result<void> deleted = DeleteRule(d.dirs, "B");
        ASSERT_EQ(deleted.has_value(), c.deleted);
        if (c.deleted) {
            EXPECT_FALSE(std::filesystem::exists(rulePath));
            EXPECT_EQ(ReadBytes(indexPath), c.index == Place::File ? "A\r\nC" : "");
            continue;
        }
        EXPECT_EQ(deleted.error().read, c.readFailed);
        EXPECT_EQ(deleted.error().path, c.readFailed ? indexPath : rulePath);
        EXPECT_EQ(std::filesystem::exists(rulePath), c.rule != Place::None) << "the rule stays";
        if (c.index == Place::File) {
            EXPECT_EQ(ReadBytes(indexPath), index) << "the index gets its lines back";
        } else {
            EXPECT_TRUE(std::filesystem::is_directory(indexPath));
        }
    }
}

// An edit keeps the flags of the rule it replaces; one whose file cannot be
// read is not written from nothing.
TEST(RuleFile, StoreRuleKeepsTheOldFlagsOrStopsOnAnUnreadableFile)
{
    TempDataDirs d;
    Rule edited = test::MarkerRule("<b>", "</b>");
    edited.enabled = false;
    WriteBytes(RuleFilePath(d.dirs, "A"), "[open]1[/open]\r\n[fixed]1[/fixed]");
    const Result<Rule> stored = StoreRule(d.dirs, "A", edited);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->enabled && stored->builtIn);
    EXPECT_EQ(ReadBytes(RuleFilePath(d.dirs, "A")), ComposeRuleText(*stored));
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "\r\nA");

    std::filesystem::create_directory(RuleFilePath(d.dirs, "B"));
    const Result<Rule> refused = StoreRule(d.dirs, "B", edited);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().read);
    EXPECT_EQ(refused.error().path, RuleFilePath(d.dirs, "B"));
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "\r\nA") << "the index is left alone";
}
