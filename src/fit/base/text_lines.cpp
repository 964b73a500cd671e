#include "fit/base/text_lines.hpp"

namespace reduz::fit {

std::size_t lineLength(std::string_view text) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) return text.size();
    return end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
}

bool endsLine(std::string_view text, std::size_t i) {
    return text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
}

long lineEndsIn(std::string_view text) {
    long ends = 0;
    for (std::size_t i = 0; i < text.size(); ++i) ends += endsLine(text, i);
    return ends;
}

}  // namespace reduz::fit
