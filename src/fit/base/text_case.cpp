#include "fit/base/text_case.hpp"

#include <algorithm>

namespace reduz::fit {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool endsIgnoringCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && sameIgnoringCase(text.substr(text.size() - ending.size()), ending);
}

}  // namespace reduz::fit
