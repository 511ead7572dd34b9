#include "bench/bare_parse.h"

#include <fstream>
#include <new>

#include <expat.h>

bool bare_expat_parse(const std::string& path) {
    constexpr std::streamsize chunk = 4096;
    const XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) {
        throw std::bad_alloc();
    }
    std::ifstream file(path.c_str());
    char buffer[chunk];
    bool well_formed = true;
    while (well_formed && !file.eof()) {
        file.read(buffer, chunk);
        const std::streamsize count = file.gcount();
        well_formed = XML_Parse(parser, buffer, static_cast<int>(count),
                                count < chunk ? XML_TRUE : XML_FALSE) != XML_STATUS_ERROR;
    }
    XML_ParserFree(parser);
    return well_formed;
}
