// The text of a Java VM creation option as the VM reads it.
//
// A Java VM on Windows reads the strings of JNI_CreateJavaVM's options in the system's ANSI
// code page (the class path included), while orvo carries its text in UTF-8. A character
// that the code page does not hold cannot reach the VM at all: the system's own conversion
// would put a "?" or a look-alike in its place, and the VM would look for a file that is not
// there. Elsewhere the VM takes the bytes as they are.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// `option` (UTF-8) as the Java VM reads it, in `text`. False when the option holds a
// character the VM cannot be given: `unpassable` is then the first such character (UTF-8)
// and `text` is left as it was. Nothing is ever put in place of a character.
bool vm_option_text(const std::string& option, std::string& text, std::string& unpassable);

// The code page in which the Java VM reads its options: Windows' ANSI code page (65001 on a
// system that uses UTF-8 for it); 0 where the VM takes the bytes as they are.
std::uint32_t vm_option_code_page();

} // namespace platform
