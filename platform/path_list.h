// How the system separates the entries of a path list, such as the Java class path.
#pragma once

namespace platform {

#ifdef _WIN32
constexpr char path_list_separator = ';';
#else
constexpr char path_list_separator = ':';
#endif

} // namespace platform
