// Letter case and trimming as every layer relies on them: only A-Z change,
// and each trim keeps what its set does not name.

#include "platform/ascii_text.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

namespace rk::platform {
namespace {

TEST(AsciiText, OnlyAsciiLettersChangeCase) {
    // UTF-8 bytes and Latin-1 bytes stay as they are, whatever the locale.
    EXPECT_EQ(LowerAscii("ABC xyz \xc3\x84\xC4 [Z]\\"), "abc xyz \xc3\x84\xC4 [z]\\");
    EXPECT_TRUE(SameIgnoringAsciiCase("Caf\xc3\xa9.TXT", "cAF\xc3\xa9.txt"));
    EXPECT_FALSE(SameIgnoringAsciiCase("\xc3\x84", "\xc3\xa4")); // Ä and ä are two names
    EXPECT_FALSE(SameIgnoringAsciiCase("a", "ab"));
}

TEST(AsciiText, TrimKeepsWhatItsSetsDoNotName) {
    struct Case {
        std::string_view text, front, back, trimmed;
    } cases[] = {
        {"  key = value \t\r", kBlanks, kBlanksAndCr, "key = value"},
        {"\r value", kBlanks, kBlanksAndCr, "\r value"}, // a CR is trimmed at the end only
        {" \t ", kBlanks, kBlanks, ""},
        {"", kBlanks, kBlanks, ""},
        {"\tword\t", " ", " ", "\tword\t"},
        {"  two  words  ", " ", " ", "two  words"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrimFrom(c.text, c.front, c.back), c.trimmed) << '"' << c.text << '"';
}

TEST(Clock, ASetClockIsReadUntilTheSystemClockIsGivenBack) {
    SetClock([] { return std::time_t{1000}; });
    EXPECT_EQ(Now(), 1000);
    SetClock({});
    EXPECT_GT(Now(), 1700000000);
}

} // namespace
} // namespace rk::platform
