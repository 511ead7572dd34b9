#include "settings/variable_expansion.h"

bool is_variable_name(const std::string& name) {
    return !name.empty() && name.find('=') == std::string::npos;
}

std::string expand_variables(const std::string& value,
                             const std::function<std::string(const std::string&)>& lookup) {
    std::string expanded;
    std::string::size_type at = 0;
    while (at < value.size()) {
        const std::string::size_type dollar = value.find('$', at);
        if (dollar == std::string::npos || dollar + 1 == value.size()) {
            expanded.append(value, at, std::string::npos);
            break;
        }
        expanded.append(value, at, dollar - at);
        const char next = value[dollar + 1];
        const std::string::size_type close =
            next == '{' ? value.find('}', dollar + 2) : std::string::npos;
        if (next == '$') {
            expanded += '$';
            at = dollar + 2;
        } else if (close != std::string::npos &&
                   is_variable_name(value.substr(dollar + 2, close - dollar - 2))) {
            expanded += lookup(value.substr(dollar + 2, close - dollar - 2));
            at = close + 1;
        } else {
            expanded += '$';
            at = dollar + 1;
        }
    }
    return expanded;
}
