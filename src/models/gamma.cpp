#include "models/gamma.hpp"

#include "models/math_functions.hpp"

namespace reduz {

double GAMMA(double x) {
    static constexpr double c[6] = {76.18009173,  -86.50532033,  24.01409822,
                                    -1.231739516, 0.120858003e-2, -0.536382e-5};
    // Each intermediate is stored as a 64-bit value, as the series was first written.
    double y = assign(Real(x) - 1.0);
    double t = assign(Real(y) + 5.5);
    t = assign((Real(y) + 0.5) * log(Real(t)) - t);
    double ser = 1.0;
    for (const double coefficient : c) {
        y = assign(Real(y) + 1.0);
        ser = assign(Real(ser) + Real(coefficient) / y);
    }
    return assign(exp(Real(t) + log(Real(2.50662827465) * ser)));
}

}  // namespace reduz
