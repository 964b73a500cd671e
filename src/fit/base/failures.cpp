#include "fit/base/failures.hpp"

#include <string>

namespace reduz::fit {

// The report is one line of text: a line end, a NUL or another control byte of a value or a
// file's name is shown by its escape ("\n", "\x00") rather than ending the line or the text.
std::string visible(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            constexpr char hex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += hex[byte >> 4];
            shown += hex[byte & 0xF];
        }
    }
    return shown;
}

void failInput(std::string_view file, long line, long column, std::string_view message) {
    std::string text(file);
    if (line > 0) text += ":" + std::to_string(line);
    if (line > 0 && column > 0) text += ":" + std::to_string(column);
    text += ": ";
    text += message;
    throw InputError(visible(text));
}

}  // namespace reduz::fit
