#include "tools/settings_check/jvm_report.h"

#include <cstdio>

#include "javahost/java_vm.h"
#include "settings/visible_text.h"

namespace {

using json = nlohmann::ordered_json;

const char* kind_name(platform::path_kind kind) {
    switch (kind) {
    case platform::path_kind::file:
        return "file";
    case platform::path_kind::directory:
        return "folder";
    default:
        return "missing";
    }
}

// "name the bin\server\jvm.dll of a 64-bit x86 JDK or JRE".
std::string what_to_name() {
    const char* architecture = architecture_name(loadable_format().machine);
    return std::string("name the ") + platform::jvm_library_in_runtime + " of a " +
           (architecture != nullptr ? std::string(architecture) + " " : std::string()) +
           "JDK or JRE";
}

void print_hints(std::ostream& out, const std::vector<platform::jvm_location>& hints) {
    for (const platform::jvm_location& hint : hints) {
        out << "note: a Java VM library is at " << visible(hint.path) << " ("
            << visible(hint.source) << ")\n";
    }
}

void print_missing_import(std::ostream& out, const std::string& note,
                          const load_diagnosis& diagnosis) {
    out << note << "it imports ";
    for (std::size_t i = 0; i + 1 < diagnosis.missing_import.size(); ++i) {
        out << visible(diagnosis.missing_import[i]) << ", which imports ";
    }
    const std::string& missing = diagnosis.missing_import.back();
    out << visible(missing) << ", which is in none of the folders searched:\n";
    for (const std::string& folder : diagnosis.searched_folders) {
        out << "  " << visible(folder) << '\n';
    }
    out << note << "copy " << visible(missing)
        << " into the runtime's folder from a complete copy of the same runtime, or install "
           "what it belongs to (Microsoft's Visual C++ Redistributable for vcruntime140*.dll "
           "and msvcp140*.dll)\n";
}

// What the file is, and what follows from that.
void print_file_facts(std::ostream& out, const std::string& note, const load_diagnosis& diagnosis) {
    if (!diagnosis.names_folder) {
        out << note
            << "the path names no folder, so the system looked for the name along its "
               "search order; "
            << what_to_name() << " by its full path\n";
    } else if (diagnosis.kind == platform::path_kind::missing) {
        out << note << "there is no such file; " << what_to_name() << '\n';
    } else if (diagnosis.kind == platform::path_kind::directory) {
        out << note << "this is a folder; " << what_to_name() << '\n';
    } else if (!diagnosis.readable) {
        out << note << "the file exists but cannot be read; check its permissions\n";
    } else if (!diagnosis.loadable) {
        out << note << "the file is " << describe(diagnosis.format) << "; orvo loads only "
            << describe(loadable_format()) << ": " << what_to_name() << '\n';
    } else {
        out << note << "the file is " << describe(diagnosis.format) << ", the kind orvo loads\n";
        if (!diagnosis.missing_import.empty()) {
            print_missing_import(out, note, diagnosis);
        } else if (diagnosis.imports_walked) {
            out << note << "every DLL that it needs was found in the folders searched\n";
        }
    }
}

json format_json(const load_diagnosis& diagnosis) {
    if (!diagnosis.readable) {
        return nullptr;
    }
    static const char* const families[] = {"none", "pe", "elf"};
    const binary_format& format = diagnosis.format;
    const char* architecture = architecture_name(format.machine);
    char code[24];
    std::snprintf(code, sizeof code, "machine 0x%04x", format.machine_code);
    json object;
    object["family"] = families[static_cast<int>(format.family)];
    object["library"] = format.library;
    const bool known = format.family != binary_family::none;
    object["machine"] =
        !known ? json(nullptr) : json(architecture != nullptr ? architecture : code);
    object["bits"] = known && format.bits != 0 ? json(format.bits) : json(nullptr);
    object["description"] = describe(format);
    return object;
}

json hints_json(const std::vector<platform::jvm_location>& hints) {
    json list = json::array();
    for (const platform::jvm_location& hint : hints) {
        list.push_back({{"path", hint.path}, {"source", hint.source}});
    }
    return list;
}

} // namespace

void print_load_diagnosis(std::ostream& out, const load_diagnosis& diagnosis) {
    const std::string note = visible(diagnosis.path) + ": note: ";
    if (!diagnosis.system_message.empty()) {
        out << note << "the system says: " << visible(diagnosis.system_message) << '\n';
    }
    print_file_facts(out, note, diagnosis);
    print_hints(out, diagnosis.hints);
}

void explain_jvm_failure(std::ostream& out, const settings_record& record,
                         const start_check_result& result) {
    if (result.created == create_no_library) {
        print_load_diagnosis(out, diagnose_load_failure(record.dll_path, result.load_error));
    } else if (result.created == create_no_entry_point) {
        out << visible(record.dll_path)
            << ": note: the library loads but has no JNI_CreateJavaVM, so it is not a Java VM "
               "library; "
            << what_to_name() << '\n';
        print_hints(out, jvm_hints(record.dll_path));
    }
}

json load_diagnosis_json(const load_diagnosis& diagnosis) {
    json object;
    object["message"] = diagnosis.system_message;
    object["names_folder"] = diagnosis.names_folder;
    object["file"] = diagnosis.names_folder ? json(kind_name(diagnosis.kind)) : json(nullptr);
    object["format"] = format_json(diagnosis);
    object["loadable"] = diagnosis.loadable;
    object["imports_searched"] = diagnosis.imports_walked;
    object["missing_import"] = diagnosis.missing_import;
    object["searched_folders"] = diagnosis.searched_folders;
    object["hints"] = hints_json(diagnosis.hints);
    return object;
}
