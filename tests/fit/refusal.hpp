#pragma once
// What a reader refuses: the text of the InputError a reading throws, "" when it throws none.

#include <string>

#include "fit/base/failures.hpp"

namespace reduz::testing {

template <typename Read>
std::string refusal(Read read) {
    try {
        read();
    } catch (const reduz::fit::InputError& e) {
        return e.what();
    }
    return "";
}

}  // namespace reduz::testing
