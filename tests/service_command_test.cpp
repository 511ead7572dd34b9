// orvo-service's portable part: its command line, the service's command line and how one is
// split again, and what becomes of the event source when a service goes.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_status.h"
#include "tools/orvo_service/service_command.h"

namespace {

struct parse_case {
    std::vector<const char*> arguments; // after the program's name
    bool usage_error;
};

// clang-format off
const parse_case parse_cases[] = {
    {{"install", "svc", "s.xml"}, false},
    {{"install", "svc", "s.xml", "--start", "delayed", "--depends", "a", "--depends", "b",
      "--account", "DOMAIN\\user", "--password-prompt", "--no-recovery", "--force", "--strict"}, false},
    {{"remove", "svc"}, false},
    {{"show", "svc"}, false},
    {{"--help"}, false},

    {{}, true},
    {{"install", "svc"}, true},
    {{"remove", "svc", "extra"}, true},
    {{"install", "svc", "s.xml", "--start", "sometimes"}, true},
    {{"install", "svc", "s.xml", "--start"}, true},
    {{"install", "svc", "s.xml", "--display-name"}, true},
    {{"install", "svc", "s.xml", "--description", "a", "--description", "b"}, true},
    {{"install", "svc", "s.xml", "--force", "--force"}, true},
    {{"install", "svc", "s.xml", "--password-prompt"}, true},                 // the virtual account
    {{"install", "svc", "s.xml", "--account", "LocalSystem", "--password-prompt"}, true},
    {{"install", "svc", "s.xml", "--account", "nt service\\x", "--password-prompt"}, true},
    {{"install", "svc", "s.xml", "--verbose"}, true},
    {{"install", "a\\b", "s.xml"}, true},
    {{"show", ""}, true},
};
// clang-format on

TEST(ServiceCommand, OptionsAreTakenOnceAndWhatCannotWorkIsAUsageError) {
    for (const parse_case& c : parse_cases) {
        std::vector<const char*> argv{"orvo-service"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        service_command command;
        std::string problem;
        const bool parsed =
            parse_service_command(static_cast<int>(argv.size()), argv.data(), command, problem);
        EXPECT_EQ(parsed, !c.usage_error) << (argv.size() > 1 ? argv[argv.size() - 1] : "");
        EXPECT_EQ(problem.empty(), parsed);
    }
    const char* argv[] = {"orvo-service", "install", "svc",          "s.xml",
                          "--start",      "delayed", "--depends",    "a",
                          "--depends",    "b",       "--no-recovery"};
    service_command command;
    std::string problem;
    ASSERT_TRUE(parse_service_command(11, argv, command, problem));
    EXPECT_EQ(command.what, service_command::action::install);
    EXPECT_EQ(command.install.start, platform::service_start::delayed);
    EXPECT_EQ(command.install.dependencies, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(command.install.recovery);
    EXPECT_FALSE(command.install.account.has_value());
}

TEST(ServiceCommandLine, QuotedPathsSplitBackAsTheyWere) {
    const std::string program = "C:\\Program Files\\orvo\\orvo.exe";
    const std::string settings = "D:\\my svc\\settings.xml";
    const std::string line = service_command_line(program, settings);
    EXPECT_EQ(line, "\"C:\\Program Files\\orvo\\orvo.exe\" \"D:\\my svc\\settings.xml\"");
    EXPECT_EQ(split_command_line(line), (std::vector<std::string>{program, settings}));
    // The C runtime's rules: backslashes count only before a quote.
    EXPECT_EQ(split_command_line("  a\\\\b \"c d\"e\t\"x\\\"y\" \"z\\\\\" \"\""),
              (std::vector<std::string>{"a\\\\b", "c de", "x\"y", "z\\", ""}));
    EXPECT_TRUE(split_command_line(" \t").empty());
    EXPECT_TRUE(runs_orvo("C:\\a b\\ORVO.EXE"));
    EXPECT_FALSE(runs_orvo("C:\\a b\\orvo.exe.bak"));
    EXPECT_FALSE(runs_orvo("C:\\a\\not-orvo.exe"));
}

TEST(ServicePlan, DescriptionPreshutdownFoldersAndWhatRunsAsCode) {
    EXPECT_EQ(default_description("org/example/Server"), "Runs org.example.Server with orvo");
    settings_record record;
    EXPECT_FALSE(preshutdown_timeout(record).has_value());
    record.stop_timeout = 2147483647;
    EXPECT_EQ(preshutdown_timeout(record), 2147493647u);

    // The paths of the system the program runs on.
#ifdef _WIN32
    const std::string root = "C:\\";
#else
    const std::string root = "/";
#endif
    const auto at = [&root](std::string path) {
        std::replace(path.begin(), path.end(), '/', platform::folder_separator);
        return root + path;
    };
    EXPECT_EQ(platform::containing_folder(at("logs/out.log")), at("logs"));
    EXPECT_EQ(platform::containing_folder(at("out.log")), root);
    EXPECT_EQ(platform::containing_folder("out.log"), ".");

    record.dll_path = at("jdk/bin/server/jvm.dll");
    record.class_path = at("app/lib/*") + ";" + at("app/classes");
    record.options = {"-Xmx64m", "-Djava.class.path=" + at("app/lib/a.jar") + ";" +
                                     at("app/lib/b.jar") + ";" + at("app/classes")};
    EXPECT_EQ(files_run_as_code(record, at("app/settings.xml")),
              (std::vector<std::string>{at("app/settings.xml"), at("jdk/bin/server/jvm.dll"),
                                        at("app/lib"), at("app/lib/a.jar"), at("app/lib/b.jar"),
                                        at("app/classes")}));
    record.dll_path = "jvm.dll"; // looked for along the search order: no one file to check
    record.class_path.clear();   // the option is then one of the settings' own
    EXPECT_EQ(files_run_as_code(record, at("app/settings.xml")),
              (std::vector<std::string>{at("app/settings.xml")}));
}

TEST(EventSource, StaysWhileAnotherServiceRunsOrvoAndIsNeverTakenFromOthers) {
    using action = event_source_change::action;
    const std::string mine = "C:\\orvo\\orvo.exe";
    const std::string other = "\"D:\\other orvo\\orvo.exe\" \"D:\\s.xml\"";
    struct row {
        std::string message_file;
        std::vector<std::string> others;
        action what;
        std::string repointed;
    };
    const row rows[] = {
        {mine, {"C:\\Windows\\system32\\svchost.exe -k netsvcs"}, action::remove, ""},
        {mine, {}, action::remove, ""},
        {mine, {"\"c:\\orvo\\ORVO.exe\" \"C:\\x.xml\""}, action::keep, ""},
        {mine, {"svchost.exe", other}, action::repoint, "D:\\other orvo\\orvo.exe"},
        {"C:\\elsewhere\\messages.dll", {}, action::keep, ""},
        {"", {}, action::keep, ""},
    };
    for (const row& r : rows) {
        const event_source_change change = event_source_after_removal(r.message_file, r.others);
        EXPECT_EQ(change.what, r.what) << r.message_file;
        EXPECT_EQ(change.message_file, r.repointed) << r.message_file;
    }
}

} // namespace
