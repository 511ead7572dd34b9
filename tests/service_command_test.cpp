// orvo-service's portable part: its command line, the service's command line and how one is
// split again, what becomes of the event source when a service goes, how the fields of a
// service are compared and named, and what an exit code means.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_status.h"
#include "service/exit_codes.h"
#include "tools/orvo_service/exit_code_meaning.h"
#include "tools/orvo_service/service_command.h"
#include "tools/orvo_service/service_fields.h"

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
    {{"remove", "svc", "--kill"}, false},
    {{"show", "svc"}, false},
    {{"show", "svc", "--json"}, false},
    {{"apply", "svc", "s.xml", "--check", "--json", "--start", "manual", "--no-recovery"}, false},
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
    {{"show", "svc", "--kill"}, true},
    {{"remove", "svc", "--json"}, true},
    {{"install", "svc", "s.xml", "--check"}, true},               // install changes or refuses
    {{"install", "svc", "s.xml", "--json"}, true},
    {{"apply", "svc", "s.xml", "--check", "--check"}, true},
    {{"apply", "svc"}, true},
    {{"apply", "svc", "--json"}, true},
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

    // A usage error of apply or show with --json is answered in JSON too.
    const char* apply[] = {"orvo-service", "apply", "svc", "s.xml", "--json", "--check"};
    ASSERT_TRUE(parse_service_command(6, apply, command, problem));
    EXPECT_EQ(command.what, service_command::action::apply);
    EXPECT_TRUE(command.check && command.json);
    EXPECT_TRUE(wants_json(6, apply));
    const char* bad_apply[] = {"orvo-service", "apply", "svc", "--json"};
    EXPECT_TRUE(wants_json(4, bad_apply));
    const char* install[] = {"orvo-service", "install", "svc", "s.xml", "--json"};
    EXPECT_FALSE(wants_json(5, install));
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

// The service install makes of settings with a stop_timeout.
service_fields installed_fields() {
    service_fields fields;
    fields.command_line = "\"C:\\orvo\\orvo.exe\" \"C:\\app\\settings.xml\"";
    fields.display_name = "app";
    fields.description = "Runs org.example.Server with orvo";
    fields.account = "NT SERVICE\\app";
    fields.dependencies = {"RpcSs", "+Net"};
    fields.recovery = default_recovery();
    fields.recovery_on_exit_code = true;
    fields.preshutdown_timeout = 30000;
    fields.grants = {{"C:\\app\\settings.xml", "NT SERVICE\\app", platform::file_access::read},
                     {"C:\\app\\logs", "NT SERVICE\\app", platform::file_access::modify}};
    fields.event_source = true;
    return fields;
}

struct comparison_case {
    const char* name;
    void (*change_current)(service_fields&);
    std::vector<std::string> changed; // the fields apply changes, in order
    bool restart_required;
};

// clang-format off
const comparison_case comparison_cases[] = {
    {"as installed", [](service_fields&) {}, {}, false},
    {"another settings file", [](service_fields& c) { c.command_line = "\"C:\\orvo\\orvo.exe\" \"C:\\old.xml\""; }, {"command_line"}, true},
    {"a path in other letters", [](service_fields& c) { c.command_line = "\"c:\\ORVO\\orvo.exe\" \"C:\\App\\settings.xml\""; }, {}, false},
    {"another display name", [](service_fields& c) { c.display_name = "App"; }, {"display_name"}, false},
    {"a manual start", [](service_fields& c) { c.start = platform::service_start::manual; }, {"start_type"}, false},
    {"another account", [](service_fields& c) { c.account = "LocalSystem"; }, {"account"}, true},
    {"the account in other letters", [](service_fields& c) { c.account = "nt service\\APP"; }, {}, false},
    {"dependencies in another order", [](service_fields& c) { c.dependencies = {"+net", "rpcss"}; }, {}, false},
    {"a dependency less", [](service_fields& c) { c.dependencies = {"RpcSs"}; }, {"dependencies"}, true},
    {"no recovery", [](service_fields& c) { c.recovery = platform::failure_actions{}; }, {"recovery"}, false},
    {"a longer restart delay", [](service_fields& c) { c.recovery->actions[1].delay_ms = 60000; }, {"recovery"}, false},
    {"no delay on taking no action", [](service_fields& c) { c.recovery->actions[2].delay_ms = 7; }, {}, false},
    {"recovery not told", [](service_fields& c) { c.recovery.reset(); c.recovery_on_exit_code.reset(); }, {}, false},
    {"description not told", [](service_fields& c) { c.description.reset(); }, {}, false},
    {"another preshutdown timeout", [](service_fields& c) { c.preshutdown_timeout = 180000; }, {"preshutdown_timeout"}, true},
    {"modify where read is asked", [](service_fields& c) { c.grants[0].access = platform::file_access::modify; }, {}, false},
    {"read where modify is asked", [](service_fields& c) { c.grants[1].access = platform::file_access::read; }, {"grants"}, false},
    {"a grant missing", [](service_fields& c) { c.grants.pop_back(); }, {"grants"}, false},
    {"grants not told", [](service_fields& c) { c.grants.clear(); c.grants_told = false; }, {}, false},
    {"no event source", [](service_fields& c) { c.event_source = false; }, {"event_source"}, false},
    {"everything at once", [](service_fields& c) { c.display_name = "x"; c.account = "y"; c.event_source = false; },
     {"display_name", "account", "event_source"}, true},
};
// clang-format on

TEST(ServiceFields, ApplyChangesExactlyWhatDiffersAndNeverWhatIsNotTold) {
    const service_fields wanted = installed_fields();
    for (const comparison_case& c : comparison_cases) {
        SCOPED_TRACE(c.name);
        service_fields current = wanted;
        c.change_current(current);
        const std::vector<field_change> changes = changed_fields(wanted, &current);
        std::vector<std::string> names;
        bool restart = false;
        for (const field_change& change : changes) {
            names.push_back(change.field);
            restart = restart || change.restart_required;
            EXPECT_EQ(change.to, fields_json(wanted)[change.field]);
            EXPECT_EQ(change.from, fields_json(current)[change.field]);
        }
        EXPECT_EQ(names, c.changed);
        EXPECT_EQ(restart, c.restart_required);
    }
}

TEST(ServiceFields, WhatIsNotToldIsNamedAndANewServiceGetsEveryField) {
    service_fields wanted = installed_fields();
    wanted.start = platform::service_start::delayed;
    service_fields current = wanted;
    // Wine: an automatic start that may be delayed, no recovery, no access lists.
    current.start = platform::service_start::automatic;
    current.delayed_start_told = false;
    current.recovery.reset();
    current.recovery_on_exit_code.reset();
    current.grants_told = false;
    EXPECT_TRUE(changed_fields(wanted, &current).empty());
    EXPECT_EQ(
        untold_fields(wanted, current),
        (std::vector<std::string>{"start type", "recovery", "recovery on exit code", "grants"}));
    // Not delayed is told all the same.
    wanted.start = platform::service_start::manual;
    ASSERT_EQ(changed_fields(wanted, &current).size(), 1u);
    EXPECT_EQ(changed_fields(wanted, &current)[0].text, "start type: auto -> manual");

    // A service that is not there: every field from null, but a preshutdown timeout that
    // the settings do not ask for.
    wanted.preshutdown_timeout.reset();
    std::vector<std::string> names;
    for (const field_change& change : changed_fields(wanted, nullptr)) {
        EXPECT_TRUE(change.from.is_null()) << change.field;
        names.push_back(change.field);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"command_line", "display_name", "description",
                                               "start_type", "account", "dependencies", "recovery",
                                               "recovery_on_exit_code", "grants", "event_source"}));
}

TEST(ServiceFields, JsonNamesEachFieldAsShowAndApplyDo) {
    service_fields fields = installed_fields();
    const nlohmann::ordered_json json = fields_json(fields);
    EXPECT_EQ(json["start_type"], "auto");
    EXPECT_EQ(json["dependencies"], nlohmann::ordered_json({"RpcSs", "+Net"}));
    EXPECT_EQ(json["recovery"]["reset_seconds"], 86400);
    EXPECT_EQ(json["recovery"]["actions"][0],
              nlohmann::ordered_json({{"type", "restart"}, {"delay_ms", 5000}}));
    EXPECT_EQ(json["grants"][1]["access"], "modify");
    EXPECT_EQ(json["preshutdown_timeout"], 30000);
    fields.recovery = platform::failure_actions{};
    fields.preshutdown_timeout.reset();
    fields.grants_told = false;
    const nlohmann::ordered_json none = fields_json(fields);
    EXPECT_EQ(none["recovery"], "none");
    EXPECT_TRUE(none["preshutdown_timeout"].is_null());
    EXPECT_TRUE(none["grants"].is_null());

    service_fields current = installed_fields();
    current.recovery = platform::failure_actions{};
    const std::vector<field_change> changes = changed_fields(installed_fields(), &current);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].text, "recovery: none -> restart after 5000 ms, restart after 5000 ms, "
                               "nothing; counted again after 86400 s");
}

TEST(ExitCodeMeaning, OrvosCodesSayWhatFailedAndWhereTheReasonIs) {
    const std::string log = "C:\\app\\logs\\err.log";
    EXPECT_TRUE(meaning_of_exit_code(0, log).meaning.empty());
    const exit_code_meaning failed = meaning_of_exit_code(exit_start_failed, log);
    EXPECT_NE(failed.meaning.find("no Java VM"), std::string::npos);
    EXPECT_EQ(failed.where, "the stderr log " + log);
    EXPECT_NE(meaning_of_exit_code(exit_no_settings_path, log).where.find("event log"),
              std::string::npos);
    const std::string either = meaning_of_exit_code(exit_bad_configuration, "").where;
    EXPECT_NE(either.find("the stderr log (the class or method)"), std::string::npos) << either;
    EXPECT_NE(either.find("event log"), std::string::npos) << either;
    EXPECT_NE(meaning_of_exit_code(exit_java_status, log).meaning.find("System.exit"),
              std::string::npos);
    EXPECT_FALSE(meaning_of_exit_code(4242, log).meaning.empty());
}

} // namespace
