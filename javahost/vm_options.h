// The configured options as the Java VM is given them.
#pragma once

#include <cstdint>
#include <list>
#include <string>

// Each of `options`, in order, as the Java VM reads it on this system, into `texts`: the
// class path's separators translated where the VM's own differ from the settings' ";", the
// text in the code page in which the VM reads its options (platform/vm_option_text.h).
// False at the first option that holds a character the VM cannot be given: `problem` then
// says so, in the words of the host's line without its "error: " (see
// unpassable_option_message), and `texts` holds the options before it.
bool vm_option_texts(const std::list<std::string>& options, std::list<std::string>& texts,
                     std::string& problem);

// "the option "OPTION" holds "C", which this system's code page (CODE_PAGE) cannot pass to
// the Java VM; use a path without it, or a system code page that holds it."
std::string unpassable_option_message(const std::string& option, const std::string& character,
                                      std::uint32_t code_page);
