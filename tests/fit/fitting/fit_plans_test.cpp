// The fit's plans: one for every row of the catalogue, each setting only parameters that
// reduzmodel reads for that shape, and the facts the fit derives from them, row by row.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fit/fitting/fit_plans.hpp"

namespace reduz::fit {
namespace {

using P = ModelParameters;

std::string parametersSet(const FitPlan& plan) {
    std::string names;
    for (const ParameterColumn& column : parameterColumns()) {
        if (!usesParameter(plan, column.parameter)) continue;
        if (!names.empty()) names += ' ';
        names += column.name;
    }
    return names;
}

TEST(FitPlans, EveryCatalogueRowHasItsPlanAndNoOther) {
    for (const Shape& shape : catalogue()) {
        EXPECT_NE(findPlan(shape.kind, shape.model), nullptr) << shape.label;
    }
    for (const FitPlan& plan : fitPlans()) {
        EXPECT_NE(findShape(plan.kind, plan.model), nullptr) << plan.kind << " " << plan.model;
        EXPECT_EQ(std::count_if(fitPlans().begin(), fitPlans().end(),
                                [&](const FitPlan& p) { return p.kind == plan.kind && p.model == plan.model; }),
                  1);
    }
}

// What a fit sets is written to PARAMETER.TXT (sill, range) or keyboard.txt (the question's).
TEST(FitPlans, SetOnlyWhatReduzmodelReads) {
    for (const FitPlan& plan : fitPlans()) {
        const Shape& shape = *findShape(plan.kind, plan.model);
        for (const ParameterColumn& column : parameterColumns()) {
            if (!usesParameter(plan, column.parameter)) continue;
            bool read = column.parameter == &P::sill || column.parameter == &P::range;
            for (std::size_t a = 0; shape.question != nullptr && a < shape.question->count; ++a) {
                read = read || shape.question->asked[a].parameter == column.parameter;
            }
            EXPECT_TRUE(read) << shape.label << ": " << column.name;
        }
        if (plan.linear == Linear::gammaSill) {
            EXPECT_NE(findShape(2, plan.baseModel), nullptr) << shape.label;
        }
    }
}

TEST(FitPlans, DerivedFactsRowByRow) {
    struct Case {
        int kind, model;
        const char* sets;
        int free, freeWithSillFixed;
        bool triedByDefault;
    };
    const Case cases[] = {
        {1, 1, "sill range", 2, 1, true},  {1, 3, "sill range", 2, 1, true},
        {1, 5, "sill", 1, 0, true},        {1, 6, "sill range", 2, 1, true},
        {1, 7, "sill range D", 3, 2, true}, {1, 8, "C W", 2, 2, true},
        {2, 2, "sill range", 2, 1, true},  {2, 5, "sill", 1, 0, true},
        {2, 7, "sill range D", 3, 2, true}, {2, 8, "C W", 2, 2, true},
        {2, 9, "sill range W ALFA BETA", 5, 4, true},
        {2, 11, "sill range W ALFA BETA", 5, 4, true},
        {2, 12, "range ALFA BETA", 3, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.model));
        const FitPlan& plan = *findPlan(c.kind, c.model);
        EXPECT_EQ(parametersSet(plan), c.sets);
        EXPECT_EQ(freeParameters(plan, false), c.free);
        EXPECT_EQ(freeParameters(plan, true), c.freeWithSillFixed);
        EXPECT_EQ(plan.triedByDefault, c.triedByDefault);
    }
    EXPECT_EQ(highestModel(), 12);
    std::string columns;
    for (const ParameterColumn& column : parameterColumns()) {
        columns += column.name;
        columns += ',';
    }
    EXPECT_EQ(columns, "sill,range,D,C,W,ALFA,BETA,");
}

// The starts lie within their bounds, so that every search begins where the shape may be.
TEST(FitPlans, StartsWithinTheBounds) {
    for (const Axis axis : {Axis::range, Axis::gammaRange, Axis::wave, Axis::halfWave, Axis::power, Axis::alfa,
                            Axis::bumpScale}) {
        for (const int maxLag : {1, 20, 1000}) {
            const Moved moved = movedOf(axis, maxLag);
            EXPECT_LT(moved.low, moved.high);
            for (const double start : moved.starts) {
                EXPECT_GE(start, moved.low) << static_cast<int>(axis) << " at " << maxLag;
                EXPECT_LE(start, moved.high) << static_cast<int>(axis) << " at " << maxLag;
            }
        }
    }
}

}  // namespace
}  // namespace reduz::fit
