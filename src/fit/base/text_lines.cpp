#include "fit/base/text_lines.hpp"

namespace reduz::fit {

std::size_t lineEnd(std::string_view text) {
    // A byte at a time: find_first_of searches the two ends' set once for every byte.
    std::size_t end = 0;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    return end;
}

std::size_t lineLength(std::string_view text) {
    const std::size_t end = lineEnd(text);
    if (end == text.size()) return end;
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
