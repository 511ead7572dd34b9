#include "tools/settings_check/name_suggestions.h"

#include <algorithm>

#include "settings/settings_grammar.h"

namespace {

bool same(const char* a, const std::string& b) {
    return a != nullptr && b == a;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower_case(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), lower);
    return text;
}

// Edits between a and b: insertions, deletions, changes, and swaps of two neighbours.
std::size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// Names people write for a known one out of other tools' habits, too far from it in spelling
// to be found otherwise. Letter case is ignored.
struct alias {
    const char* written;
    const char* meant;
};
const alias aliases[] = {
    {"classname", "class"},
    {"main_class", "class"},
    {"dll", "dll_path"},
    {"jvm_path", "dll_path"},
    {"library", "dll_path"},
    {"cp", "class_path"},
    {"out", "stdout"},
    {"err", "stderr"},
    {"start", "start_method"},
    {"stop", "stop_method"},
    {"param", "start_method_param"},
    {"parameter", "start_method_param"},
    {"arg", "start_method_param"},
    {"argument", "start_method_param"},
    {"java", "jvm"},
    {"environment", "env"},
    {"working_dir", "working_directory"},
    {"workdir", "working_directory"},
    {"cwd", "working_directory"},
};

} // namespace

const char* element_with_attribute(const std::string& element, const std::string& name) {
    for (const attribute_rule& rule : attribute_rules()) {
        if (!same(rule.element, element) && same(rule.name, name)) {
            return rule.element;
        }
    }
    return nullptr;
}

std::string nearest_name(const std::string& name, const std::vector<std::string>& candidates) {
    const std::string written = lower_case(name);
    std::string best;
    std::size_t best_distance = 3;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = edit_distance(written, lower_case(candidate));
        const std::size_t longer = std::max(written.size(), candidate.size());
        if (distance < best_distance && 3 * distance <= longer) {
            best = candidate;
            best_distance = distance;
        }
    }
    if (!best.empty()) {
        return best;
    }
    // A known name with a word after it: "stdout_file", "start_method_name".
    for (const std::string& candidate : candidates) {
        const std::string known = lower_case(candidate);
        if (written.size() > known.size() + 1 && written.compare(0, known.size(), known) == 0 &&
            (written[known.size()] == '_' || written[known.size()] == '-')) {
            return candidate;
        }
    }
    for (const alias& known : aliases) {
        if (written == known.written &&
            std::find(candidates.begin(), candidates.end(), known.meant) != candidates.end()) {
            return known.meant;
        }
    }
    return std::string();
}
