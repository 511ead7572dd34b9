#include "tools/settings_check/warning_report.h"

#include <nlohmann/json.hpp>

void print_warnings(std::ostream& out, const std::string& path,
                    const std::vector<settings_warning>& warnings) {
    for (const settings_warning& warning : warnings) {
        out << warning_line(path, warning) << '\n';
    }
}

std::string with_warnings_json(const std::string& document,
                               const std::vector<settings_warning>& warnings) {
    using json = nlohmann::ordered_json;
    json list = json::array();
    for (const settings_warning& warning : warnings) {
        list.push_back({{"line", warning.line},
                        {"column", warning.column},
                        {"kind", warning.kind},
                        {"message", warning.message}});
    }
    json object = json::parse(document);
    object["warnings"] = std::move(list);
    // A message quotes the file's bytes, which need not be UTF-8.
    return object.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
