#include "fit/fitting/fit_plans.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace reduz::fit {

namespace {

using P = ModelParameters;

constexpr bool byDefault = true;
constexpr bool whenNamed = false;  // tried only when the command line names it

constexpr FitPlan plans[] = {
    // kind, model, linear, moved, count, base model of gammaSill, tried by default: the auto row
    // and the cross row of each model number
    {1, 1, Linear::autoSill, {Axis::range}, 1, 0, byDefault}, {2, 1, Linear::sill, {Axis::range}, 1, 0, byDefault},
    {1, 2, Linear::autoSill, {Axis::range}, 1, 0, byDefault}, {2, 2, Linear::sill, {Axis::range}, 1, 0, byDefault},
    {1, 3, Linear::autoSill, {Axis::range}, 1, 0, byDefault}, {2, 3, Linear::sill, {Axis::range}, 1, 0, byDefault},
    {1, 4, Linear::autoSill, {Axis::range}, 1, 0, byDefault}, {2, 4, Linear::sill, {Axis::range}, 1, 0, byDefault},
    {1, 5, Linear::sill, {}, 0, 0, byDefault}, {2, 5, Linear::sill, {}, 0, 0, byDefault},
    {1, 6, Linear::autoSill, {Axis::wave}, 1, 0, byDefault}, {2, 6, Linear::sill, {Axis::wave}, 1, 0, byDefault},
    {1, 7, Linear::autoSill, {Axis::range, Axis::halfWave}, 2, 0, byDefault},
    {2, 7, Linear::sill, {Axis::range, Axis::halfWave}, 2, 0, byDefault},
    {1, 8, Linear::slope, {Axis::power}, 1, 0, byDefault}, {2, 8, Linear::slope, {Axis::power}, 1, 0, byDefault},
    {2, 9, Linear::gammaSill, {Axis::gammaRange, Axis::alfa, Axis::bumpScale}, 3, 3, byDefault},
    {2, 10, Linear::gammaSill, {Axis::gammaRange, Axis::alfa, Axis::bumpScale}, 3, 4, byDefault},
    {2, 11, Linear::gammaSill, {Axis::gammaRange, Axis::alfa, Axis::bumpScale}, 3, 2, byDefault},
    {2, 12, Linear::none, {Axis::range, Axis::alfa, Axis::bumpScale}, 3, 0, whenNamed},
};

// The parameter record's reals, by the names fits.csv gives them.
constexpr ParameterColumn parameterNames[] = {
    {&P::sill, "sill"}, {&P::range, "range"}, {&P::D, "D"},       {&P::C, "C"},
    {&P::W, "W"},       {&P::ALFA, "ALFA"},   {&P::BETA, "BETA"},
};

// count values from low to high, evenly on a logarithmic axis.
std::vector<double> spread(double low, double high, int count) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i) values.push_back(low * std::pow(high / low, i / (count - 1.0)));
    return values;
}

}  // namespace

std::span<const FitPlan> fitPlans() { return plans; }

const FitPlan* findPlan(std::int32_t kind, std::int32_t model) {
    const FitPlan* found = std::find_if(std::begin(plans), std::end(plans),
                                        [&](const FitPlan& plan) { return plan.kind == kind && plan.model == model; });
    return found == std::end(plans) ? nullptr : found;
}

const FitPlan& planOf(const Shape& shape) {
    const FitPlan* plan = findPlan(shape.kind, shape.model);
    assert(plan != nullptr && "every catalogue row has its fit plan");
    return *plan;
}

std::span<const Axis> movedAxes(const FitPlan& plan) { return std::span<const Axis>(plan.moved.data(), plan.movedCount); }

// The bounds keep every run clear of reduzmodel's failures for lags up to 1000: a range of at
// least 0.1 lag keeps 3 h / a and (h / a)^2 far from overflow, a half wave length (or a hole
// effect's range) of at least one lag keeps the cosine's argument far below 2^63 and the wave
// above the lag spacing, where it could not be told from its aliases. ALFA stays where GAMMA
// is finite and (h / a)^(ALFA - 1) has no pole at lag 0; the gamma bump's scale a BETA from a
// hundredth of a lag to a hundred times the lags fitted. A parameter set that still fails
// (BETA ^ ALFA beyond a double) is no candidate.
Parameter axisParameter(Axis axis) {
    switch (axis) {
        case Axis::range:
        case Axis::gammaRange:
        case Axis::wave: return &P::range;
        case Axis::halfWave: return &P::D;
        case Axis::power: return &P::W;
        case Axis::alfa: return &P::ALFA;
        case Axis::bumpScale: return &P::BETA;
    }
    return nullptr;
}

Moved movedOf(Axis axis, int maxLag) {
    const double n = std::max(maxLag, 2);
    const Parameter p = axisParameter(axis);
    switch (axis) {
        case Axis::range: return {p, 0.1, 100 * n, true, spread(1, n, 4)};
        case Axis::gammaRange: return {p, 0.1, 100 * n, true, spread(1, n, 3)};
        case Axis::wave: return {p, 1, 100 * n, true, spread(1.5, std::max(n, 3.0), 8)};
        case Axis::halfWave: return {p, 1, 100 * n, true, spread(1.5, std::max(n, 3.0), 6)};
        case Axis::power: return {p, 0, 3, false, {0.2, 0.5, 1, 2}};
        case Axis::alfa: return {p, 1, 171, true, {1.5, 4, 16}};
        // The gamma density is taken at h / a with the scale BETA: a bump of scale a BETA lags.
        // The optimiser moves that scale rather than BETA, so that the range shapes only the
        // rise to the sill and ALFA and the scale only the bump, and the two are found apart.
        case Axis::bumpScale: return {p, 0.01, 100 * n, true, spread(1, n / 3, 3), &P::range};
    }
    return {};
}

bool usesParameter(const FitPlan& plan, Parameter parameter) {
    switch (plan.linear) {
        case Linear::none: break;
        case Linear::sill:
        case Linear::autoSill:
            if (parameter == &P::sill) return true;
            break;
        case Linear::slope:
            if (parameter == &P::C) return true;
            break;
        case Linear::gammaSill:
            if (parameter == &P::sill || parameter == &P::W) return true;
            break;
    }
    const std::span<const Axis> moved = movedAxes(plan);
    return std::any_of(moved.begin(), moved.end(), [&](Axis axis) { return axisParameter(axis) == parameter; });
}

bool usesParameter(const Shape& shape, Parameter parameter) { return usesParameter(planOf(shape), parameter); }

int freeParameters(const FitPlan& plan, bool sillFixed) {
    const int sill = sillFixed ? 0 : 1;
    int solved = 0;
    switch (plan.linear) {
        case Linear::none: solved = 0; break;
        case Linear::sill:
        case Linear::autoSill: solved = sill; break;
        case Linear::slope: solved = 1; break;
        case Linear::gammaSill: solved = 1 + sill; break;
    }
    return static_cast<int>(plan.movedCount) + solved;
}

std::vector<ParameterColumn> parameterColumns() {
    std::vector<ParameterColumn> columns;
    for (const ParameterColumn& column : parameterNames) {
        if (std::any_of(std::begin(plans), std::end(plans),
                        [&](const FitPlan& plan) { return usesParameter(plan, column.parameter); })) {
            columns.push_back(column);
        }
    }
    return columns;
}

std::int32_t highestModel() {
    std::int32_t highest = 0;
    for (const FitPlan& plan : plans) highest = std::max(highest, plan.model);
    return highest;
}

std::string parameterHeader() {
    std::string text;
    for (const ParameterColumn& column : parameterColumns()) {
        text += ',';
        text += column.name;
    }
    return text;
}

std::string modelList(const std::vector<int>& models) {
    std::string text;
    for (int model : models) {
        if (!text.empty()) text += ',';
        text += std::to_string(model);
    }
    return text;
}

}  // namespace reduz::fit
