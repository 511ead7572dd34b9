// What orvo-check --jvm adds when the Java VM library cannot be used: an explanation in
// notes after the service's own line, and the same facts in the JSON document.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "javahost/start_check.h"
#include "settings/settings.h"
#include "tools/settings_check/load_diagnosis.h"

// "PATH: note: ..." lines for a library that could not be loaded or that is not a Java VM
// library; nothing for a later failure, which the service's line and the VM explain.
void explain_jvm_failure(std::ostream& out, const settings_record& record,
                         const start_check_result& result);
void print_load_diagnosis(std::ostream& out, const load_diagnosis& diagnosis);

nlohmann::ordered_json load_diagnosis_json(const load_diagnosis& diagnosis);
