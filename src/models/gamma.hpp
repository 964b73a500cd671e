#pragma once
// The gamma function of the gamma-based models, by Lanczos' series with six coefficients.
// It is not exact at whole numbers: GAMMA(1) is about 3.4e-11 below 1, GAMMA(2) 7.8e-11 below.

namespace reduz {

double GAMMA(double x);

}  // namespace reduz
