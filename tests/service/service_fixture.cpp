#include "tests/service/service_fixture.h"

#include <sys/stat.h>

#include <csignal>

namespace orvo_test {

service_test::service_test() : listener(folder / "notify.sock") {}

service_settings service_test::default_settings() const {
    service_settings settings;
    settings.stdout_log = stdout_log();
    settings.stderr_log = stderr_log();
    return settings;
}

std::unique_ptr<service_process> service_test::start(const service_settings& settings) {
    write_file(folder / "settings.xml", settings_xml(settings));
    return start_with({folder / "settings.xml"});
}

std::unique_ptr<service_process> service_test::start_with(const std::vector<std::string>& arguments,
                                                          bool with_notify_socket) {
    return std::make_unique<service_process>(arguments,
                                             with_notify_socket ? listener.path() : std::string(),
                                             folder / "console.out", folder / "console.err");
}

void service_test::expect_running() {
    const std::optional<report> first = listener.next();
    const std::optional<report> second = listener.next();
    const std::optional<report> running = listener.next();
    ASSERT_TRUE(first && second && running) << "the start's reports did not all arrive";
    expect_report(*first, 2, 0, 0, 1, 5000);
    EXPECT_EQ(first->fields.at("EXTEND_TIMEOUT_USEC"), "5000000");
    expect_report(*second, 2, 0, 0, 2, 1000);
    EXPECT_EQ(second->fields.at("EXTEND_TIMEOUT_USEC"), "1000000");
    expect_report(*running, 4, 7, 0, 0, 0);
    EXPECT_EQ(running->fields.at("READY"), "1");
    EXPECT_FALSE(running->has("EXTEND_TIMEOUT_USEC"));
}

void service_test::expect_stop_on(service_process& service, int signal_number) {
    service.signal(signal_number);
    const std::vector<report> reports = reports_until_stopped(listener);
    ASSERT_EQ(reports.size(), 2u) << "expected stop pending, then stopped";
    expect_report(reports[0], 3, 7, 0, 1, 5000);
    EXPECT_EQ(reports[0].fields.at("STOPPING"), "1");
    EXPECT_EQ(reports[0].fields.at("EXTEND_TIMEOUT_USEC"), "5000000");
    expect_report(reports[1], 1, 7, 0, 0, 0);
    EXPECT_EQ(reports[1].fields.at("EXIT_STATUS"), "0");
    EXPECT_EQ(service.wait(), 0);
}

std::string service_test::make_pipe(const std::string& name) const {
    const std::string path = folder / name;
    if (mkfifo(path.c_str(), 0600) != 0) {
        ADD_FAILURE() << "cannot make the named pipe " << path;
    }
    return path;
}

std::vector<std::string> placed(std::vector<std::string> lines, const std::string& path,
                                const std::string& marker) {
    for (std::string& line : lines) {
        const std::string::size_type at = line.find(marker);
        if (at != std::string::npos) {
            line.replace(at, marker.size(), path);
        }
    }
    return lines;
}

std::unique_ptr<service_process> service_test::start_held(const std::string& start_gate) {
    service_settings settings = default_settings();
    settings.parameters = {"start-waits-for:" + make_pipe(start_gate)};
    return start(settings);
}

void expect_report(const report& got, long state, long controls, long exit_code, long check_point,
                   long wait_hint) {
    EXPECT_EQ(got.state(), state);
    EXPECT_EQ(got.number("X_ORVO_CONTROLS"), controls);
    EXPECT_EQ(got.number("X_ORVO_EXIT_CODE"), exit_code);
    EXPECT_EQ(got.number("X_ORVO_CHECKPOINT"), check_point);
    EXPECT_EQ(got.number("X_ORVO_WAIT_HINT"), wait_hint);
    EXPECT_TRUE(got.has("STATUS"));
}

void expect_note(notify_listener& listener, const std::string& note) {
    const std::optional<report> noted = listener.next();
    ASSERT_TRUE(noted) << "no report saying: " << note;
    expect_report(*noted, 4, 7, 0, 0, 0);
    EXPECT_EQ(noted->fields.at("STATUS"), "Running, " + note);
}

} // namespace orvo_test
