#pragma once
// Catalogue shapes with the row's remainder: a family valid by construction. In each row i (the
// from-class), K - 1 curves take catalogue shapes with their sills fixed at the to-classes'
// proportions p_j, and the remaining curve r is 1 - the sum of the others, so every row sums to 1
// at any distance and tends to p.
//
//   3 classes, p {0.2, 0.3, 0.5}, no background:
//     row 0 -> t_01, t_02 shapes with sills 0.3, 0.5; t_00 = 1 - t_01 - t_02 (remainder 0)
//   background 2:
//     row 0 -> t_00 an auto shape (sill 0.2), t_01 a cross shape (0.3); t_02 = 1 - the two
//     row 2 -> t_20, t_21 cross shapes;                                  t_22 = 1 - the two
//
// The family's shapes are those that give t(0) = 1 (auto) or 0 (cross) and reach their sill:
//   auto  1 linear, 2 spherical, 3 exponential, 4 Gaussian: 1 - (1 - s) f, f(0) = 1, f -> 0
//         7 dampened hole effect: 1 - (1 - s)(1 - cos(pi h / D) e^(-3h/a)): 1 at 0, s at infinity
//   cross 1 to 4 and 7 as s (1 - f); 9, 10, 11 s (f + W g) with the gamma density g(0) = 0,
//         which needs ALFA > 1: the family keeps ALFA in [1.001, 31]
//   not:  5 nugget (t(0) = s), 6 hole effect (cos(pi h / a) never settles), 8 power (C h^W has
//         no sill), 12 test gamma (no sill, not 0 at 0)
// Linear, spherical, exponential and Gaussian never pass their sill; 7, 9, 10 and 11 may, and an
// auto 7 with s < 1/2 may go below 0.
//
// What is checked, for each row returned (and, as a penalty, at every step of a search that is
// on from a row that failed it; see below):
//   - every curve and the remainder in [0, 1] at h = k / 8, k = 0..8N, and t(0) exactly 1 or 0;
//   - near 0, at h = 2^-e, 2^(1-e), 3 2^-e for e = 4, 6, .., 40; and with a background, whose
//     remainder t_ib starts at 0, that the auto curve leaves 1 faster than the crosses leave 0
//     together (the leading terms k h^q: a lower q, or the same q and a larger k);
//   - around each gamma bump's top, a BETA (ALFA - 1) +- 2 widths a BETA sqrt(ALFA), 8 points a
//     width;
//   - beyond N, each curve's distance from its sill is bounded by an envelope that does not grow
//     past its start (e^(-3h/a) (1 - s or s) for 3 and 7, e^(-3 (h/a)^2) for 4, 0 past the range
//     for 1 and 2, s (g(h) + the rise's bound) for 9 to 11, past the bump's top): the tail
//     distance H >= N is the first where the envelopes of the curves sum to at most
//     min(p_r, 1 - p_r) and each is at most min(p_j, 1 - p_j), which makes the row valid at
//     every h >= H; between N and H the curves are sampled at 8 points the shortest length of
//     the row's curves (range, half wave, bump width), 8 a lag at the finest. No H within
//     64 N + 64 lags, or more than 512 (N + 1) such points, is not shown valid. The search
//     samples a long tail at 8N points at most; the final check at all of them.
//   - Proved, not checked: a row whose remainder is its auto curve (r = i) and whose shapes are
//     1 to 4 (each cross curve in [0, p_j], so the remainder is in [p_i, 1]), and a row whose
//     curves share one such shape and range (then t_ib = p_b (1 - f) with f the shared fall).
// Sampling is not proof: a feature narrower than the points (a wave or bump between them) can
// escape it, which the fits' bounds (half waves of a lag at least) make unlikely.
// The values at h = k / 8 are the catalogue's own: the shape evaluated at whole lags with its
// lengths (range, D) times 8, which gives the same bits as at k / 8.
//
// Fitting a row: each curve's candidates fitted alone (fitShape with the sill p_j, searched from
// the best start of its grid only, since the row's passes refine it; a curve of 64 lags or
// more at every m-th lag, m a power of 2 that keeps 32 to 63, its lengths then times m), the
// least AIC kept, or the one shape `chosen` for it (each is kept in RowFit::alone); then up to 3 coordinate passes over the curves (until a pass gains less than 0.1 %),
// each curve's moved parameters (those of its fit plan, and W for 9 to 11) searched by Sbplx
// against the whole row's support-weighted squares (lags 1..N of all K curves, the
// remainder's too) plus a penalty for going outside [0, 1] at those lags, for a background
// remainder leaving 0 downwards and for no tail distance. The row they end at is checked as
// above; when it fails, the passes go on from it with the penalty at the check's points but 2
// a lag, and if the row still fails, at all of them (the curves held still are not evaluated
// again). When that row is not valid, the same from the best shapes 1 to 4 alone; when that is
// not valid either (with a background), every curve takes one of them with one shared range.
//
// The proportions are taken over their sum (classes.csv may give them rounded). Rows are fitted
// on threads like fitPairs; each row's result is the same whatever the number of threads.

#include <optional>
#include <vector>

#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/shape_fit.hpp"

namespace reduz::fit {

struct RowFitOptions {
    std::vector<int> models;        // the shapes to try; empty: the family's (above); others ignored
    std::optional<int> background;  // the class every row but its own takes as its remainder
    unsigned threads = 0;           // 0: one a core
    // by from * K + to, where not empty and not null: the one shape that curve starts from
    // (chosen on held-out holes), in place of the least AIC of every shape
    std::vector<const Shape*> chosen;
};

// A shape fitted alone to a curve, with its sill p_j, as the row's search starts from it.
struct AloneFit {
    const Shape* shape = nullptr;
    bool ok = false;  // fitted; false: no start ran in reduzmodel
    double aic = 0;
    ModelParameters parameters;  // at the row's lags, maxLag N
};

// Which start the row returned was refined from.
enum class RowStart {
    bestByAic,      // each curve's least-AIC shape alone
    boundedShapes,  // each curve's least-AIC shape of 1 to 4
    sharedRange,    // one shape of 1 to 4 and one range for every curve
};

struct RowFit {
    int from = 0;
    int remainder = 0;                    // the column inferred as 1 - the others
    std::vector<ShapeFit> curves;         // by to-class; the remainder's entry: shape nullptr,
                                          // fitted = remainderValues, wrmse its misfit
    std::vector<double> remainderValues;  // lags 0..N
    std::vector<double> proportions;      // the sills, summing to 1: where every curve tends
    double tailDistance = 0;              // H: beyond it the envelopes keep the row valid
    double wss = 0;                       // the row's support-weighted squares, remainder included
    RowStart start = RowStart::bestByAic;
    SearchSummary search;                 // the joint passes: searches run, the last one's result
    std::vector<int> searchResults;       // NLopt's result of every search of the joint passes
    std::vector<std::vector<AloneFit>> alone;  // by to-class, every shape fitted alone to it
    long long evaluations = 0;            // the catalogue's, alone fits included
};

// One row a class. Throws InputError without proportions for every class, with a proportion
// below 0 or all 0, with a background that is not a class, and for named shapes with none of the
// family's for a kind the rows need (cross shapes; auto shapes too with a background).
std::vector<RowFit> fitRows(const MeasuredCurves& curves, const RowFitOptions& options);

// t_{from,to} at any lag h >= 0 (a real number of lags): a shape's value by shapeValue, the
// remainder 1 - the others (within [0, 1]: round-off may take it 1e-13 outside, never more).
// Far beyond the tail distance, where a gamma bump's (h/a)^(ALFA-1) passes a double and the
// catalogue cannot evaluate the curve, its sill.
//   rowValueAt(row, row.remainder, 0) -> 1 (r = i) or 0      rowValueAt(row, j, 1e9) -> p_j
double rowValueAt(const RowFit& row, int to, double lag);

// The family's shapes of a kind among models (empty: all of them).
std::vector<const Shape*> rowCandidatesOf(int kind, const std::vector<int>& models);

}  // namespace reduz::fit
