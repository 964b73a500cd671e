#include "fit/base/failures.hpp"

#include <string>

namespace reduz::fit {

void failInput(std::string_view file, long line, long column, std::string_view message) {
    std::string text(file);
    if (line > 0) text += ":" + std::to_string(line);
    if (line > 0 && column > 0) text += ":" + std::to_string(column);
    text += ": ";
    text += message;
    throw InputError(text);
}

}  // namespace reduz::fit
