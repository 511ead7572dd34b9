// Java VM options on POSIX systems: the bytes pass as they are.
#include "platform/vm_option_text.h"

namespace platform {

bool vm_option_text(const std::string& option, std::string& text, std::string& /*unpassable*/) {
    text = option;
    return true;
}

std::uint32_t vm_option_code_page() {
    return 0;
}

} // namespace platform
