#include "platform/unix/notify_message.h"

#include <gtest/gtest.h>

namespace {

platform::service_status status(std::uint32_t state, std::uint32_t controls,
                                std::uint32_t exit_code, std::uint32_t check_point,
                                std::uint32_t wait_hint) {
    return {
        platform::service_win32_own_process, state, controls, exit_code, 0, check_point, wait_hint};
}

TEST(notify_message, start_pending_carries_every_field_and_extends_the_time_out) {
    EXPECT_EQ(platform::notify_message(status(2, 0, 0, 1, 5000)),
              "X_ORVO_STATE=2\nX_ORVO_CONTROLS=0\nX_ORVO_EXIT_CODE=0\nX_ORVO_CHECKPOINT=1\n"
              "X_ORVO_WAIT_HINT=5000\nSTATUS=Starting (check-point 1)\n"
              "EXTEND_TIMEOUT_USEC=5000000");
}

TEST(notify_message, each_state_adds_its_own_systemd_key) {
    EXPECT_EQ(platform::notify_message(status(4, 7, 0, 0, 0)),
              "X_ORVO_STATE=4\nX_ORVO_CONTROLS=7\nX_ORVO_EXIT_CODE=0\nX_ORVO_CHECKPOINT=0\n"
              "X_ORVO_WAIT_HINT=0\nSTATUS=Running\nREADY=1");
    EXPECT_EQ(platform::notify_message(status(3, 7, 0, 1, 5000)),
              "X_ORVO_STATE=3\nX_ORVO_CONTROLS=7\nX_ORVO_EXIT_CODE=0\nX_ORVO_CHECKPOINT=1\n"
              "X_ORVO_WAIT_HINT=5000\nSTATUS=Stopping\nEXTEND_TIMEOUT_USEC=5000000\nSTOPPING=1");
    EXPECT_EQ(platform::notify_message(status(1, 7, 1610, 0, 0)),
              "X_ORVO_STATE=1\nX_ORVO_CONTROLS=7\nX_ORVO_EXIT_CODE=1610\nX_ORVO_CHECKPOINT=0\n"
              "X_ORVO_WAIT_HINT=0\nSTATUS=Stopped (exit code 1610)\nEXIT_STATUS=1610");
}

TEST(notify_message, a_note_follows_the_state_s_words_and_changes_nothing_else) {
    platform::service_status running = status(4, 7, 0, 0, 0);
    running.note = "logs reopened";
    EXPECT_EQ(platform::notify_message(running),
              "X_ORVO_STATE=4\nX_ORVO_CONTROLS=7\nX_ORVO_EXIT_CODE=0\nX_ORVO_CHECKPOINT=0\n"
              "X_ORVO_WAIT_HINT=0\nSTATUS=Running, logs reopened\nREADY=1");
    // The program's words stay with the state; the host's news follows them.
    running.program_text = "serving 3 clients";
    EXPECT_EQ(platform::notify_message(running),
              "X_ORVO_STATE=4\nX_ORVO_CONTROLS=7\nX_ORVO_EXIT_CODE=0\nX_ORVO_CHECKPOINT=0\n"
              "X_ORVO_WAIT_HINT=0\nSTATUS=Running, serving 3 clients, logs reopened\nREADY=1");
}

TEST(notify_message, a_service_specific_exit_code_is_carried_only_where_there_is_one) {
    platform::service_status stopped = status(1, 7, 1066, 0, 0);
    stopped.service_specific_exit_code = 4294967295u; // System.exit(-1)
    EXPECT_EQ(platform::notify_message(stopped),
              "X_ORVO_STATE=1\nX_ORVO_CONTROLS=7\nX_ORVO_EXIT_CODE=1066\nX_ORVO_CHECKPOINT=0\n"
              "X_ORVO_WAIT_HINT=0\nX_ORVO_SERVICE_EXIT_CODE=4294967295\n"
              "STATUS=Stopped (exit code 1066, service-specific exit code 4294967295)\n"
              "EXIT_STATUS=1066");
}

TEST(notify_message, a_pending_state_without_wait_hint_does_not_extend_the_time_out) {
    // An interrogate request while start is pending re-reports it with hint 0.
    const std::string message = platform::notify_message(status(2, 7, 0, 0, 0));
    EXPECT_EQ(message.find("EXTEND_TIMEOUT_USEC"), std::string::npos);
    EXPECT_EQ(message.find("READY"), std::string::npos);
}

TEST(notify_message, the_longest_wait_hint_does_not_overflow) {
    const std::string message = platform::notify_message(status(3, 7, 0, 1, 4294967295u));
    EXPECT_NE(message.find("EXTEND_TIMEOUT_USEC=4294967295000"), std::string::npos);
}

} // namespace
