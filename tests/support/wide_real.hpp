#pragma once
// Building formula values outside the 64-bit range, for tests of the wide exponent.

#include <cmath>

#include "models/real.hpp"

namespace reduz::testing {

// v * 2^twos, by exact multiplications with powers of two (the exponent may leave the
// 64-bit range).
inline Real scaled(double v, int twos) {
    Real x = v;
    while (twos > 1000) {
        x = x * 0x1p1000;
        twos -= 1000;
    }
    while (twos < -1000) {
        x = x * 0x1p-1000;
        twos += 1000;
    }
    return x * std::ldexp(1.0, twos);
}

}  // namespace reduz::testing
