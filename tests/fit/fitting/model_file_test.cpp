// model.csv: every candidate of a chosen fit (shapes, Markov and semi-Markov chains, from the
// curves and from the beds) read back gives the very bits of its model at any distance; and
// the files it refuses, each told at its line and column.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fit/chain_logs.hpp"
#include "fit/fitting/model_file.hpp"
#include "fit/known_truth.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

TEST(ModelFile, EveryCandidateReadsBackBitForBit) {
    const std::vector<std::vector<double>> q = {{-0.40, 0.30, 0.10}, {0.05, -0.25, 0.20}, {0.35, 0.15, -0.50}};
    const testing::Chosen chosen = testing::chosenFor(testing::BedChain::markov(q).logs(7, 40, 50), 0.25, 40);
    std::vector<Family> families;
    for (const Candidate& candidate : chosen.choice.candidates) {
        families.push_back(candidate.family);
        SCOPED_TRACE(std::string(familyName(candidate.family)));
        const std::string text = modelCsv(chosen.classes, candidate.model);
        const StoredModel stored = readModelCsv(text, "model.csv");
        EXPECT_EQ(stored.classes, chosen.classes);
        EXPECT_EQ(modelCsv(stored.classes, stored.model), text);
        // at the lags, between them, past the tail and the table
        for (const double h : {0.0, 0.1, 0.25, 1.0 / 3, 2.5, 9.999, 10.0, 37.3, 1e3}) {
            EXPECT_EQ(matrixAt(stored.model, h), matrixAt(candidate.model, h)) << "at " << h;
        }
    }
    for (const Family family : {Family::shapes, Family::markov, Family::semiMarkov}) {
        EXPECT_NE(std::find(families.begin(), families.end(), family), families.end()) << familyName(family);
    }
}

const std::string head = "key,from,to,value\nfamily,,,markov\nstep,,,1\nmax_lag,,,5\nclass,a,,0.5\nclass,b,,0.5\n";
const std::string rates = "rate,a,a,-1\nrate,a,b,1\nrate,b,a,1\nrate,b,b,-1\n";

TEST(ModelFile, RefusesWhatIsNoValidModel) {
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {head + rates + "speed,,,3\n", "model.csv:11:1: no fact of a model is called \"speed\""},
        {head + rates + "rate,a,c,1\n", "model.csv:11:3: to \"c\" is not one of the classes"},
        {head + rates + "rate,a,b,1\n", "model.csv:11:1: rate is given on line 8 already"},
        {head + "rate,a,a,-1\nrate,a,b,1\nrate,b,a,1\n", "model.csv: no rate of b to b"},
        {head + "rate,a,a,-1\nrate,a,b,1\nrate,b,a,-1\nrate,b,b,1\n",
         "model.csv:9:4: a rate between two classes must not be below 0"},
        {head + "rate,a,a,-1\nrate,a,b,2\nrate,b,a,1\nrate,b,b,-1\n", "model.csv: the rates of a sum to 1, not 0"},
        {head + "rate,a,a,-1\nrate,a,b,1\nrate,b,a,1\nrate,b,b,-1x\n", "model.csv:10:4: rate \"-1x\" is not a number"},
        {"key,from,to,value\nfamily,,,chain\n", "model.csv:2:4: family \"chain\" is not shapes, markov or semi-markov"},
        {"key,from,to,value\nfamily,,,markov\nstep,,,0\nclass,a,,1\nclass,b,,0\n", "model.csv:3:4: step must be above 0"},
        {"key,from,to,value\nfamily,,,markov\nclass,a,,1\nclass,a,,0\n", "model.csv:4:2: class \"a\" is given twice"},
        {"key,from,to,value\nfamily,,,markov\nstep,,,1\nmax_lag,,,5\nclass,a,,1\n", "model.csv: a model holds 2 to 256 classes, not 1"},
        {"key,from,to,value\nfamily,,,shapes\nstep,,,1\nmax_lag,,,5\nclass,a,,0.5\nclass,b,,0.5\nremainder,a,a,\ntail,a,,5\n"
         "model,a,b,3\nkind,a,b,2\nsill,a,b,0.5\nrange,a,b,2\nD,a,b,0\nC,a,b,0\nW,a,b,0\nALFA,a,b,0\nBETA,a,b,0\n",
         "model.csv: no remainder of b"},
        {"key,from,to,value\nfamily,,,semi-markov\nstep,,,1\nmax_lag,,,5\nclass,a,,0.5\nclass,b,,0.5\nembedded,a,a,0\n"
         "embedded,a,b,1\nembedded,b,a,0.5\nembedded,b,b,0\nshape,a,,1\nshape,b,,1\nmean,a,,1\nmean,b,,1\nspacing,,,0.1\ncells,,,100\n",
         "model.csv: the embedded row of b sums to 0.5, not 1"},
    };
    for (const Case& c : cases) EXPECT_EQ(testing::refusal([&] { readModelCsv(c.text, "model.csv"); }), c.error) << c.text;
}

}  // namespace
}  // namespace reduz::fit
