#include "fit/result_csv.hpp"

#include <vector>

#include "fit/number_text.hpp"

namespace reduz::fit {

void appendCsvRow(std::string& text, std::initializer_list<std::string_view> fields) {
    const char* separator = "";
    for (std::string_view field : fields) {
        text += separator;
        text += field;
        separator = ",";
    }
    text += '\n';
}

std::string csvField(std::string_view text) {
    // Blanks at either end would be dropped by a reader that trims, as this program's does.
    const bool plain = text.find_first_of(",\"\r\n") == std::string_view::npos &&
                       (text.empty() || (text.front() != ' ' && text.back() != ' ' && text.front() != '\t' &&
                                         text.back() != '\t'));
    if (plain) return std::string(text);
    std::string quoted(1, '"');
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string measuredCsv(const Measurement& m) {
    const int n = static_cast<int>(m.classes.size());
    std::vector<std::string> names;
    for (const ClassSummary& c : m.classes) names.push_back(csvField(c.name));
    std::string text = "lag,distance,from,to,probability,support\n";
    for (int lag = 0; lag <= m.lags; ++lag) {
        const std::string distance = shortest(lagDistance(m, lag));
        for (int i = 0; i < n; ++i) {
            const double total = support(m, lag, i);
            if (!(total > 0)) continue;
            const std::string supportText = shortest(total);
            for (int j = 0; j < n; ++j) {
                appendCsvRow(text, {std::to_string(lag), distance, names[static_cast<std::size_t>(i)],
                                 names[static_cast<std::size_t>(j)], shortest(pairLength(m, lag, i, j) / total),
                                 supportText});
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
