#include "fit/measuring/measured_csv.hpp"

#include <vector>

#include "fit/base/csv_text.hpp"
#include "fit/base/number_text.hpp"

namespace reduz::fit {

std::string classesPathBeside(std::string_view measuredPath) {
    const std::size_t slash = measuredPath.rfind('/');
    return std::string(slash == std::string_view::npos ? "" : measuredPath.substr(0, slash + 1)) + "classes.csv";
}

std::string measuredCsv(const Measurement& m) {
    const int n = static_cast<int>(m.classes.size());
    std::vector<std::string> names;
    for (const ClassSummary& c : m.classes) names.push_back(csvField(c.name));
    std::string text = "lag,distance,from,to,probability,support,length,direction,max_lag\n";
    const std::string direction = csvField(m.direction), maxLag = std::to_string(m.maxLag);
    for (int lag = 0; lag <= m.maxLag; ++lag) {
        const std::string distance = shortest(lagDistance(m, lag));
        for (int i = 0; i < n; ++i) {
            const double total = support(m, lag, i);
            if (!(total > 0)) continue;
            const std::string supportText = shortest(total);
            for (int j = 0; j < n; ++j) {
                const double length = pairLength(m, lag, i, j);
                appendCsvRow(text, {std::to_string(lag), distance, names[static_cast<std::size_t>(i)],
                                 names[static_cast<std::size_t>(j)], shortest(length / total), supportText,
                                 shortest(length), direction, maxLag});
            }
        }
    }
    return text;
}

std::string classesCsv(const Measurement& m) {
    std::string text = "class,proportion,length,runs,mean_length\n";
    for (const ClassSummary& c : m.classes) {
        appendCsvRow(text, {csvField(c.name), shortest(c.proportion), shortest(c.length), std::to_string(c.runs),
                         shortest(c.meanLength)});
    }
    return text;
}

}  // namespace reduz::fit
