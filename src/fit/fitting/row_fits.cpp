#include "fit/fitting/row_fits.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <span>
#include <string>

#include "failure/run_failure.hpp"
#include "fit/base/failures.hpp"
#include "fit/fitting/fit_plans.hpp"
#include "fit/fitting/local_search.hpp"
#include "fit/base/parallel_tasks.hpp"
#include "fit/fitting/pair_fits.hpp"
#include "models/lag_table.hpp"

namespace reduz::fit {

namespace {

using P = ModelParameters;

constexpr int perLag = 8;  // the points checked a lag, a power of 2
// ALFA above 1 keeps the gamma bump at 0 at lag 0; below 31 keeps (h/a)^(ALFA-1) within a
// double out to h = 10^10 a.
constexpr double lowestAlfa = 1.001;
constexpr double highestAlfa = 31;
constexpr double largestWeight = 10;  // as the alone fits keep W
constexpr double roundOff = 1e-13;    // how far outside [0, 1] the sums' round-off may go
constexpr int passes = 3;

bool boundedBySill(int model) { return model >= 1 && model <= 4; }

bool inFamily(const Shape& shape) {
    switch (shape.model) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 7: return true;
        case 9:
        case 10:
        case 11: return shape.kind == 2;
        default: return false;
    }
}

struct Curve {
    const Shape* shape = nullptr;
    ModelParameters p;
};

// A curve's values at h = k step for k = first, first + 1, ...; ok false when the catalogue fails.
struct Sampled {
    ModelParameters p;
    double step = 0;
    long first = 0;
    bool ok = false;
    std::vector<double> values;
};

struct Row {
    int from = 0;
    int remainder = 0;
    int maxLag = 0;
    std::vector<double> p;           // by column, summing to 1
    std::vector<FitPoints> points;   // by column
    double totalWeight = 0;
    long long evaluations = 0;
    // by column, the points checkRow sampled the curve at, for its parameters then: the search
    // moves one curve at a time, and the others' values are taken from here
    std::vector<std::vector<Sampled>> sampled;
};

int kindOf(const Row& row, int column) { return column == row.from ? 1 : 2; }

bool fitted(const Row& row, int column) { return column != row.remainder; }

// The curve at h = k step for k = first, first + 1, ...: the shape at whole lags with its
// lengths over step, a power of 2, which gives the same bits. False when the catalogue fails.
bool valuesAt(Row& row, const Curve& curve, double step, long first, std::span<double> values) {
    ModelParameters q = curve.p;
    q.range /= step;
    q.D /= step;
    ++row.evaluations;
    try {
        evaluateShape(*curve.shape, q, static_cast<std::int32_t>(first), values);
        return true;
    } catch (const RunFailure&) {
        return false;
    }
}

bool same(const ModelParameters& a, const ModelParameters& b) {
    return a.model == b.model && a.kind == b.kind && a.sill == b.sill && a.range == b.range && a.maxLag == b.maxLag &&
           a.D == b.D && a.C == b.C && a.W == b.W && a.ALFA == b.ALFA && a.BETA == b.BETA;
}

// The column's curve at h = k step, k = first..first + count - 1, from what was sampled before
// with the same parameters, step and first point, or evaluated; null when the catalogue fails.
const double* sampleOf(Row& row, int column, const Curve& curve, double step, long first, std::size_t count) {
    if (row.sampled.size() != row.p.size()) row.sampled.resize(row.p.size());
    std::vector<Sampled>& kept = row.sampled[static_cast<std::size_t>(column)];
    if (!kept.empty() && !same(kept.front().p, curve.p)) kept.clear();
    Sampled* entry = nullptr;
    for (Sampled& s : kept) {
        if (s.step == step && s.first == first) entry = &s;
    }
    // a failure within fewer points is one within these
    if (entry != nullptr && (entry->ok ? entry->values.size() >= count : entry->values.size() <= count)) {
        return entry->ok ? entry->values.data() : nullptr;
    }
    if (entry == nullptr) entry = &kept.emplace_back(Sampled{curve.p, step, first, false, {}});
    entry->values.resize(count);
    entry->ok = valuesAt(row, curve, step, first, entry->values);
    return entry->ok ? entry->values.data() : nullptr;
}

// The gamma bump W g(h) of models 9 to 11, from its logarithm.
double bump(const ModelParameters& p, double h) {
    if (!(p.W > 0) || h <= 0) return 0;
    const double x = h / p.range;
    const double logG = std::log(p.W) - x / p.BETA + (p.ALFA - 1) * std::log(x) - std::log(std::tgamma(p.ALFA)) -
                        p.ALFA * std::log(p.BETA);
    return std::exp(logG);
}

// A bound of |t(h) - sill| that does not grow for h at least envelopeStart.
double envelope(const Curve& curve, double h) {
    const ModelParameters& p = curve.p;
    const double away = curve.shape->kind == 1 ? 1 - p.sill : p.sill;
    const double x = h / p.range;
    switch (curve.shape->model) {
        case 1:
        case 2: return h >= p.range ? 0 : away;
        case 3:
        case 7: return away * std::exp(-3 * x);
        case 4: return away * std::exp(-3 * x * x);
        case 9: return p.sill * (bump(p, h) + std::exp(-3 * x));
        case 10: return p.sill * (bump(p, h) + std::exp(-3 * x * x));
        case 11: return p.sill * (bump(p, h) + (h >= p.range ? 0 : 1));
        default: return away;
    }
}

double envelopeStart(const Curve& curve) {
    const ModelParameters& p = curve.p;
    return curve.shape->model >= 9 ? p.range * p.BETA * (p.ALFA - 1) : 0;
}

// The gamma bump's width in lags, a BETA sqrt(ALFA); none for the other shapes.
double bumpWidth(const ModelParameters& p) { return p.range * p.BETA * std::sqrt(p.ALFA); }

// The shortest length over which the curve turns: its range, half wave or bump.
double lengthOf(const Curve& curve) {
    const ModelParameters& p = curve.p;
    switch (curve.shape->model) {
        case 7: return std::min(p.range, p.D);
        case 9:
        case 10:
        case 11: return std::min(p.range, bumpWidth(p));
        default: return p.range;
    }
}

// The curve's distance from t(0) as h -> 0: coefficient k and power q of k h^q.
std::pair<double, double> leadingTerm(const Curve& curve) {
    const ModelParameters& p = curve.p;
    const double away = curve.shape->kind == 1 ? 1 - p.sill : p.sill;
    const int base = curve.shape->model >= 9 ? planOf(*curve.shape).baseModel : curve.shape->model;
    double k = 0, q = 1;
    switch (base) {
        case 1: k = 1 / p.range; break;
        case 2: k = 1.5 / p.range; break;
        case 4: k = 3 / (p.range * p.range), q = 2; break;
        default: k = 3 / p.range; break;  // 3 and 7
    }
    if (curve.shape->model >= 9 && p.W > 0) {
        const double kBump = p.W / (std::tgamma(p.ALFA) * std::pow(p.BETA, p.ALFA) * std::pow(p.range, p.ALFA - 1));
        const double qBump = p.ALFA - 1;
        if (qBump < q) {
            k = kBump, q = qBump;
        } else if (qBump == q) {
            k += kBump;
        }
    }
    return {away * k, q};
}

// With a background remainder, t_ib = (1 - t_ii) - the crosses starts at 0: the auto curve must
// leave 1 faster than the crosses leave 0 together, by its power of h or its coefficient.
bool leavesZeroUpwards(const Row& row, const std::vector<Curve>& curves) {
    if (row.remainder == row.from) return true;
    const auto [kAuto, qAuto] = leadingTerm(curves[static_cast<std::size_t>(row.from)]);
    double qCross = HUGE_VAL, kCross = 0;
    for (int j = 0; j < static_cast<int>(curves.size()); ++j) {
        if (!fitted(row, j) || j == row.from) continue;
        const auto [k, q] = leadingTerm(curves[static_cast<std::size_t>(j)]);
        if (!(k > 0)) continue;
        if (q < qCross) {
            qCross = q, kCross = k;
        } else if (q == qCross) {
            kCross += k;
        }
    }
    return qAuto < qCross || (qAuto == qCross && kAuto > kCross);
}

// Valid at every h by the shapes alone (see the header).
bool proved(const Row& row, const std::vector<Curve>& curves) {
    bool bounded = true, shared = true;
    const Curve* first = nullptr;
    for (int j = 0; j < static_cast<int>(curves.size()); ++j) {
        if (!fitted(row, j)) continue;
        const Curve& c = curves[static_cast<std::size_t>(j)];
        bounded = bounded && boundedBySill(c.shape->model);
        if (first == nullptr) first = &c;
        shared = shared && c.shape->model == first->shape->model && c.p.range == first->p.range;
    }
    return bounded && (row.remainder == row.from || shared);
}

// The first distance from N on beyond which the envelopes keep the row valid; none within
// 64 N + 64 lags.
std::optional<double> tailOf(const Row& row, const std::vector<Curve>& curves) {
    double h = row.maxLag;
    for (int j = 0; j < static_cast<int>(curves.size()); ++j) {
        if (fitted(row, j)) h = std::max(h, envelopeStart(curves[static_cast<std::size_t>(j)]));
    }
    const double farthest = 64.0 * row.maxLag + 64;
    const double pr = row.p[static_cast<std::size_t>(row.remainder)];
    for (; h <= farthest; h = 1.125 * h + 1) {
        double sum = 0;
        bool each = true;
        for (int j = 0; j < static_cast<int>(curves.size()); ++j) {
            if (!fitted(row, j)) continue;
            const double e = envelope(curves[static_cast<std::size_t>(j)], h);
            const double pj = row.p[static_cast<std::size_t>(j)];
            each = each && e <= std::min(pj, 1 - pj);
            sum += e;
        }
        if (each && sum <= std::min(pr, 1 - pr)) return h;
    }
    return std::nullopt;
}

double outside(double v) { return v < -roundOff ? -v : v > 1 + roundOff ? v - 1 : 0; }

struct Check {
    double violation = 0;  // 0: valid
    double tail = 0;
};

// The largest power of 2 at most x.
double powerOfTwoBelow(double x) { return std::exp2(std::floor(std::log2(x))); }

// How far the row goes outside [0, 1] at the points checked, `points` a lag (a power of 2 up to
// perLag), summed, with 1 more for each curve the catalogue cannot evaluate there, for a t(0)
// that is not 1 or 0, for a background remainder that leaves 0 downwards, and for a tail not
// shown valid. A search looks at a long tail more coarsely than the final check.
Check checkRow(Row& row, const std::vector<Curve>& curves, int points, bool searching) {
    Check check{0, static_cast<double>(row.maxLag)};
    if (proved(row, curves)) return check;
    std::vector<double> sum;
    // h = k step, k = first..last, step a power of 2
    const auto sample = [&](double step, long first, long last) {
        first = std::max(first, 0L);
        if (last < first) return;
        const std::size_t count = static_cast<std::size_t>(last - first + 1);
        sum.assign(count, 0.0);
        for (int j = 0; j < static_cast<int>(curves.size()); ++j) {
            if (!fitted(row, j)) continue;
            const double* values = sampleOf(row, j, curves[static_cast<std::size_t>(j)], step, first, count);
            if (values == nullptr) {
                check.violation += 1;
                continue;
            }
            if (first == 0 && values[0] != (kindOf(row, j) == 1 ? 1.0 : 0.0)) check.violation += 1;
            for (std::size_t k = 0; k < count; ++k) {
                check.violation += outside(values[k]);
                sum[k] += values[k];
            }
        }
        for (std::size_t k = 0; k < count; ++k) check.violation += outside(1 - sum[k]);
    };
    if (!leavesZeroUpwards(row, curves)) check.violation += 1;
    for (int e = 4; e <= 40; e += 2) sample(std::exp2(-e), 1, 3);  // near 0: 2^-e to 3 2^-e
    sample(1.0 / points, 0, static_cast<long>(points) * row.maxLag);
    double shortest = HUGE_VAL;
    for (int j = 0; j < static_cast<int>(curves.size()); ++j) {
        if (!fitted(row, j)) continue;
        const Curve& c = curves[static_cast<std::size_t>(j)];
        shortest = std::min(shortest, lengthOf(c));
        if (c.shape->model < 9) continue;
        // around the bump's top, wherever it is
        const double width = bumpWidth(c.p), step = powerOfTwoBelow(width / points);
        const double mode = envelopeStart(c);
        if (step > 0 && std::isfinite(step) && mode / step < 1e9) {
            sample(step, static_cast<long>(std::floor((mode - 2 * width) / step)), static_cast<long>(std::ceil((mode + 2 * width) / step)));
        }
    }
    const std::optional<double> tail = tailOf(row, curves);
    if (!tail) {
        check.violation += 1;
        return check;
    }
    check.tail = *tail;
    if (*tail > row.maxLag) {
        double step = std::max(1.0 / points, powerOfTwoBelow(shortest / points));
        // a search looks at no more than `points` N points of the tail, the final check at them all
        while (searching && (*tail - row.maxLag) / step > static_cast<double>(points) * row.maxLag) step *= 2;
        if ((*tail - row.maxLag) / step > 64.0 * perLag * (row.maxLag + 1)) {
            check.violation += 1;
            return check;
        }
        sample(step, static_cast<long>(std::floor(row.maxLag / step)) + 1, static_cast<long>(std::ceil(*tail / step)));
    }
    return check;
}

// The curve at lags 1..N; false when the catalogue fails.
bool atLags(Row& row, const Curve& curve, std::vector<double>& values) {
    values.resize(static_cast<std::size_t>(row.maxLag));
    ++row.evaluations;
    try {
        evaluateShape(*curve.shape, curve.p, 1, values);
        return true;
    } catch (const RunFailure&) {
        return false;
    }
}

// Support-weighted squares over lags 1..N of every fitted curve and of the remainder.
double rowSquares(const Row& row, const std::vector<std::vector<double>>& values) {
    double sum = 0;
    const FitPoints& rest = row.points[static_cast<std::size_t>(row.remainder)];
    for (std::size_t k = 0; k < static_cast<std::size_t>(row.maxLag); ++k) {
        double remainder = 1;
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (!fitted(row, static_cast<int>(j))) continue;
            const double r = row.points[j].measured[k] - values[j][k];
            sum += row.points[j].weights[k] * r * r;
            remainder -= values[j][k];
        }
        const double r = rest.measured[k] - remainder;
        sum += rest.weights[k] * r * r;
    }
    return sum;
}

// The parameters a curve's search moves: its plan's, ALFA within the family's bounds, and W.
std::vector<Moved> movedFor(const Shape& shape, int maxLag) {
    std::vector<Moved> moved;
    const FitPlan& plan = planOf(shape);
    for (Axis axis : movedAxes(plan)) {
        Moved m = movedOf(axis, maxLag);
        if (axis == Axis::alfa) {
            m.low = lowestAlfa;
            m.high = highestAlfa;
        }
        moved.push_back(m);
    }
    if (plan.linear == Linear::gammaSill) moved.push_back(Moved{&P::W, 0, largestWeight, false, {}, nullptr});
    return moved;
}

double valueOf(const Moved& m, double x) { return m.logarithmic ? std::exp(x) : x; }
double axisOf(const Moved& m, double value) { return m.logarithmic ? std::log(value) : value; }

void setFrom(const std::vector<Moved>& moved, std::span<const double> x, ModelParameters& p) {
    for (std::size_t i = 0; i < moved.size(); ++i) {
        const Moved& m = moved[i];
        p.*m.parameter = std::clamp(valueOf(m, x[i]), m.low, m.high);
        if (m.per != nullptr) p.*m.parameter /= p.*m.per;
    }
}

std::vector<double> axesOf(const std::vector<Moved>& moved, const ModelParameters& p) {
    std::vector<double> x;
    for (const Moved& m : moved) {
        const double value = m.per != nullptr ? p.*m.parameter * p.*m.per : p.*m.parameter;
        x.push_back(axisOf(m, std::clamp(value, m.low, m.high)));
    }
    return x;
}

// The search's cheap look at the row: how far it goes outside [0, 1] at lags 1..N (the values
// the squares take, so nothing more is evaluated), with 1 more for a background remainder that
// leaves 0 downwards and for a tail not shown valid. What lies between the lags and beyond N is
// left to checkRow on the row the search ends at.
double violationAtLags(const Row& row, const std::vector<Curve>& curves, const std::vector<std::vector<double>>& values) {
    if (proved(row, curves)) return 0;
    double violation = (leavesZeroUpwards(row, curves) ? 0 : 1) + (tailOf(row, curves) ? 0 : 1);
    for (std::size_t k = 0; k < static_cast<std::size_t>(row.maxLag); ++k) {
        double sum = 0;
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (!fitted(row, static_cast<int>(j))) continue;
            violation += outside(values[j][k]);
            sum += values[j][k];
        }
        violation += outside(1 - sum);
    }
    return violation;
}

// One curve's parameters moved, the rest of the row held.
struct Search {
    Row& row;
    std::vector<Curve>& curves;
    std::vector<std::vector<double>>& values;  // each fitted curve at lags 1..N
    int moving = 0;
    std::vector<Moved> moved;
    double penalty = 0;
    int dense = 0;  // above 0, the penalty checkRow's at this many points a lag; else violationAtLags's
};

double violationOf(Search& s) {
    return s.dense > 0 ? checkRow(s.row, s.curves, s.dense, true).violation : violationAtLags(s.row, s.curves, s.values);
}

double rowObjective(Search& s, std::span<const double> x) {
    Curve& curve = s.curves[static_cast<std::size_t>(s.moving)];
    setFrom(s.moved, x, curve.p);
    if (!atLags(s.row, curve, s.values[static_cast<std::size_t>(s.moving)])) return HUGE_VAL;
    const double value = rowSquares(s.row, s.values) + s.penalty * violationOf(s);
    return std::isfinite(value) ? value : HUGE_VAL;
}

double objective(unsigned n, const double* x, double*, void* data) {
    return rowObjective(*static_cast<Search*>(data), std::span<const double>(x, n));
}

struct Refined {
    std::vector<Curve> curves;
    Check check;
    SearchSummary search;
    std::vector<int> results;
};

// Coordinate passes over the row's curves from `start`, each curve's moved parameters searched
// against the whole row, with the penalty at the lags or, `dense` above 0, at checkRow's points
// with that many a lag.
Refined refine(Row& row, std::vector<Curve> start, int dense) {
    Refined out{std::move(start), {}, {}, {}};
    std::vector<std::vector<double>> values(out.curves.size());
    for (std::size_t j = 0; j < out.curves.size(); ++j) {
        if (fitted(row, static_cast<int>(j)) && !atLags(row, out.curves[j], values[j])) {
            out.check.violation = HUGE_VAL;
            return out;
        }
    }
    const double penalty = 100 * (row.totalWeight + 1);
    double best = rowSquares(row, values) + penalty * (dense > 0 ? checkRow(row, out.curves, dense, true).violation
                                                             : violationAtLags(row, out.curves, values));
    for (int pass = 0; pass < passes; ++pass) {
        const double before = best;
        for (int j = 0; j < static_cast<int>(out.curves.size()); ++j) {
            if (!fitted(row, j)) continue;
            Curve& curve = out.curves[static_cast<std::size_t>(j)];
            Search s{row, out.curves, values, j, movedFor(*curve.shape, row.maxLag), penalty, dense};
            if (s.moved.empty()) continue;
            const Curve kept = curve;
            const std::vector<double> keptValues = values[static_cast<std::size_t>(j)];
            std::vector<double> x = axesOf(s.moved, curve.p), low, high, step;
            for (const Moved& m : s.moved) {
                low.push_back(axisOf(m, m.low));
                high.push_back(axisOf(m, m.high));
                step.push_back(m.logarithmic ? 0.3 : 0.1 * (m.high - m.low));
            }
            const unsigned dimension = static_cast<unsigned>(x.size());
            const SearchBox box{low, high, step, 1e-4, 1e-8, static_cast<int>(60 + 90 * dimension)};
            const int result = searchLocally(box, objective, &s, x, shapeName(*curve.shape));
            out.results.push_back(result);
            out.search.result = result;
            ++out.search.searches;
            const double value = rowObjective(s, x);
            if (value <= best) {
                best = value;
            } else {  // the search's best point is the start's: keep it as it was
                curve = kept;
                values[static_cast<std::size_t>(j)] = keptValues;
            }
        }
        if (!(before - best > 1e-3 * before)) break;
    }
    out.check = checkRow(row, out.curves, perLag, false);
    return out;
}

// reduzmodel's parameters of a shape with the sill p and range a; the rest at the defaults.
Curve curveOf(const Shape& shape, int maxLag, double sill, double range) {
    Curve c{&shape, {}};
    c.p.model = shape.model;
    c.p.kind = shape.kind;
    c.p.maxLag = maxLag;
    c.p.sill = sill;
    c.p.range = range;
    if (const Question* question = questionOf(shape.model)) {
        for (std::size_t a = 0; a < question->count; ++a) c.p.*question->asked[a].parameter = defaultOf(question->asked[a], c.p);
    }
    return c;
}

struct Alone {
    Curve curve;
    SearchSummary search;
    long long evaluations = 0;  // of every alone fit of the column
};

// A shape fitted alone to a column, and its search.
struct Tried {
    AloneFit fit;
    SearchSummary search;
};

// The column's candidates fitted alone with the sill p_j, the least AIC kept; an unmeasured
// column takes the first candidate with a range of N / 3, which the row's remainder then fits.
// A shape in `tried` is not fitted again.
Alone bestAlone(const Row& row, int column, const std::vector<const Shape*>& shapes, std::vector<Tried>& tried,
                long long& evaluations) {
    const FitPoints& points = row.points[static_cast<std::size_t>(column)];
    const double pj = row.p[static_cast<std::size_t>(column)];
    Alone best{curveOf(*shapes.front(), row.maxLag, pj, std::max(row.maxLag / 3.0, 1.0)), {}, 0};
    if (measuredLags(points) == 0) return best;
    // A long curve fitted at every m-th lag, m a power of 2 that keeps 32 lags: the shape at lag
    // k m is the shape at lag k with its lengths over m, so the fit's lengths times m start the
    // row's search, which then takes every lag.
    int m = 1;
    while (row.maxLag / (2 * m) >= 32) m *= 2;
    FitPoints every;
    for (std::size_t k = static_cast<std::size_t>(m); k <= static_cast<std::size_t>(row.maxLag); k += static_cast<std::size_t>(m)) {
        every.measured.push_back(points.measured[k - 1]);
        every.weights.push_back(points.weights[k - 1]);
    }
    if (measuredLags(every) < 16) m = 1;
    double least = HUGE_VAL;
    for (const Shape* shape : shapes) {
        auto t = std::find_if(tried.begin(), tried.end(), [&](const Tried& x) { return x.fit.shape == shape; });
        if (t == tried.end()) {
            const ShapeFit fit = fitShape(*shape, m > 1 ? every : points, pj, 1);
            evaluations += fit.evaluations;
            ModelParameters p = fit.parameters;
            p.range *= m;
            p.D *= m;
            p.maxLag = row.maxLag;
            t = tried.insert(tried.end(), Tried{AloneFit{shape, fit.failure.empty(), fit.aic, p}, fit.search});
        }
        if (!t->fit.ok || !(t->fit.aic < least)) continue;
        least = t->fit.aic;
        best.curve = Curve{shape, t->fit.parameters};
        best.search = t->search;
    }
    best.evaluations = evaluations;
    best.curve.p.sill = pj;  // not 1 - (1 - p), which the auto shapes' fit gives
    best.curve.p.ALFA = std::clamp(best.curve.p.ALFA, lowestAlfa, highestAlfa);
    return best;
}

// Every curve one shape with one range, searched against the row.
Refined sharedRange(Row& row, const Shape& crossShape) {
    const Shape& autoShape = *findShape(1, crossShape.model);
    const auto curvesAt = [&](double range) {
        std::vector<Curve> curves(row.p.size());
        for (std::size_t j = 0; j < curves.size(); ++j) {
            if (!fitted(row, static_cast<int>(j))) continue;
            curves[j] = curveOf(kindOf(row, static_cast<int>(j)) == 1 ? autoShape : crossShape, row.maxLag, row.p[j], range);
        }
        return curves;
    };
    struct Shared {
        Row& row;
        const decltype(curvesAt)& at;
    };
    const SearchObjective squares = [](unsigned, const double* x, double*, void* data) {
        Shared& s = *static_cast<Shared*>(data);
        const std::vector<Curve> curves = s.at(std::exp(x[0]));
        std::vector<std::vector<double>> values(curves.size());
        for (std::size_t j = 0; j < curves.size(); ++j) {
            if (curves[j].shape != nullptr && !atLags(s.row, curves[j], values[j])) return HUGE_VAL;
        }
        return rowSquares(s.row, values);
    };
    Shared shared{row, curvesAt};
    const Moved range = movedOf(Axis::range, row.maxLag);
    std::vector<double> x{std::log(range.starts.front())};
    double least = HUGE_VAL;
    for (double start : range.starts) {
        const double at = std::log(start);
        const double value = squares(1, &at, nullptr, &shared);
        if (value < least) {
            least = value;
            x[0] = at;
        }
    }
    Refined out{{}, {}, {}, {}};
    const SearchBox box{{std::log(range.low)}, {std::log(range.high)}, {0.3}, 1e-4, 1e-8, 150};
    const int result = searchLocally(box, squares, &shared, x, shapeName(crossShape));
    out.results.push_back(result);
    out.search = SearchSummary{1, result};
    out.curves = curvesAt(std::clamp(std::exp(x[0]), range.low, range.high));
    out.check = checkRow(row, out.curves, perLag, false);
    return out;
}

RowFit fitRow(const MeasuredCurves& measured, const RowFitOptions& options, const std::vector<double>& p, int from) {
    const int n = static_cast<int>(p.size());
    Row row;
    row.from = from;
    row.remainder = options.background ? *options.background : from;
    row.maxLag = measured.maxLag;
    row.p = p;
    for (int j = 0; j < n; ++j) {
        row.points.push_back(pointsOf(measured, from, j));
        const std::vector<double>& w = row.points.back().weights;
        row.totalWeight += std::accumulate(w.begin(), w.end(), 0.0);
    }

    std::vector<const Shape*> bounded[2];  // by kind - 1: the shapes 1 to 4 tried, or all four
    std::vector<const Shape*> shapes[2];
    for (int kind = 1; kind <= 2; ++kind) {
        shapes[kind - 1] = rowCandidatesOf(kind, options.models);
        for (const Shape* shape : shapes[kind - 1]) {
            if (boundedBySill(shape->model)) bounded[kind - 1].push_back(shape);
        }
        if (bounded[kind - 1].empty()) bounded[kind - 1] = rowCandidatesOf(kind, {1, 2, 3, 4});
    }

    std::vector<Curve> start(static_cast<std::size_t>(n));
    std::vector<Alone> alone(static_cast<std::size_t>(n));
    std::vector<std::vector<Tried>> tried(static_cast<std::size_t>(n));
    std::vector<long long> aloneEvaluations(static_cast<std::size_t>(n), 0);
    const auto bestOf = [&](int j, const std::vector<const Shape*>& candidates) {
        const std::size_t c = static_cast<std::size_t>(j);
        return bestAlone(row, j, candidates, tried[c], aloneEvaluations[c]);
    };
    bool allBounded = true;
    for (int j = 0; j < n; ++j) {
        if (!fitted(row, j)) continue;
        const std::size_t pair = static_cast<std::size_t>(from * n + j);
        const bool chosen = pair < options.chosen.size() && options.chosen[pair] != nullptr;
        alone[static_cast<std::size_t>(j)] = bestOf(j, chosen ? std::vector<const Shape*>{options.chosen[pair]} : shapes[kindOf(row, j) - 1]);
        start[static_cast<std::size_t>(j)] = alone[static_cast<std::size_t>(j)].curve;
        allBounded = allBounded && boundedBySill(start[static_cast<std::size_t>(j)].shape->model);
    }
    std::vector<int> results;
    int searches = 0;
    // Searched with the penalty at the lags; a row that goes outside between them or beyond N
    // searched on from there with the penalty at 2 points a lag, which costs a quarter of the
    // final check's 8, and if that is not enough, at all of the final check's points.
    const auto refined = [&](const std::vector<Curve>& from) {
        Refined out = refine(row, from, 0);
        results.insert(results.end(), out.results.begin(), out.results.end());
        searches += out.search.searches;
        for (const int dense : {2, perLag}) {
            if (out.check.violation == 0 || out.check.violation == HUGE_VAL) break;
            out = refine(row, out.curves, dense);
            results.insert(results.end(), out.results.begin(), out.results.end());
            searches += out.search.searches;
        }
        return out;
    };
    Refined kept = refined(start);
    RowStart kind = RowStart::bestByAic;
    if (kept.check.violation != 0 && !allBounded) {
        for (int j = 0; j < n; ++j) {
            if (!fitted(row, j) || boundedBySill(start[static_cast<std::size_t>(j)].shape->model)) continue;
            alone[static_cast<std::size_t>(j)] = bestOf(j, bounded[kindOf(row, j) - 1]);
            start[static_cast<std::size_t>(j)] = alone[static_cast<std::size_t>(j)].curve;
        }
        kept = refined(start);
        kind = RowStart::boundedShapes;
    }
    if (kept.check.violation != 0) {
        kept = sharedRange(row, *bounded[1].front());
        kind = RowStart::sharedRange;
        results.insert(results.end(), kept.results.begin(), kept.results.end());
        searches += kept.search.searches;
        alone.assign(alone.size(), Alone{});
    }
    if (kept.check.violation != 0) throw ProgramError("row " + std::to_string(from) + " of the row fits is not valid");

    RowFit fit;
    fit.from = from;
    fit.remainder = row.remainder;
    fit.proportions = p;
    fit.tailDistance = kept.check.tail;
    fit.start = kind;
    fit.search = SearchSummary{searches, kept.search.result};
    fit.searchResults = std::move(results);
    for (const std::vector<Tried>& column : tried) {
        fit.alone.emplace_back();
        for (const Tried& t : column) fit.alone.back().push_back(t.fit);
    }
    fit.curves.resize(static_cast<std::size_t>(n));
    fit.remainderValues.assign(static_cast<std::size_t>(row.maxLag) + 1, 1.0);
    std::vector<std::vector<double>> values(static_cast<std::size_t>(n));
    const auto misfit = [&](const FitPoints& points, const std::vector<double>& model) {
        double squares = 0;
        for (std::size_t k = 0; k + 1 < model.size(); ++k) {
            const double r = points.measured[k] - model[k + 1];
            squares += points.weights[k] * r * r;
        }
        const double weights = std::accumulate(points.weights.begin(), points.weights.end(), 0.0);
        return weights > 0 ? squares / weights : 0.0;
    };
    for (int j = 0; j < n; ++j) {
        if (!fitted(row, j)) continue;
        const Curve& curve = kept.curves[static_cast<std::size_t>(j)];
        const FitPoints& points = row.points[static_cast<std::size_t>(j)];
        ShapeFit& shape = fit.curves[static_cast<std::size_t>(j)];
        shape.shape = curve.shape;
        shape.parameters = curve.p;
        shape.freeParameters = freeParameters(planOf(*curve.shape), true);
        shape.fitted.resize(static_cast<std::size_t>(row.maxLag) + 1);
        ++row.evaluations;
        try {
            evaluateShape(*curve.shape, curve.p, 0, shape.fitted);
        } catch (const RunFailure&) {  // the check evaluated it at every lag: a fault of ours
            throw ProgramError("a fitted row's curve fails in reduzmodel");
        }
        const double meanSquare = misfit(points, shape.fitted);
        shape.wrmse = std::sqrt(meanSquare);
        shape.aic = measuredLags(points) * std::log(std::max(meanSquare, DBL_MIN)) + 2.0 * shape.freeParameters;
        shape.search = alone[static_cast<std::size_t>(j)].search;
        shape.evaluations = alone[static_cast<std::size_t>(j)].evaluations;
        values[static_cast<std::size_t>(j)].assign(shape.fitted.begin() + 1, shape.fitted.end());
        for (std::size_t k = 0; k < shape.fitted.size(); ++k) fit.remainderValues[k] -= shape.fitted[k];
    }
    for (double& v : fit.remainderValues) v = std::clamp(v, 0.0, 1.0);
    ShapeFit& rest = fit.curves[static_cast<std::size_t>(row.remainder)];
    rest.fitted = fit.remainderValues;
    rest.wrmse = std::sqrt(misfit(row.points[static_cast<std::size_t>(row.remainder)], rest.fitted));
    fit.wss = n > 1 ? rowSquares(row, values) : 0.0;
    for (long long e : aloneEvaluations) fit.evaluations += e;
    fit.evaluations += row.evaluations;
    return fit;
}


}  // namespace

std::vector<const Shape*> rowCandidatesOf(int kind, const std::vector<int>& models) {
    std::vector<const Shape*> shapes;
    for (const Shape& shape : catalogue()) {
        if (shape.kind != kind || !inFamily(shape)) continue;
        if (models.empty() || std::find(models.begin(), models.end(), shape.model) != models.end()) shapes.push_back(&shape);
    }
    return shapes;
}

std::vector<RowFit> fitRows(const MeasuredCurves& curves, const RowFitOptions& options) {
    const int n = static_cast<int>(curves.classes.size());
    if (curves.proportions.size() != curves.classes.size()) {
        throw InputError("the row fits need every class's proportion");
    }
    double total = 0;
    for (double p : curves.proportions) {
        if (!(p >= 0) || !std::isfinite(p)) throw InputError("a class's proportion is not a number from 0 to 1");
        total += p;
    }
    if (!(total > 0)) throw InputError("the classes' proportions sum to 0");
    std::vector<double> p;
    for (double v : curves.proportions) p.push_back(v / total);
    if (options.background && (*options.background < 0 || *options.background >= n)) {
        throw InputError("the background class " + std::to_string(*options.background) + " is not a class");
    }
    if (n > 1 && rowCandidatesOf(2, options.models).empty()) {
        throw InputError("none of the shapes " + modelList(options.models) + " is a cross shape the row fits take");
    }
    if (n > 1 && options.background && rowCandidatesOf(1, options.models).empty()) {
        throw InputError("none of the shapes " + modelList(options.models) + " is an auto shape the row fits take");
    }

    std::vector<RowFit> rows(static_cast<std::size_t>(n));
    runTasks(n, options.threads, [&](int i) { rows[static_cast<std::size_t>(i)] = fitRow(curves, options, p, i); });
    return rows;
}

double rowValueAt(const RowFit& row, int to, double lag) {
    const auto valueOf = [&](int j) {
        const ShapeFit& curve = row.curves[static_cast<std::size_t>(j)];
        try {
            return shapeValue(*curve.shape, curve.parameters, lag);
        } catch (const RunFailure&) {
            if (lag > row.tailDistance) return row.proportions[static_cast<std::size_t>(j)];
            throw ProgramError("a fitted row's curve cannot be evaluated at lag " + std::to_string(lag));
        }
    };
    if (to != row.remainder) return valueOf(to);
    double rest = 1;
    for (int j = 0; j < static_cast<int>(row.curves.size()); ++j) {
        if (j != row.remainder) rest -= valueOf(j);
    }
    return std::clamp(rest, 0.0, 1.0);
}

}  // namespace reduz::fit
