// How the settings file's bytes reach the parser on each system. The file is read as the
// C runtime's text mode reads it: on Windows a carriage return and line feed pair
// arrives as one line feed, so the byte index of a syntax error counts the pairs as one
// byte there; elsewhere the bytes arrive as stored. Lines and columns agree on both,
// since the parser counts either form as one line end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "process/load_settings.h"
#include "settings/exceptions.h"
#include "test_support.h"

namespace {

TEST(SettingsFileMode, LineEndPairsCountAsTheSystemReadsThem) {
    orvo_test::temp_dir dir;
    const std::string document =
        "<setting>\r\n\r\n  <log stdout='a' stdout='b'/>\r\n</setting>\r\n";
    orvo_test::write_file(dir / "crlf.xml", document);

    const auto second = static_cast<std::int32_t>(document.find("stdout='b'"));
#ifdef _WIN32
    const auto carriage_returns =
        static_cast<std::int32_t>(std::count(document.begin(), document.begin() + second, '\r'));
    const std::int32_t expected_index = second - carriage_returns;
#else
    const std::int32_t expected_index = second;
#endif
    settings_record record;
    try {
        load_settings(dir / "crlf.xml", record);
        ADD_FAILURE() << "no syntax error";
    } catch (const MXML::SyntaxException& error) {
        EXPECT_EQ(error.error_code, XML_ERROR_DUPLICATE_ATTRIBUTE);
        EXPECT_EQ(error.line, 3u);
        EXPECT_EQ(error.column, 18u);
        EXPECT_EQ(error.byte_index, expected_index);
    }
}

} // namespace
