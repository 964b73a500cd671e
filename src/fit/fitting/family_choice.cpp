#include "fit/fitting/family_choice.hpp"

#include <cassert>
#include <cfloat>
#include <cmath>
#include <mutex>

#include "fit/base/failures.hpp"
#include "fit/fitting/parallel_tasks.hpp"

namespace reduz::fit {

namespace {

// The distance of one lag: the first lag's.
double stepOf(const MeasuredCurves& curves) { return curves.distances.size() > 1 ? curves.distances[1] : 1.0; }

struct Fitted {
    ValidModel model;
    SearchSummary search;
};

Fitted fitCandidate(Family family, Method method, const FitData& data, const ChoiceOptions& options) {
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
            // The candidates are fitted on threads of their own already.
            model.rows = fitRows(curves, RowFitOptions{options.models, options.background, 1});
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

}  // namespace

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
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            for (const MeasuredPoint& point : curveOf(measured, i, j)) {
                if (point.lag < 1 || !(point.support > 0)) continue;
                const double r = point.probability - curveAt(model, i, j, measured.distances[static_cast<std::size_t>(point.lag)]);
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
    runTasks(count * parts, options.threads, [&](int task) {
        const int c = task / parts, part = task % parts;
        const FitData& data = part < parts - 1 ? folds[static_cast<std::size_t>(part)].training : all;
        fits[static_cast<std::size_t>(task)] = fitCandidate(kinds[static_cast<std::size_t>(c)].first,
                                                            kinds[static_cast<std::size_t>(c)].second, data, options);
        if (!progress) return;
        const std::lock_guard<std::mutex> lock(told);
        progress(++done, static_cast<long long>(count) * parts);
    });
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
                addSquares(fits[static_cast<std::size_t>(c * parts) + f].model, folds[f].heldOut, heldSquares, heldWeights);
            }
            candidate.heldOutError = heldWeights > 0 ? std::sqrt(heldSquares / heldWeights) : 0.0;
        }
        choice.candidates.push_back(std::move(candidate));
    }
    const auto score = [&](const Candidate& c) { return folds.empty() ? c.aic : *c.heldOutError; };
    for (int c = 1; c < count; ++c) {
        if (score(choice.candidates[static_cast<std::size_t>(c)]) < score(choice.candidates[static_cast<std::size_t>(choice.chosen)])) {
            choice.chosen = c;
        }
    }
    return choice;
}

}  // namespace reduz::fit
