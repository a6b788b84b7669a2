// Listed names: every stored name has one listed form, and back.

#include "core/listed_names.h"

#include <gtest/gtest.h>
#include <set>

namespace rk {
namespace {

TEST(ListedNames, PlainNamesAsTheyAreEscapedOnesMarked) {
    EXPECT_EQ(ListedName("Data/a b/f.txt"), "Data\\a b\\f.txt");
    EXPECT_EQ(ListedName("Caf\xc3\xa9/x,y.txt"), "Caf\xc3\xa9\\x,y.txt");
    EXPECT_EQ(ListedName("50%/q?*.txt"), "50%\\q?*.txt");
    EXPECT_EQ(ListedName("coll\\x.txt"), "\\coll%5Cx.txt");
    EXPECT_EQ(ListedName("caf\xe9.txt"), "\\caf%E9.txt");
    EXPECT_EQ(ListedName("d/Icon\r"), "\\d\\Icon%0D");
    EXPECT_EQ(ListedName("a\"b,c"), "\\a%22b,c");
    EXPECT_EQ(ListedName("50%/tab\there"), "\\50%25\\tab%09here");
    // An overlong form and a lone surrogate are not UTF-8.
    EXPECT_EQ(ListedName("\xc0\xaf"), "\\%C0%AF");
    EXPECT_EQ(ListedName("\xed\xa0\x80"), "\\%ED%A0%80");
    EXPECT_EQ(ListedName("/etc/x"), "\\\\etc\\x");
}

TEST(ListedNames, EveryFormComesBackAndNoTwoMeet) {
    const std::string names[] = {
        "Data/a b/f.txt", "coll\\x.txt", "coll/x.txt", "caf\xe9.txt", "caf%E9.txt", "\\caf%E9.txt",
        "Icon\r",         "a\nb",        " lead",      "trail ",      "q\"u,o",     "50%",
        "x:y.txt",        "e\xcc\x81",   "\xc3\xa9",   "a//b",        "/abs"};
    std::set<std::string> forms;
    for (const std::string& name : names) {
        const std::string listed = ListedName(name);
        EXPECT_EQ(StoredNameOf(listed), name) << listed;
        EXPECT_TRUE(forms.insert(listed).second) << listed;
        EXPECT_EQ(listed.find_first_of("\r\n\""), std::string::npos) << listed;
    }
    EXPECT_FALSE(StoredNameOf("\\bad%4"));
    EXPECT_FALSE(StoredNameOf("\\bad%G1"));
    EXPECT_EQ(StoredNameOf("plain\\50%"), "plain/50%");
}

} // namespace
} // namespace rk
