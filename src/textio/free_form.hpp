#pragma once
// One free-form read statement over a list of numeric targets.
//
//   "3 1"      into (model, kind)   -> 3, 1
//   "/"        into (sill, range)   -> both unchanged (their defaults survive)
//   ", 30"     into (sill, range)   -> sill unchanged, range 30.0
//   "2*0.5"    into (sill, range)   -> 0.5, 0.5
//   "16#32"    into (maxLag)        -> 50
//   "50."      into (maxLag)        -> F6101

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <variant>

#include "textio/text_source.hpp"

namespace reduz {

// A target and its name, which a failure report gives when the input ends before its value:
//   {&p.maxLag, "maxLag"} -> "- end of file encountered: 'maxLag' has no value (PARAMETER.TXT has 2 lines)"
struct ReadTarget {
    ReadTarget() = default;
    ReadTarget(std::int32_t* integer, std::string_view targetName = {}) : place(integer), name(targetName) {}
    ReadTarget(double* real, std::string_view targetName = {}) : place(real), name(targetName) {}
    std::variant<std::int32_t*, double*> place;
    std::string_view name;
};

void readFreeForm(TextSource& source, std::span<const ReadTarget> targets);
inline void readFreeForm(TextSource& source, std::initializer_list<ReadTarget> targets) {
    readFreeForm(source, std::span<const ReadTarget>(targets.begin(), targets.size()));
}

}  // namespace reduz
