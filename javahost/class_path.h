// The class path builder: turns the class_path setting into the Java VM's class path.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "settings/settings.h"

// The text that begins the class-path option of the Java VM.
constexpr char class_path_option_prefix[] = "-Djava.class.path=";

// The non-empty ";"-separated items of a class_path setting (or of the class path the
// builder makes), in order.
std::vector<std::string> class_path_items(const std::string& class_path);

// Expands the ";"-separated items of `class_path`: an item ending in "*" stands for the
// ".jar" files that a listing of prefix + "*" finds; any other item is kept verbatim.
// Every emitted path is followed by ";". Empty items are dropped.
std::string build_class_path(const std::string& class_path);

// Appends to `paths` prefix + name for every non-directory entry that a listing of
// prefix + "*" yields and whose joined path ends in ".jar" (case-sensitively).
void collect_jar_files(const std::string& prefix, std::list<std::string>& paths);

// "-Djava.class.path=" followed by `class_path`, nothing added or removed.
std::string make_class_path_option(const std::string& class_path);

// True for an option that sets the class path (begins "-Djava.class.path=").
bool is_class_path_option(const std::string& option);

// When the record names a class path: expands it (relative items against the current
// directory) and appends its option after every option of the file.
void add_class_path_option(settings_record& record);
