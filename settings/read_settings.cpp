#include "settings/read_settings.h"

#include "settings/settings_reader.h"

void read_settings(const std::string& path, settings_record& record, settings_observer* observer) {
    settings_parse_context(record, observer).read_file(path);
}

void read_settings_bytes(const char* data, std::size_t size, std::size_t piece,
                         settings_record& record, settings_observer* observer) {
    settings_parse_context(record, observer).read_bytes(data, size, piece);
}
