#include "fit/base/csv_text.hpp"

namespace reduz::fit {

void appendCsvRow(std::string& text, std::initializer_list<std::string_view> fields) {
    const char* separator = "";
    for (std::string_view field : fields) {
        text += separator;
        text += field;
        separator = ",";
    }
    text += '\n';
}

std::string csvField(std::string_view text) {
    // Blanks at either end would be dropped by a reader that trims, as this program's does.
    const bool plain = text.find_first_of(",\"\r\n") == std::string_view::npos &&
                       (text.empty() || (text.front() != ' ' && text.back() != ' ' && text.front() != '\t' &&
                                         text.back() != '\t'));
    if (plain) return std::string(text);
    std::string quoted(1, '"');
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

}  // namespace reduz::fit
