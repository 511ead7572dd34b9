// The class path builder: turns the class_path setting into the Java VM's class path.
#pragma once

#include <list>
#include <string>

// Expands the ";"-separated items of `class_path`: an item ending in "*" stands for the
// ".jar" files that a listing of prefix + "*" finds; any other item is kept verbatim.
// Every emitted path is followed by ";". Empty items are dropped.
std::string build_class_path(const std::string& class_path);

// Appends to `paths` prefix + name for every non-directory entry that a listing of
// prefix + "*" yields and whose joined path ends in ".jar" (case-sensitively).
void collect_jar_files(const std::string& prefix, std::list<std::string>& paths);

// "-Djava.class.path=" followed by `class_path`, nothing added or removed.
std::string make_class_path_option(const std::string& class_path);
