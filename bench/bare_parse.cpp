#include "bench/bare_parse.h"

#include "settings/exceptions.h"
#include "settings/xml_stream.h"

namespace {

class no_handler : public xml_handler {
  public:
    void on_start_element(const XML_Char*, const XML_Char**) override {}
    void on_end_element(const XML_Char*) override {}
    void on_character_data(const XML_Char*, int) override {}
};

} // namespace

bool bare_expat_parse(const std::string& path) {
    no_handler handler;
    xml_stream stream(handler);
    try {
        stream.parse_file(path);
    } catch (const MXML::SyntaxException&) {
        return false;
    }
    return true;
}
