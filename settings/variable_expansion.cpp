#include "settings/variable_expansion.h"

namespace {

// The piece that the "$" at `dollar` begins.
value_piece piece_at(const std::string& value, std::size_t dollar) {
    const char next = dollar + 1 < value.size() ? value[dollar + 1] : '\0';
    if (next == '$') {
        return {value_piece::kind::dollar, "$$", dollar};
    }
    const std::size_t close = next == '{' ? value.find('}', dollar + 2) : std::string::npos;
    if (close != std::string::npos && close > dollar + 2) {
        std::string name = value.substr(dollar + 2, close - dollar - 2);
        if (name.find('=') == std::string::npos) {
            return {value_piece::kind::reference, std::move(name), dollar};
        }
    }
    return {value_piece::kind::loose, "$", dollar};
}

std::size_t length_of(const value_piece& piece) {
    return piece.what == value_piece::kind::reference ? piece.text.size() + 3 : piece.text.size();
}

} // namespace

std::vector<value_piece> value_pieces(const std::string& value) {
    std::vector<value_piece> pieces;
    std::size_t at = 0;
    while (at < value.size()) {
        const std::size_t dollar = value.find('$', at);
        if (dollar != at) {
            const std::size_t end = dollar == std::string::npos ? value.size() : dollar;
            pieces.push_back({value_piece::kind::text, value.substr(at, end - at), at});
            at = end;
            continue;
        }
        pieces.push_back(piece_at(value, dollar));
        at += length_of(pieces.back());
    }
    return pieces;
}

std::string expand_variables(const std::string& value,
                             const std::function<std::string(const std::string&)>& lookup) {
    std::string expanded;
    for (const value_piece& piece : value_pieces(value)) {
        switch (piece.what) {
        case value_piece::kind::reference:
            expanded += lookup(piece.text);
            break;
        case value_piece::kind::dollar:
        case value_piece::kind::loose:
            expanded += '$';
            break;
        case value_piece::kind::text:
            expanded += piece.text;
            break;
        }
    }
    return expanded;
}
