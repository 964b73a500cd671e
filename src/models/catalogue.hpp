#pragma once
// The model catalogue: everything the program knows of each shape, one row per kind and model
// number. The driver asks a row's question, the lag table evaluates its formula, the report
// writes its label and parameter line; a shape not in the catalogue is "WRONG INPUT".
//
//   findShape(1, 3)->label            -> "3-Exponential: sill, range"
//   findShape(1, 9)                   -> nullptr (models 9 to 12 are cross shapes only)
//   questionOf(8)->prompt             -> "Input C (SLOPE) AND W (POWER):", C 1.0 then W 1.0
//   questionOf(3)                     -> nullptr (nothing is asked)

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "models/model_parameters.hpp"
#include "models/plain.hpp"
#include "models/real.hpp"

namespace reduz {

using Parameter = double ModelParameters::*;

// A parameter asked on the console, with the default it keeps when the answer leaves it out:
// `value`, or `value` times the parameter `times` (D defaults to sill * 0.95).
struct Asked {
    Parameter parameter = nullptr;
    std::string_view name;  // as the prompt calls it
    double value = 0.0;
    Parameter times = nullptr;
};

// What is asked after the parameter file, whatever the kind: the prompt, then one read of
// the parameters in this order.
struct Question {
    std::string_view prompt;
    std::array<Asked, 3> asked{};
    std::size_t count = 0;
};

// The values of the report's parameter line, in order.
struct ParameterLine {
    std::array<Parameter, 5> values{};
    std::size_t count = 0;
};

// The quantities a formula reads at one lag: h, the parameters (s is the sill, a the range)
// and, for the gamma-based shapes, GAMMA(ALFA) and BETA ^ ALFA, taken once before lag 0.
template <class Number>
struct Terms {
    Number h, s, a, D, C, W, ALFA, BETA;
    Number gammaOfAlfa, betaToAlfa;
};

// The terms of one evaluation in both arithmetics: the exact one decides every value and
// every failure, the plain one gives the same bits quickly wherever it raises no flag.
struct LagTerms {
    Terms<Real> exact;
    Terms<Plain> plain;
};

enum class Path {
    PlainFirst,  // each lag in plain doubles, and again exactly where a flag is raised
    ExactOnly,   // each lag on the exact path alone
};

// A shape's formula, its operations in the order they are carried out, at the lags firstLag,
// firstLag + 1, ... into values: the lag loop (models/lag_loop.hpp) made for this formula.
struct Formula {
    void (*lags)(LagTerms& terms, double firstLag, std::span<double> values, Path path) = nullptr;
};

struct Shape {
    std::int32_t kind = 0;   // 1 auto-transiogram, 2 cross-transiogram
    std::int32_t model = 0;
    std::string_view label;  // the report's second line
    const Question* question = nullptr;  // nullptr: nothing is asked
    std::string_view parameterLayout;    // the layout string of the report's parameter line
    ParameterLine parameterLine;
    bool usesGamma = false;              // GAMMA(ALFA) and BETA ^ ALFA enter the formula
    Formula formula;
};

// Every row, auto shapes first.
std::span<const Shape> catalogue();

// The row of this kind and model, or nullptr when the catalogue has none.
const Shape* findShape(std::int32_t kind, std::int32_t model);

// The question of a model number, asked whatever the kind (a kind 1 run of model 12 is asked
// too); nullptr when the model asks nothing. Rows with one model number ask one question.
const Question* questionOf(std::int32_t model);

// The default an asked parameter takes before the answer is read.
double defaultOf(const Asked& asked, const ModelParameters& parameters);

}  // namespace reduz
