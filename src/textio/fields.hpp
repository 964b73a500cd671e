#pragma once
// Number fields of the layout strings.
//
//   renderFixed(0.25, 9, 4)   -> "    .2500"     renderFixed(-0.00005, 9, 4) -> "   -.0001"
//   renderFixed(0.125, 9, 2)  -> "      .13"     renderFixed(10000.0, 9, 4)  -> "*********"
//   renderFixed(inf, 9, 2)    -> "1#INF...."     renderInteger(1000, 3)      -> "***"

#include <cstdint>
#include <string>

namespace reduz {

// The Fw.d field of a 64-bit real: exactly w characters, written to out[0..w).
void renderFixedInto(char* out, double value, int w, int d);
// The Iw field of a 32-bit integer: exactly w characters, written to out[0..w).
void renderIntegerInto(char* out, std::int32_t value, int w);

// The same as text.
std::string renderFixed(double value, int w, int d);
std::string renderInteger(std::int32_t value, int w);

}  // namespace reduz
