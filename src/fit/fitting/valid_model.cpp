#include "fit/fitting/valid_model.hpp"

#include <cstddef>

namespace reduz::fit {

std::string_view familyName(Family family) {
    switch (family) {
        case Family::shapes: return "shapes";
        case Family::markov: return "markov";
        case Family::semiMarkov: return "semi-markov";
    }
    return "";
}

std::optional<Family> familyNamed(std::string_view name) {
    for (const Family family : {Family::shapes, Family::markov, Family::semiMarkov}) {
        if (familyName(family) == name) return family;
    }
    return std::nullopt;
}

std::string_view obtainedName(Obtained obtained) {
    switch (obtained) {
        case Obtained::shape: return "shape";
        case Obtained::inferred: return "inferred";
        case Obtained::markov: return "markov";
        case Obtained::semiMarkov: return "semi-markov";
    }
    return "";
}

Obtained obtainedOf(const ValidModel& model, int, int) {
    switch (model.family) {
        case Family::markov: return Obtained::markov;
        default: return Obtained::semiMarkov;
    }
}

std::vector<double> rowAt(const ValidModel& model, int from, double h) {
    const std::size_t n = static_cast<std::size_t>(model.classes);
    const std::vector<double> all = transitionsAt(model.markov, h);
    const auto first = all.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(from) * n);
    return std::vector<double>(first, first + static_cast<std::ptrdiff_t>(n));
}

double curveAt(const ValidModel& model, int from, int to, double h) {
    return rowAt(model, from, h)[static_cast<std::size_t>(to)];
}

std::vector<double> proportionsOf(const ValidModel& model) { return model.markov.proportions; }

std::vector<double> tabulated(const ValidModel& model, int from, int to) {
    std::vector<double> values;
    for (int lag = 0; lag <= model.maxLag; ++lag) values.push_back(curveAt(model, from, to, lag * model.step));
    return values;
}

int parameterCount(const ValidModel& model) { return model.classes * (model.classes - 1); }

}  // namespace reduz::fit
