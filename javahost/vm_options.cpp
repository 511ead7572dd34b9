#include "javahost/vm_options.h"

#include <algorithm>
#include <cstdint>

#include "javahost/class_path.h"
#include "platform/path_list.h"
#include "platform/vm_option_text.h"

namespace {

// Settings files separate class path entries with ";" on every system, and the generated
// class-path option keeps that form. A VM whose own separator differs would read the whole
// list as one missing path.
std::string with_vm_separators(const std::string& option) {
    if (platform::path_list_separator == ';' || !is_class_path_option(option)) {
        return option;
    }
    std::string translated = option;
    std::replace(translated.begin() +
                     static_cast<std::ptrdiff_t>(sizeof class_path_option_prefix - 1),
                 translated.end(), ';', platform::path_list_separator);
    return translated;
}

} // namespace

bool vm_option_texts(const std::list<std::string>& options, std::list<std::string>& texts,
                     std::string& problem) {
    for (const std::string& option : options) {
        std::string text;
        std::string unpassable;
        if (!platform::vm_option_text(with_vm_separators(option), text, unpassable)) {
            problem =
                unpassable_option_message(option, unpassable, platform::vm_option_code_page());
            return false;
        }
        texts.push_back(std::move(text));
    }
    return true;
}

std::string unpassable_option_message(const std::string& option, const std::string& character,
                                      std::uint32_t code_page) {
    return "the option \"" + option + "\" holds \"" + character +
           "\", which this system's code page (" + std::to_string(code_page) +
           ") cannot pass to the Java VM; use a path without it, or a system code page that "
           "holds it.";
}
