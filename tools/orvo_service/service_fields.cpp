#include "tools/orvo_service/service_fields.h"

#include <algorithm>
#include <cctype>

#include "tools/orvo_service/service_command.h"

using json = nlohmann::ordered_json;

namespace {

json recovery_json(const std::optional<platform::failure_actions>& recovery) {
    if (!recovery) {
        return nullptr;
    }
    if (recovery->actions.empty()) {
        return "none";
    }
    json actions = json::array();
    for (const platform::recovery_action& action : recovery->actions) {
        actions.push_back(
            {{"type", action.restart ? "restart" : "none"}, {"delay_ms", action.delay_ms}});
    }
    return {{"actions", actions}, {"reset_seconds", recovery->reset_seconds}};
}

json grants_json(const std::vector<file_grant>& grants) {
    json list = json::array();
    for (const file_grant& grant : grants) {
        list.push_back({{"path", grant.path},
                        {"account", grant.account},
                        {"access", access_name(grant.access)}});
    }
    return list;
}

template <typename T> json optional_json(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

std::vector<std::string> folded(std::vector<std::string> names) {
    for (std::string& name : names) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool same_recovery(const platform::failure_actions& a, const platform::failure_actions& b) {
    if (a.actions.empty() || b.actions.empty()) {
        return a.actions.empty() == b.actions.empty(); // without actions the period means nothing
    }
    if (a.reset_seconds != b.reset_seconds || a.actions.size() != b.actions.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.actions.size(); ++i) {
        const platform::recovery_action& x = a.actions[i];
        const platform::recovery_action& y = b.actions[i];
        // "Take no action" has no delay worth comparing.
        if (x.restart != y.restart || (x.restart && x.delay_ms != y.delay_ms)) {
            return false;
        }
    }
    return true;
}

bool access_covers(platform::file_access held, platform::file_access asked) {
    return held == platform::file_access::modify || asked == platform::file_access::read;
}

bool grants_held(const std::vector<file_grant>& wanted, const std::vector<file_grant>& held) {
    return std::all_of(wanted.begin(), wanted.end(),
                       [&held](const file_grant& grant) { return grant_held(held, grant); });
}

// One field: its names, whether a running service sees a change only once restarted, its
// value as JSON, and when a current value counts as the wanted one (by default: the same
// JSON value). A field the current service does not tell is never compared.
struct field_rule {
    const char* name;
    const char* words;
    bool restart_required;
    json (*value)(const service_fields&);
    bool (*same)(const service_fields& wanted, const service_fields& current);
    bool (*told)(const service_fields& wanted, const service_fields& current);
};

bool always_told(const service_fields&, const service_fields&) {
    return true;
}

// clang-format off
const field_rule field_rules[] = {
    {"command_line", "command line", true,
     [](const service_fields& f) { return json(f.command_line); },
     [](const service_fields& w, const service_fields& c) { return same_text(w.command_line, c.command_line); },
     always_told},
    {"display_name", "display name", false,
     [](const service_fields& f) { return json(f.display_name); }, nullptr, always_told},
    {"description", "description", false,
     [](const service_fields& f) { return optional_json(f.description); }, nullptr,
     [](const service_fields&, const service_fields& c) { return c.description.has_value(); }},
    {"start_type", "start type", false,
     [](const service_fields& f) { return json(start_name(f.start)); }, nullptr,
     [](const service_fields& w, const service_fields& c) {
         return c.delayed_start_told || c.start != platform::service_start::automatic ||
                w.start != platform::service_start::delayed; }},
    {"account", "account", true,
     [](const service_fields& f) { return json(f.account); },
     [](const service_fields& w, const service_fields& c) { return same_text(w.account, c.account); },
     always_told},
    {"dependencies", "dependencies", true,
     [](const service_fields& f) { return json(f.dependencies); },
     [](const service_fields& w, const service_fields& c) { return folded(w.dependencies) == folded(c.dependencies); },
     always_told},
    {"recovery", "recovery", false,
     [](const service_fields& f) { return recovery_json(f.recovery); },
     [](const service_fields& w, const service_fields& c) { return !w.recovery || same_recovery(*w.recovery, *c.recovery); },
     [](const service_fields&, const service_fields& c) { return c.recovery.has_value(); }},
    {"recovery_on_exit_code", "recovery on exit code", false,
     [](const service_fields& f) { return optional_json(f.recovery_on_exit_code); }, nullptr,
     [](const service_fields&, const service_fields& c) { return c.recovery_on_exit_code.has_value(); }},
    {"preshutdown_timeout", "preshutdown timeout", true,
     [](const service_fields& f) { return optional_json(f.preshutdown_timeout); },
     [](const service_fields& w, const service_fields& c) { return !w.preshutdown_timeout || w.preshutdown_timeout == c.preshutdown_timeout; },
     [](const service_fields&, const service_fields& c) { return c.preshutdown_timeout.has_value(); }},
    {"grants", "grants", false,
     [](const service_fields& f) { return f.grants_told ? grants_json(f.grants) : json(nullptr); },
     [](const service_fields& w, const service_fields& c) { return grants_held(w.grants, c.grants); },
     [](const service_fields&, const service_fields& c) { return c.grants_told; }},
    {"event_source", "event source", false,
     [](const service_fields& f) { return json(f.event_source); }, nullptr, always_told},
};
// clang-format on

// A value as a line of text shows it.
std::string text_of(const json& value) {
    if (value.is_null()) {
        return "(none)";
    }
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "yes" : "no";
    }
    if (value.is_array()) {
        std::string text;
        for (const json& element : value) {
            text += (text.empty() ? "" : ", ") + text_of(element);
        }
        return text.empty() ? "(none)" : text;
    }
    if (value.is_object() && value.contains("path")) {
        return text_of(value["account"]) + " " + text_of(value["access"]) + " " +
               text_of(value["path"]);
    }
    if (value.is_object() && value.contains("actions")) {
        return text_of(value["actions"]) + "; counted again after " +
               value["reset_seconds"].dump() + " s";
    }
    if (value.is_object() && value.contains("type")) {
        return value["type"] == "restart" ? "restart after " + value["delay_ms"].dump() + " ms"
                                          : "nothing";
    }
    return value.dump();
}

} // namespace

const char* start_name(platform::service_start start) {
    static const char* const names[] = {"auto", "delayed", "manual", "disabled"};
    return names[static_cast<int>(start)];
}

const char* access_name(platform::file_access access) {
    return access == platform::file_access::modify ? "modify" : "read";
}

bool grant_held(const std::vector<file_grant>& held, const file_grant& grant) {
    return std::any_of(held.begin(), held.end(), [&grant](const file_grant& h) {
        return same_text(h.path, grant.path) && same_text(h.account, grant.account) &&
               access_covers(h.access, grant.access);
    });
}

std::vector<field_change> changed_fields(const service_fields& wanted,
                                         const service_fields* current) {
    std::vector<field_change> changes;
    for (const field_rule& rule : field_rules) {
        json to = rule.value(wanted);
        if (current != nullptr) {
            if (!rule.told(wanted, *current) ||
                (rule.same != nullptr ? rule.same(wanted, *current) : to == rule.value(*current))) {
                continue;
            }
        }
        // A field not asked for (a preshutdown timeout without a stop_timeout) is not set.
        if (to.is_null()) {
            continue;
        }
        json from = current != nullptr ? rule.value(*current) : json(nullptr);
        std::string text = std::string(rule.words) + ": " + text_of(from) + " -> " + text_of(to);
        changes.push_back(
            {rule.name, std::move(from), std::move(to), rule.restart_required, std::move(text)});
    }
    return changes;
}

std::vector<std::string> untold_fields(const service_fields& wanted,
                                       const service_fields& current) {
    std::vector<std::string> untold;
    for (const field_rule& rule : field_rules) {
        if (!rule.told(wanted, current) && !rule.value(wanted).is_null()) {
            untold.push_back(rule.words);
        }
    }
    return untold;
}

json fields_json(const service_fields& fields) {
    json object = json::object();
    for (const field_rule& rule : field_rules) {
        object[rule.name] = rule.value(fields);
    }
    return object;
}
