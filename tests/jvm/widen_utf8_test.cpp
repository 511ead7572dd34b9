// The start parameters' conversion. The same table runs on Linux, against orvo's own
// conversion, and under Wine, against MultiByteToWideChar: both must agree, invalid input
// included.
#include <gtest/gtest.h>

#include <string>

#include "javahost/java_exception.h"
#include "javahost/widen_utf8.h"
#include "platform/utf16.h"

namespace {

struct conversion {
    std::string utf8;
    std::u16string utf16;
};

std::u16string widened(const std::string& text) {
    std::u16string wide = u"left over";
    widen_utf8(text, wide);
    return wide;
}

TEST(WidenUtf8, ValidTextKeepsEveryCharacter) {
    const conversion cases[] = {
        {"", u""},
        {"plain ASCII", u"plain ASCII"},
        {"\xC3\xA9", u"\u00E9"},             // two bytes
        {"\xE2\x82\xAC", u"\u20AC"},         // three bytes
        {"\xF0\x9F\x98\x80", u"\U0001F600"}, // four bytes: a surrogate pair
        {"\xE0\xA0\x80", u"\u0800"},         // smallest three-byte
        {"\xF0\x90\x80\x80", u"\U00010000"}, // smallest four-byte
        {"\xED\x9F\xBF", u"\uD7FF"},         // just below the surrogates
        {"\xEF\xBF\xBF", u"\uFFFF"},         // a non-character passes
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"}, // the last code point
    };
    for (const conversion& c : cases) {
        EXPECT_EQ(widened(c.utf8), c.utf16) << c.utf8;
    }
}

TEST(WidenUtf8, InvalidSequencesAreReplacedAsWindowsCutsThem) {
    const conversion cases[] = {
        {"\x80\x80", u"\uFFFD\uFFFD"}, // lone continuation bytes
        {"\xC0\x80", u"\uFFFD\uFFFD"}, // C0 and C1 start nothing
        {"\xC1\xBF", u"\uFFFD\uFFFD"},
        {"\xF5", u"\uFFFD"}, // nor do F5 to FF
        {"\xFE\xFF", u"\uFFFD\uFFFD"},
        {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE0\x80\x80", u"\uFFFD\uFFFD"}, // overlong: lead and one byte
        {"\xF0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD"}, // a surrogate
        {"\xED\xBF\xBF", u"\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {"\xE2\x82"
         "A",
         u"\uFFFD"
         "A"}, // cut short by another byte
        {"\xF0\x9F\x98"
         "A",
         u"\uFFFD"
         "A"},
        {"\xC2", u"\uFFFD"}, // cut short by the end
        {"\xE2\x82", u"\uFFFD"},
        {"a\xE0\xA0", u"a\uFFFD"},
        {"\xF0\x9F\x98", u"\uFFFD"},
    };
    for (const conversion& c : cases) {
        EXPECT_EQ(widened(c.utf8), c.utf16) << testing::PrintToString(c.utf8);
    }
}

// A start byte that promises more bytes than remain takes the rest, the terminating NUL
// included: the converted text then has no NUL, and nothing may be read past it.
TEST(WidenUtf8, SequenceRunningPastTheEndSwallowsTheTerminator) {
    EXPECT_EQ(widened("\xF0\x9F"), u"\uFFFD");
    EXPECT_EQ(widened("x\xF0"), u"x\uFFFD");
    EXPECT_EQ(widened("\xE2"), u"\uFFFD");
    EXPECT_EQ(widened("\xF0"
                      "A"),
              u"\uFFFD"); // the A goes with it, as on Windows
}

TEST(WidenUtf8, TextEndsAtItsFirstNul) {
    EXPECT_EQ(widened(std::string("a\0b", 3)), u"a");
}

// Java's names back to UTF-8 for orvo's lines: a character beyond the basic plane is one
// four-byte sequence, never two three-byte surrogates (Java's modified UTF-8), and a NUL
// one byte; a surrogate without its partner cannot be written and becomes U+FFFD.
TEST(Utf8OfUtf16, GivesUtf8NotModifiedUtf8) {
    const conversion cases[] = {
        {"", u""},
        {"a.B$\xC3\xA9", u"a.B$\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x90\x90\x80", u"\U00010400"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"\xEF\xBF\xBD", u"\xD801"},                           // a high surrogate at the end
        {"\xEF\xBF\xBDx", u"\xDC00x"},                         // a low one alone
        {"\xEF\xBF\xBD\xF0\x90\x90\x80", u"\xD801\U00010400"}, // two highs, then a low
    };
    for (const conversion& c : cases) {
        EXPECT_EQ(utf8_of_utf16(c.utf16), c.utf8) << testing::PrintToString(c.utf8);
    }
}

TEST(Utf8ToUtf16, CountsThenConvertsLikeMultiByteToWideChar) {
    const char text[] = "a\0\xC3\xA9\xF0\x9F\x98\x80";
    const int length = sizeof text; // the final NUL too
    ASSERT_EQ(platform::utf8_to_utf16(text, length, nullptr, 0), 6);
    char16_t buffer[8] = {};
    ASSERT_EQ(platform::utf8_to_utf16(text, length, buffer, 8), 6);
    EXPECT_EQ(std::u16string(buffer, 6), std::u16string(u"a\0\u00E9\U0001F600\0", 6));
    // A buffer too small fails rather than cut; an empty input is a failure too.
    EXPECT_EQ(platform::utf8_to_utf16(text, length, buffer, 5), 0);
    EXPECT_EQ(platform::utf8_to_utf16(text, 0, nullptr, 0), 0);
}

} // namespace
