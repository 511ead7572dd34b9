// Where the service's standard output and error go.
#include <csignal>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_logs = service_test;

TEST_F(service_logs, logs_keep_their_earlier_content) {
    write_file(stdout_log(), "earlier out\n");
    write_file(stderr_log(), "earlier err\n");
    auto service = start(default_settings());
    expect_running();
    expect_stop_on(*service, SIGTERM);
    EXPECT_EQ(read_file(stdout_log()),
              "earlier out\nstart \nstarted\nstop \nstopped\nshutdown hook\n");
    EXPECT_EQ(read_file(stderr_log()), "earlier err\nstart on stderr\n");
}

TEST_F(service_logs, one_file_named_for_both_streams_receives_both) {
    service_settings settings = default_settings();
    settings.stdout_log = folder / "both.log";
    settings.stderr_log = folder / "both.log";
    auto service = start(settings);
    expect_running();
    EXPECT_EQ(descriptor_target(service->pid(), 2), folder / "both.log");
    expect_stop_on(*service, SIGTERM);
    EXPECT_EQ(lines_of(read_file(folder / "both.log")),
              (std::vector<std::string>{"start ", "start on stderr", "started", "stop ", "stopped",
                                        "shutdown hook"}));
}

TEST_F(service_logs, output_to_a_log_that_cannot_be_opened_is_lost_not_misdirected) {
    service_settings settings = default_settings();
    settings.stdout_log = folder / "no-such-folder/out.log";
    auto service = start(settings);
    expect_running();
    // Never left closed: the next file opened would take its place.
    EXPECT_EQ(descriptor_target(service->pid(), 1), "/dev/null");
    expect_stop_on(*service, SIGTERM);
    EXPECT_EQ(read_file(stderr_log()), "start on stderr\n");
    EXPECT_EQ(console_out(), "");
}

TEST_F(service_logs, a_log_that_is_a_named_pipe_without_reader_is_not_waited_on) {
    service_settings settings = default_settings();
    settings.stderr_log = make_pipe("err.fifo");
    auto service = start(settings);
    expect_running();
    EXPECT_EQ(descriptor_target(service->pid(), 2), "/dev/null");
    expect_stop_on(*service, SIGTERM);
}

} // namespace
} // namespace orvo_test
