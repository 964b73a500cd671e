#include "models/catalogue.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <string>
#include <vector>

#include "failure/run_failure.hpp"
#include "models/lag_table.hpp"

namespace reduz {
namespace {

// The label names the parameter line's values after its colon: "sill, range, half wave length".
std::vector<std::string> namesInLabel(std::string_view label) {
    std::string rest(label.substr(label.find(':') + 1));
    for (char& c : rest) {
        if (c == '\t') c = ' ';
    }
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = rest.find(',', start);
        if (end == std::string::npos) end = rest.size();
        std::string name = rest.substr(start, end - start);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
}

TEST(Catalogue, EveryShapeOnceWithItsNumberInTheLabel) {
    std::map<std::pair<int, int>, int> seen;
    for (const Shape& shape : catalogue()) {
        ++seen[{shape.kind, shape.model}];
        EXPECT_EQ(shape.label.substr(0, shape.label.find('-')), std::to_string(shape.model)) << shape.label;
        EXPECT_EQ(findShape(shape.kind, shape.model), &shape);
    }
    for (int model = 1; model <= 8; ++model) EXPECT_EQ((seen[{1, model}]), 1) << "auto " << model;
    for (int model = 1; model <= 12; ++model) EXPECT_EQ((seen[{2, model}]), 1) << "cross " << model;
    EXPECT_EQ(seen.size(), 20u);
}

// The parameter line shows what the label announces, in its order (model 5 shows the sill alone).
TEST(Catalogue, ParameterLineMatchesTheLabel) {
    const std::map<std::string, Parameter> meaning = {
        {"sill", &ModelParameters::sill}, {"range", &ModelParameters::range}, {"half wave length", &ModelParameters::D},
        {"slope", &ModelParameters::C},   {"power", &ModelParameters::W},     {"alfa", &ModelParameters::ALFA},
        {"beta", &ModelParameters::BETA}, {"weight", &ModelParameters::W},
    };
    for (const Shape& shape : catalogue()) {
        SCOPED_TRACE(std::string(shape.label));
        const std::vector<std::string> names = namesInLabel(shape.label);
        ASSERT_EQ(names.size(), shape.parameterLine.count);
        for (std::size_t i = 0; i < names.size(); ++i) {
            ASSERT_TRUE(meaning.count(names[i])) << names[i];
            EXPECT_TRUE(meaning.at(names[i]) == shape.parameterLine.values[i]) << names[i];
        }
        // "(X,F9.4,F9.2)" holds two values; "(X,F9.4,^F9.2)" one and up to five more.
        EXPECT_LE(shape.parameterLine.count, shape.parameterLayout == "(X,F9.4,F9.2)" ? 2u : 6u);
    }
}

// The question is asked by model number whatever the kind, so both kinds must agree on it.
TEST(Catalogue, OneQuestionPerModelNumber) {
    for (const Shape& shape : catalogue()) {
        EXPECT_EQ(questionOf(shape.model), shape.question) << shape.kind << " " << shape.model;
    }
    EXPECT_EQ(questionOf(0), nullptr);
    EXPECT_EQ(questionOf(13), nullptr);
}

TEST(Catalogue, HalfWaveLengthDefaultsToTheSillTimesSinglePrecisionPointNineFive) {
    ModelParameters p;
    p.sill = 0.25;
    const Asked& d = questionOf(7)->asked[0];
    EXPECT_EQ(std::bit_cast<std::uint64_t>(defaultOf(d, p)), std::bit_cast<std::uint64_t>(0.23749999701976776));
}

ModelParameters firstRun() {
    ModelParameters p;
    p.sill = 0.25;
    p.range = 25.0;
    p.D = 0.23749999701976776;
    p.C = p.W = p.BETA = 1.0;
    p.ALFA = 2.0;
    return p;
}

// Any stretch of lags gives the table's values for those lags.
TEST(EvaluateShape, StretchesAgreeWithTheLagTable) {
    for (const Shape& shape : catalogue()) {
        ModelParameters p = firstRun();
        p.kind = shape.kind;
        p.model = shape.model;
        p.maxLag = 1000;
        LagTable table{};
        computeLagTable(p, table);
        std::vector<double> stretch(40);
        evaluateShape(shape, p, 961, stretch);
        for (std::size_t i = 0; i < stretch.size(); ++i) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(stretch[i]), std::bit_cast<std::uint64_t>(table[961 + i]))
                << shape.kind << " " << shape.model << " lag " << 961 + i;
        }
        EXPECT_EQ(std::bit_cast<std::uint64_t>(shapeValue(shape, p, 500.0)), std::bit_cast<std::uint64_t>(table[500]));
    }
}

// A failure ends the evaluation at its lag; the lags before it are filled.
TEST(EvaluateShape, FailsAtTheFirstLagWhereTheFormulaFails) {
    ModelParameters p = firstRun();
    p.range = -1.0;  // exp(-3h / a) overflows from lag 237 on
    std::vector<double> values(20, -1.0);
    try {
        evaluateShape(*findShape(1, 3), p, 230, values);
        FAIL() << "no failure";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.number, 6203);
        EXPECT_EQ(failure.message, "exp: OVERFLOW error");
    }
    EXPECT_NE(values[6], -1.0);  // lag 236
    EXPECT_EQ(values[7], -1.0);  // lag 237
}

}  // namespace
}  // namespace reduz
