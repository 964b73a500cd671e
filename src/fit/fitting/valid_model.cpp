#include "fit/fitting/valid_model.hpp"

#include <algorithm>
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

Obtained obtainedOf(const ValidModel& model, int from, int to) {
    switch (model.family) {
        case Family::shapes: return model.rows[static_cast<std::size_t>(from)].remainder == to ? Obtained::inferred : Obtained::shape;
        case Family::markov: return Obtained::markov;
        case Family::semiMarkov: return Obtained::semiMarkov;
    }
    return Obtained::markov;
}

std::vector<double> rowAt(const ValidModel& model, int from, double h) {
    const std::size_t n = static_cast<std::size_t>(model.classes);
    if (model.family == Family::shapes) {
        // The remainder from the others' values, subtracted in rowValueAt's order: the same bits.
        const RowFit& row = model.rows[static_cast<std::size_t>(from)];
        std::vector<double> values(n);
        double rest = 1;
        for (int to = 0; to < model.classes; ++to) {
            if (to == row.remainder) continue;
            values[static_cast<std::size_t>(to)] = rowValueAt(row, to, h / model.step);
            rest -= values[static_cast<std::size_t>(to)];
        }
        values[static_cast<std::size_t>(row.remainder)] = std::clamp(rest, 0.0, 1.0);
        return values;
    }
    const std::vector<double> all = matrixAt(model, h);
    const auto first = all.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(from) * n);
    return std::vector<double>(first, first + static_cast<std::ptrdiff_t>(n));
}

std::vector<double> matrixAt(const ValidModel& model, double h) {
    switch (model.family) {
        case Family::markov: return transitionsAt(model.markov, h);
        case Family::semiMarkov: return semiMarkovAt(model.semiMarkov, h);
        case Family::shapes: break;
    }
    std::vector<double> all;
    for (int from = 0; from < model.classes; ++from) {
        const std::vector<double> row = rowAt(model, from, h);
        all.insert(all.end(), row.begin(), row.end());
    }
    return all;
}

double curveAt(const ValidModel& model, int from, int to, double h) {
    if (model.family == Family::shapes && to != model.rows[static_cast<std::size_t>(from)].remainder) {
        return rowValueAt(model.rows[static_cast<std::size_t>(from)], to, h / model.step);
    }
    return rowAt(model, from, h)[static_cast<std::size_t>(to)];
}

std::vector<double> proportionsOf(const ValidModel& model) {
    switch (model.family) {
        case Family::shapes: return model.rows.front().proportions;
        case Family::markov: return model.markov.proportions;
        case Family::semiMarkov: return model.semiMarkov.proportions;
    }
    return {};
}

std::vector<double> tabulated(const ValidModel& model, int from, int to) {
    // A shape's curve is the catalogue's own values at the lags, the bits reduzmodel writes.
    if (model.family == Family::shapes) return model.rows[static_cast<std::size_t>(from)].curves[static_cast<std::size_t>(to)].fitted;
    std::vector<double> values;
    for (int lag = 0; lag <= model.maxLag; ++lag) values.push_back(curveAt(model, from, to, lag * model.step));
    return values;
}

int parameterCount(const ValidModel& model) {
    const int n = model.classes;
    switch (model.family) {
        case Family::shapes: {
            int count = 0;
            for (const RowFit& row : model.rows) {
                for (const ShapeFit& curve : row.curves) count += curve.shape != nullptr ? curve.freeParameters : 0;
            }
            return count;
        }
        case Family::markov: return n * (n - 1);
        // Each embedded row's K - 1 entries sum to 1; a shape and a mean a class.
        case Family::semiMarkov: return n * (n - 2) + 2 * n;
    }
    return 0;
}

}  // namespace reduz::fit
