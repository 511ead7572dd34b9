// The exit statuses that carry the service's exit codes, against the table that
// docs/exit-codes.md gives operators: a code added to one and not the other fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "service/exit_codes.h"

namespace {

// The rows "| CODE (...) | STATUS (`NAME`) |" of the documented table of Linux exit
// statuses, by code.
std::map<std::uint32_t, std::uint32_t> documented_statuses() {
    std::ifstream doc(ORVO_SOURCE_DIR "/docs/exit-codes.md");
    const std::regex row(R"(^\| (\d+) \([^|]*\) \| (\d+)( \(`[A-Z]+`\))? \|$)");
    std::map<std::uint32_t, std::uint32_t> rows;
    bool in_table = false;
    for (std::string line; std::getline(doc, line);) {
        if (line.rfind("| Exit code of the service | Linux exit status |", 0) == 0) {
            in_table = true;
        } else if (in_table && line.empty()) {
            break;
        }
        std::smatch match;
        if (in_table && std::regex_match(line, match, row)) {
            rows[static_cast<std::uint32_t>(std::stoul(match[1]))] =
                static_cast<std::uint32_t>(std::stoul(match[2]));
        }
    }
    return rows;
}

TEST(ExitCodes, EveryDocumentedStatusIsTheOneCarriedAndEveryMappedCodeIsDocumented) {
    const std::map<std::uint32_t, std::uint32_t> documented = documented_statuses();
    ASSERT_GE(documented.size(), 8u) << "the table in docs/exit-codes.md was not found";
    for (const auto& [code, status] : documented) {
        EXPECT_EQ(carried_exit_status(code, 0), status) << "exit code " << code;
    }
    for (std::size_t i = 0; i < exit_status_count; ++i) {
        EXPECT_EQ(documented.count(exit_statuses[i].exit_code), 1u)
            << "exit code " << exit_statuses[i].exit_code << " is not in docs/exit-codes.md";
    }
}

TEST(ExitCodes, TheJavaProgramsStatusAndOtherCodesFollowTheDocumentedRules) {
    // N's low eight bits, or 1 where those are 0; a code up to 255 is its own status, a
    // larger one 1.
    const std::uint32_t cases[][3] = {
        {exit_java_status, 9, 9},
        {exit_java_status, 256, 1},
        {exit_java_status, 0xffffffff, 255},
        {exit_java_status, 513, 1},
        {2, 0, 2},
        {11, 0, 11},
        {255, 0, 255},
        {1063, 0, 1},
        {5, 0, 5},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(carried_exit_status(row[0], row[1]), row[2]) << row[0] << ", " << row[1];
    }
}

} // namespace
