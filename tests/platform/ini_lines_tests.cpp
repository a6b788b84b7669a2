// One reading of sectioned text files for the settings files and the
// registry store: sections and keys found the same way, and the two rule
// sets differing exactly where those files always have.

#include "platform/ini_lines.h"

#include <gtest/gtest.h>

namespace rk::platform {
namespace {

TEST(IniLines, SectionsAndKeysFoundAlikeUnderBothRules) {
    const std::string content = "top=no section\r\n"
                                "[Other]\r\n"
                                "key=other\r\n"
                                "  [SETTINGS]  \n"
                                "  Key \t=  spaced value \r"
                                "key=second of the name\r\n"
                                "[settings]\r\n"
                                "late=in a later section of the name\r\n"
                                "empty=";
    for (const IniRules* rules : {&kSettingsRules, &kRegistryRules}) {
        EXPECT_EQ(FindIniEntry(content, "settings", "KEY", *rules), "  spaced value ");
        EXPECT_EQ(FindIniEntry(content, "Settings", " late ", *rules),
                  "in a later section of the name");
        EXPECT_EQ(FindIniEntry(content, "settings", "empty", *rules), "");
        EXPECT_EQ(FindIniEntry(content, "other", "key", *rules), "other");
        EXPECT_EQ(FindIniEntry(content, "settings", "top", *rules), std::nullopt);
        EXPECT_EQ(FindIniEntry(content, "missing", "key", *rules), std::nullopt);
    }
}

TEST(IniLines, RulesDifferOnlyWhereTheFilesDo) {
    // A tab before a header: the registry store trims it, the settings
    // files keep the line as an ordinary one.
    EXPECT_TRUE(IsIniHeaderOf("\t[a]", "a", kRegistryRules));
    EXPECT_FALSE(IsIniHeader("\t[a]", kSettingsRules));
    // An unclosed bracket starts a section only in the settings files.
    EXPECT_TRUE(IsIniHeader("[open", kSettingsRules));
    EXPECT_FALSE(IsIniHeaderOf("[open", "open", kSettingsRules));
    EXPECT_FALSE(IsIniHeader("[open", kRegistryRules));
    // Comments exist in the registry store only.
    EXPECT_EQ(IniEntryKey(" ;key=1", kRegistryRules), std::nullopt);
    EXPECT_EQ(IniEntryKey("#key=1", kRegistryRules), std::nullopt);
    EXPECT_EQ(IniEntryKey(" ;key=1", kSettingsRules), ";key");
    EXPECT_EQ(IniEntryKey("no equals sign", kSettingsRules), std::nullopt);
    EXPECT_EQ(IniEntryText("a=b=c"), "b=c");

    const std::string content = "[s]\n;k=commented\n[open\nk=after open\n";
    EXPECT_EQ(FindIniEntry(content, "s", "k", kRegistryRules), "after open");
    EXPECT_EQ(FindIniEntry(content, "s", "k", kSettingsRules), std::nullopt);
    EXPECT_EQ(FindIniEntry(content, "s", ";k", kSettingsRules), "commented");
}

} // namespace
} // namespace rk::platform
