// The Java host's behaviour that both Java VMs must show: the real one (jvm_host_test,
// each row a process of jvm_scenario) and the stand-in (standin_host_test, also under
// Wine). Each row runs the service's road: the VM created and the server started on one
// thread, the server stopped on another, then the VM destroyed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "javahost/server.h"

namespace orvo_test {

// The Java test classes of tests/jvm/java/orvotest, which the VM has in every row: the
// real VM from their jar, the stand-in as declared from this table.
struct java_class {
    const char* name;
    const char* methods; // its static methods, NAME(DESCRIPTOR) each, space separated
    const char* throws;  // what each of them throws; "" when they return
};

// clang-format off
const java_class java_classes[] = {
    {"orvotest/BothStarts", "start([Ljava/lang/String;)V start()V stop()V", ""},
    {"orvotest/ArrayStart", "begin([Ljava/lang/String;)V end()V", ""},
    {"orvotest/PlainStart", "start()V stop()V", ""},
    {"orvotest/NoStart", "start(I)V stop()V", ""}, // and an instance start(String[]), real VM only
    {"orvotest/NoStop", "start([Ljava/lang/String;)V stop(Ljava/lang/String;)V", ""},
    {"orvotest/Throwing", "start([Ljava/lang/String;)V stop()V", "java/lang/IllegalStateException"},
};
// clang-format on

// Which library the settings' dll_path names.
enum class vm_library { java_vm, no_entry_point, missing, unnamed };

struct host_scenario {
    const char* name;
    const char* class_name; // the server's settings
    const char* start_method;
    const char* stop_method;
    std::vector<std::string> parameters;
    vm_library library;
    const char* option;  // one more VM option after the runner's own; "" for none
    int created;         // create_java_vm's result: 0 created, 1 no library, 2 no entry
                         // point, 3 refused by the VM
    const char* started; // start_server's result, as start_result_name says it; "" when the
                         // VM was not created
    const char* said;    // standard error, as said_on_stderr states it
    std::vector<std::string> ran; // the Java methods that ran, in order: "NAME ran" or
                                  // "NAME ran with [UNITS, ...]", each parameter's UTF-16
                                  // units in hex
};

// clang-format off
const host_scenario host_scenarios[] = {
    // Which start variant runs, with which parameters.
    {"both_variants_without_parameters_give_the_array_variant_an_empty_array", "orvotest/BothStarts", "start", "stop", {}, vm_library::java_vm, "", 0, "start_called", "", {"start ran with []", "stop ran"}},
    {"parameters_arrive_as_the_same_characters_invalid_utf8_replaced", "orvotest/ArrayStart", "begin", "end", {"-port", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", "", "\xF0\x9F\x98\x80!", "a\xF0\x9F", "\xED\xA0\x80"}, vm_library::java_vm, "", 0, "start_called", "",
     {"begin ran with [\"002d 0070 006f 0072 0074\", \"00e9 0074 00e9\", \"20ac\", \"\", \"d83d de00 0021\", \"0061 fffd\", \"fffd fffd\"]", "end ran"}},
    {"only_the_plain_variant", "orvotest/PlainStart", "start", "stop", {}, vm_library::java_vm, "", 0, "start_called", "", {"start ran", "stop ran"}},
    {"the_plain_variant_with_parameters_configured_is_missing", "orvotest/PlainStart", "start", "stop", {"x"}, vm_library::java_vm, "", 0, "no_method", "error: method \"start\" not found.\r\n", {"stop ran"}},
    {"neither_variant_as_instance_and_other_methods_do_not_count", "orvotest/NoStart", "start", "stop", {}, vm_library::java_vm, "", 0, "no_method", "error: method \"start\" not found.\r\n", {"stop ran"}},

    // Missing pieces and throwing methods: the line, then the exception left pending is
    // printed as the thread detaches; every road detaches, or the destruction would wait.
    {"a_missing_class_is_said_on_the_start_and_on_the_stop", "orvotest/Missing\xC3\xA9", "start", "stop", {}, vm_library::java_vm, "", 0, "no_class",
     "error: class \"orvotest/Missing\xC3\xA9\" not found.\r\ndescribed java.lang.NoClassDefFoundError\nerror: class \"orvotest/Missing\xC3\xA9\" not found.\r\ndescribed java.lang.NoClassDefFoundError\n", {}},
    {"a_class_named_with_dots_reaches_the_vm_unchanged", "orvotest.BothStarts", "start", "stop", {}, vm_library::java_vm, "", 0, "no_class",
     "error: class \"orvotest.BothStarts\" not found.\r\ndescribed java.lang.NoClassDefFoundError\nerror: class \"orvotest.BothStarts\" not found.\r\ndescribed java.lang.NoClassDefFoundError\n", {}},
    {"a_missing_stop_method_is_named", "orvotest/NoStop", "start", "stop", {}, vm_library::java_vm, "", 0, "start_called", "error: method \"stop\" not found.\r\ndescribed java.lang.NoSuchMethodError\n", {"start ran with []"}},
    // The VM describes what each method threw; a throwing start is then said, naming the
    // exception's class as Java names it; the stop goes on.
    {"throwing_methods_are_described_and_a_throwing_start_is_said", "orvotest/Throwing", "start", "stop", {}, vm_library::java_vm, "", 0, "start_threw",
     "described java.lang.IllegalStateException\nerror: the start method \"start\" of \"orvotest/Throwing\" threw java.lang.IllegalStateException.\r\ndescribed java.lang.IllegalStateException\n", {"start ran with []", "stop ran"}},

    // The VM that cannot be created.
    {"an_unknown_option_is_refused", "orvotest/BothStarts", "start", "stop", {}, vm_library::java_vm, "-Xorvo-unknown", 3, "", "error: couldn't create JavaVM.\r\n", {}},
    {"a_library_without_the_entry_point", "orvotest/BothStarts", "start", "stop", {}, vm_library::no_entry_point, "", 2, "", "error: couldn't get function pointer.\r\n", {}},
    {"a_missing_library", "orvotest/BothStarts", "start", "stop", {}, vm_library::missing, "", 1, "", "error: couldn't load jvm.dll.\r\n", {}},
    {"no_library_named", "orvotest/BothStarts", "start", "stop", {}, vm_library::unnamed, "", 1, "", "error: couldn't load jvm.dll.\r\n", {}},
};
// clang-format on

inline const char* start_result_name(start_result result) {
    switch (result) {
    case start_result::start_called:
        return "start_called";
    case start_result::no_class:
        return "no_class";
    case start_result::class_threw:
        return "class_threw";
    case start_result::no_method:
        return "no_method";
    case start_result::start_threw:
        return "start_threw";
    case start_result::not_attached:
        return "not_attached";
    case start_result::no_parameters:
        return "no_parameters";
    }
    return "?";
}

// Standard error as the rows state it: each line of ours ("error: ...") as written, and
// each exception the VM printed as "described CLASS\n"; the VM's other words (stack
// traces, causes, why it refused an option) left out.
inline std::string said_on_stderr(const std::string& err) {
    const std::string described = "Exception in thread \"";
    std::string said;
    for (std::string::size_type start = 0, end = 0; start < err.size(); start = end) {
        end = std::min(err.find('\n', start), err.size() - 1) + 1;
        const std::string line = err.substr(start, end - start);
        if (line.compare(0, 7, "error: ") == 0) {
            said += line;
        } else if (line.compare(0, described.size(), described) == 0) {
            const std::string::size_type name = line.find("\" ", described.size()) + 2;
            said += "described " + line.substr(name, line.find_first_of(":\n", name) - name) + "\n";
        }
    }
    return said;
}

// What a run of a row showed, as its runner found out.
struct observed {
    int created = -1;
    std::string started;
    std::string said;
    std::vector<std::string> ran;
    bool destroyed_alone = false; // the VM was destroyed with no other thread attached
};

inline void expect_behaviour(const host_scenario& row, const observed& seen) {
    EXPECT_EQ(seen.created, row.created);
    EXPECT_EQ(seen.started, row.started);
    EXPECT_EQ(seen.said, row.said);
    EXPECT_EQ(seen.ran, row.ran);
    EXPECT_EQ(seen.destroyed_alone, row.created == 0);
}

// A row is shown by its name, in test names and failures alike.
inline void PrintTo(const host_scenario& row, std::ostream* out) {
    *out << row.name;
}

inline std::string row_name(const ::testing::TestParamInfo<host_scenario>& row) {
    return row.param.name;
}

} // namespace orvo_test
