#pragma once
// One valid model of the whole set of transiograms, whichever family gave it: for every
// from-class i and distance h >= 0 (any distance, not only the lags), the row t_i.(h) sums to 1,
// each value lies in [0, 1], t(0) is the identity and t(h) tends to the model's proportions.
// A simulator asks it for any distance; the tables and folders tabulate it at the lags.
//
//   a Markov chain leaving A at 0.5 and B at 0.25 a unit, step 0.5:
//     curveAt(model, A, B, 1.0) -> 2/3 (1 - e^(-0.75))    tabulated(model, A, B) -> at 0, 0.5, 1, ...
//     obtainedOf(model, A, B) -> Obtained::markov
//   a row of catalogue shapes with its auto curve inferred:
//     obtainedOf(model, A, A) -> Obtained::inferred, obtainedOf(model, A, B) -> Obtained::shape

#include <optional>
#include <string_view>
#include <vector>

#include "fit/fitting/markov_rates.hpp"
#include "fit/fitting/row_fits.hpp"
#include "fit/fitting/semi_markov.hpp"

namespace reduz::fit {

enum class Family { shapes, markov, semiMarkov };

// How a curve of the model was obtained.
enum class Obtained { shape, inferred, markov, semiMarkov };

struct ValidModel {
    Family family = Family::markov;
    int classes = 0;
    double step = 1;  // the distance of one lag: shapes take h / step
    int maxLag = 0;   // tabulated at lags 0..maxLag
    std::vector<RowFit> rows;  // shapes: one a from-class
    MarkovRates markov;
    SemiMarkov semiMarkov;
};

// "shapes", "markov", "semi-markov": as --family names them.
std::string_view familyName(Family family);
// The family of that name; none for any other word.
std::optional<Family> familyNamed(std::string_view name);
// "shape", "inferred", "markov", "semi-markov": as fits.csv names them.
std::string_view obtainedName(Obtained obtained);

Obtained obtainedOf(const ValidModel& model, int from, int to);

// The row of `from` at distance h >= 0, [to].
std::vector<double> rowAt(const ValidModel& model, int from, double h);
// Every row at h, [from * classes + to]: a chain's whole matrix at once.
std::vector<double> matrixAt(const ValidModel& model, double h);
double curveAt(const ValidModel& model, int from, int to, double h);

// Where every row tends: the model's class proportions.
std::vector<double> proportionsOf(const ValidModel& model);

// The pair's curve at the lags 0..maxLag.
std::vector<double> tabulated(const ValidModel& model, int from, int to);

// The number of the model's free parameters, for an information criterion.
int parameterCount(const ValidModel& model);

}  // namespace reduz::fit
