#include "fit/fitting/family_choice.hpp"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <mutex>
#include <vector>

#include "failure/run_failure.hpp"
#include "fit/base/failures.hpp"
#include "fit/fitting/pair_fits.hpp"
#include "fit/base/parallel_tasks.hpp"
#include "models/lag_table.hpp"

namespace reduz::fit {

namespace {

// The distance of one lag: the first lag's.
double stepOf(const MeasuredCurves& curves) { return curves.distances.size() > 1 ? curves.distances[1] : 1.0; }

struct Fitted {
    ValidModel model;
    SearchSummary search;
};

// `chosen`: the shapes family's shape for each curve, as RowFitOptions takes them; its rows are
// fitted on `rowThreads`.
Fitted fitCandidate(Family family, Method method, const FitData& data, const ChoiceOptions& options,
                    const std::vector<const Shape*>& chosen = {}, unsigned rowThreads = 1) {
    Fitted fitted;
    ValidModel& model = fitted.model;
    model.family = family;
    model.classes = static_cast<int>(data.curves.classes.size());
    model.step = stepOf(data.curves);
    model.maxLag = data.curves.maxLag;
    // One class has one valid model, t = 1 at every distance, whatever the family.
    if (model.classes < 2) {
        model.family = Family::markov;
        model.markov = markovChainOf(model.classes, std::vector<double>(static_cast<std::size_t>(model.classes), 0.0));
        return fitted;
    }
    switch (family) {
        case Family::markov:
            if (method == Method::beds) {
                model.markov = markovFromBeds(*data.beds, model.step);
            } else {
                // The beds' rates, where there are beds, start the search near its end.
                const std::optional<MarkovRates> start =
                    data.beds ? std::optional<MarkovRates>(markovFromBeds(*data.beds, model.step)) : std::nullopt;
                const MarkovFit fit = fitMarkovRates(data.curves, start ? &*start : nullptr);
                model.markov = fit.chain;
                fitted.search = fit.search;
            }
            break;
        case Family::shapes: {
            MeasuredCurves curves = data.curves;
            curves.proportions = sharesOf(curves);
            model.rows = fitRows(curves, RowFitOptions{options.models, options.background, rowThreads, chosen});
            break;
        }
        case Family::semiMarkov: {
            const double farthest = model.step * model.maxLag;
            if (method == Method::beds) {
                const SemiMarkovFit fit = fitSemiMarkovBeds(*data.beds, farthest, model.step);
                model.semiMarkov = fit.chain;
                fitted.search = fit.search;
            } else {
                // From the Markov chain of the curves: the semi-Markov chain whose beds are all exponential.
                const MarkovFit markov = fitMarkovRates(data.curves);
                const SemiMarkovFit fit = fitSemiMarkovCurves(data.curves, semiMarkovOfMarkov(markov.chain, farthest, model.step));
                model.semiMarkov = fit.chain;
                fitted.search = fit.search;
            }
            break;
        }
    }
    return fitted;
}

int leastAic(const std::vector<Candidate>& candidates) {
    int least = 0;
    for (int c = 1; c < static_cast<int>(candidates.size()); ++c) {
        if (candidates[static_cast<std::size_t>(c)].aic < candidates[static_cast<std::size_t>(least)].aic) least = c;
    }
    return least;
}

// Whether the folds cannot tell candidate c from the least, b: c's held-out error is at most
// mostHeldOutExcess above b's, and the mean of its folds' errors less b's is at most one
// standard error of that mean. The folds share their holes, so the differences are far steadier
// than either candidate's errors.
bool withinReach(const Candidate& c, const Candidate& b) {
    if (&c == &b) return true;
    if (*c.heldOutError > (1 + mostHeldOutExcess) * *b.heldOutError) return false;
    const std::size_t n = c.foldErrors.size();
    if (n < 2 || b.foldErrors.size() != n) return false;
    double mean = 0;
    for (std::size_t f = 0; f < n; ++f) mean += (c.foldErrors[f] - b.foldErrors[f]) / static_cast<double>(n);
    double squares = 0;
    for (std::size_t f = 0; f < n; ++f) {
        const double d = c.foldErrors[f] - b.foldErrors[f] - mean;
        squares += d * d;
    }
    return mean <= std::sqrt(squares / static_cast<double>(n - 1) / static_cast<double>(n));
}

// Of the candidates within reach of the least held-out error, marked so, the one with the
// fewest parameters; then one from the beds, their likelihood's estimate, over one fitted to
// the curves, whose lags share their errors; then the least held-out error.
int simplestWithinReach(std::vector<Candidate>& candidates) {
    int best = 0;
    for (int c = 1; c < static_cast<int>(candidates.size()); ++c) {
        if (*candidates[static_cast<std::size_t>(c)].heldOutError < *candidates[static_cast<std::size_t>(best)].heldOutError) best = c;
    }
    for (Candidate& candidate : candidates) candidate.withinReach = withinReach(candidate, candidates[static_cast<std::size_t>(best)]);
    const auto simpler = [](const Candidate& a, const Candidate& b) {
        const int ka = parameterCount(a.model), kb = parameterCount(b.model);
        if (ka != kb) return ka < kb;
        if (a.method != b.method) return a.method == Method::beds;
        return *a.heldOutError < *b.heldOutError;
    };
    int chosen = best;
    for (int c = 0; c < static_cast<int>(candidates.size()); ++c) {
        const Candidate& candidate = candidates[static_cast<std::size_t>(c)];
        if (candidate.withinReach && simpler(candidate, candidates[static_cast<std::size_t>(chosen)])) chosen = c;
    }
    return chosen;
}

// Each curve's shape in the shapes family: of the shapes fitted alone to it on the training
// holes of every fold, the one whose fits come closest to the held-out holes, their
// support-weighted squares summed over the folds. Null where no shape was fitted on every fold.
std::vector<const Shape*> shapesByHeldOut(const std::vector<const ValidModel*>& onFolds, const std::vector<HeldOutFold>& folds,
                                          int n) {
    std::vector<const Shape*> chosen(static_cast<std::size_t>(n * n), nullptr);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            struct Score {
                const Shape* shape;
                double squares;
                std::size_t folds;
            };
            std::vector<Score> scores;
            for (std::size_t f = 0; f < folds.size(); ++f) {
                const RowFit& row = onFolds[f]->rows[static_cast<std::size_t>(i)];
                if (static_cast<std::size_t>(j) >= row.alone.size()) continue;
                const FitPoints held = pointsOf(folds[f].heldOut, i, j);
                for (const AloneFit& fit : row.alone[static_cast<std::size_t>(j)]) {
                    if (!fit.ok) continue;
                    std::vector<double> values(held.measured.size());
                    try {
                        evaluateShape(*fit.shape, fit.parameters, 1, values);
                    } catch (const RunFailure&) {
                        continue;
                    }
                    double squares = 0;
                    for (std::size_t k = 0; k < values.size(); ++k) {
                        const double r = held.measured[k] - values[k];
                        squares += held.weights[k] * r * r;
                    }
                    auto score = std::find_if(scores.begin(), scores.end(), [&](const Score& x) { return x.shape == fit.shape; });
                    if (score == scores.end()) score = scores.insert(scores.end(), Score{fit.shape, 0, 0});
                    score->squares += squares;
                    ++score->folds;
                }
            }
            double least = HUGE_VAL;
            for (const Score& score : scores) {
                if (score.folds == folds.size() && score.squares < least) {
                    least = score.squares;
                    chosen[static_cast<std::size_t>(i * n + j)] = score.shape;
                }
            }
        }
    }
    return chosen;
}

}  // namespace

int chooseAmong(std::vector<Candidate>& candidates, bool heldOut) {
    return heldOut ? simplestWithinReach(candidates) : leastAic(candidates);
}

void checkModelSize(const MeasuredCurves& curves, std::string_view file) {
    const std::size_t n = curves.classes.size();
    if (n <= mostModelClasses) return;
    failInput(file, 0, 0,
              std::to_string(n) + " classes are more than the " + std::to_string(mostModelClasses) +
                  " a valid model is fitted for (--family independent fits each pair alone)");
}

std::string_view methodName(Method method) { return method == Method::beds ? "beds" : "curves"; }

std::vector<std::pair<Family, Method>> candidatesFor(const FitData& data, const ChoiceOptions& options) {
    if (data.curves.classes.size() < 2) return {{Family::markov, Method::curves}};  // its one model
    std::vector<std::pair<Family, Method>> all;
    const bool shapes = !rowCandidatesOf(2, options.models).empty() &&
                        (!options.background || !rowCandidatesOf(1, options.models).empty());
    // Forced, the shapes family says why it cannot be fitted.
    if (shapes || options.family == Family::shapes) all.push_back({Family::shapes, Method::curves});
    all.push_back({Family::markov, Method::curves});
    if (data.beds) all.push_back({Family::markov, Method::beds});
    // Where the beds are known the semi-Markov chain is fitted from them alone: its fit to the
    // curves costs a table of the chain at every step, and on every fold.
    all.push_back({Family::semiMarkov, data.beds ? Method::beds : Method::curves});
    std::vector<std::pair<Family, Method>> taken;
    for (const auto& candidate : all) {
        if (!options.family || candidate.first == *options.family) taken.push_back(candidate);
    }
    return taken;
}

void addSquares(const ValidModel& model, const MeasuredCurves& measured, double& squares, double& weights) {
    const int n = model.classes;
    // The model at each lag once, every row at a time: a chain's matrix holds them all.
    std::vector<std::vector<double>> atLag(measured.distances.size());
    for (std::size_t lag = 1; lag < atLag.size(); ++lag) atLag[lag] = matrixAt(model, measured.distances[lag]);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            for (const MeasuredPoint& point : curveOf(measured, i, j)) {
                if (point.lag < 1 || !(point.support > 0)) continue;
                const double r = point.probability - atLag[static_cast<std::size_t>(point.lag)][static_cast<std::size_t>(i * n + j)];
                squares += point.support * r * r;
                weights += point.support;
            }
        }
    }
}

FamilyChoice chooseFamily(const FitData& all, const std::vector<HeldOutFold>& folds, const ChoiceOptions& options,
                          const ChoiceProgressFn& progress) {
    const std::vector<std::pair<Family, Method>> kinds = candidatesFor(all, options);
    assert(!kinds.empty());
    const int count = static_cast<int>(kinds.size());
    const int parts = static_cast<int>(folds.size()) + 1;  // each fold's training, then all
    std::vector<Fitted> fits(static_cast<std::size_t>(count * parts));
    std::mutex told;  // progress is told one fit at a time
    long long done = 0;
    const auto tell = [&] {
        if (!progress) return;
        const std::lock_guard<std::mutex> lock(told);
        progress(++done, static_cast<long long>(count) * parts);
    };
    // With folds, the shapes family's fit on all the data takes each curve's shape from the
    // folds' alone fits, so it waits for them, its rows then on threads of their own.
    int shapesOnAll = -1;
    for (int c = 0; c < count && !folds.empty(); ++c) {
        if (kinds[static_cast<std::size_t>(c)].first == Family::shapes && all.curves.classes.size() > 1) shapesOnAll = c * parts + parts - 1;
    }
    runTasks(count * parts, options.threads, [&](int task) {
        if (task == shapesOnAll) return;
        const int c = task / parts, part = task % parts;
        const FitData& data = part < parts - 1 ? folds[static_cast<std::size_t>(part)].training : all;
        fits[static_cast<std::size_t>(task)] = fitCandidate(kinds[static_cast<std::size_t>(c)].first,
                                                            kinds[static_cast<std::size_t>(c)].second, data, options);
        tell();
    });
    if (shapesOnAll >= 0) {
        std::vector<const ValidModel*> onFolds;
        for (int f = 0; f < parts - 1; ++f) onFolds.push_back(&fits[static_cast<std::size_t>(shapesOnAll - (parts - 1) + f)].model);
        const int n = static_cast<int>(all.curves.classes.size());
        fits[static_cast<std::size_t>(shapesOnAll)] = fitCandidate(Family::shapes, Method::curves, all, options,
                                                                   shapesByHeldOut(onFolds, folds, n), options.threads);
        tell();
    }
    FamilyChoice choice;
    choice.folds = static_cast<int>(folds.size());
    for (int c = 0; c < count; ++c) {
        Candidate candidate;
        candidate.family = kinds[static_cast<std::size_t>(c)].first;
        candidate.method = kinds[static_cast<std::size_t>(c)].second;
        Fitted& whole = fits[static_cast<std::size_t>(c * parts + parts - 1)];
        candidate.model = std::move(whole.model);
        candidate.search = whole.search;
        double squares = 0, weights = 0;
        addSquares(candidate.model, all.curves, squares, weights);
        const double meanSquare = weights > 0 ? squares / weights : 0;
        candidate.wrmse = std::sqrt(meanSquare);
        // n ln(WSS / n) with the supports scaled to a mean of 1 is n ln of the weighted mean square.
        long long points = 0;
        for (const std::vector<MeasuredPoint>& curve : all.curves.pairs) {
            for (const MeasuredPoint& point : curve) points += point.lag >= 1 && point.support > 0;
        }
        candidate.aic = static_cast<double>(points) * std::log(std::max(meanSquare, DBL_MIN)) +
                        2.0 * parameterCount(candidate.model);
        if (!folds.empty()) {
            double heldSquares = 0, heldWeights = 0;
            for (std::size_t f = 0; f < folds.size(); ++f) {
                double squares = 0, weights = 0;
                addSquares(fits[static_cast<std::size_t>(c * parts) + f].model, folds[f].heldOut, squares, weights);
                candidate.foldErrors.push_back(weights > 0 ? std::sqrt(squares / weights) : 0.0);
                heldSquares += squares;
                heldWeights += weights;
            }
            candidate.heldOutError = heldWeights > 0 ? std::sqrt(heldSquares / heldWeights) : 0.0;
        }
        choice.candidates.push_back(std::move(candidate));
    }
    choice.chosen = chooseAmong(choice.candidates, !folds.empty());
    return choice;
}

}  // namespace reduz::fit
