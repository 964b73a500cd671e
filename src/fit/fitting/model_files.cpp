#include "fit/fitting/model_files.hpp"

#include <charconv>
#include <set>

#include "models/catalogue.hpp"

namespace reduz::fit {

namespace {

constexpr std::size_t longestName = 60;

}  // namespace

std::string safeName(const std::string& name) {
    std::string safe;
    for (char c : name.substr(0, longestName)) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || (c == '.' && !safe.empty());
        safe += kept ? c : '_';
    }
    return safe;
}

namespace {

std::string folded(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::vector<std::string> folderNames(const std::vector<std::string>& classes) {
    std::vector<std::string> names;
    std::set<std::string> taken;  // folded to one case, for file systems that fold it
    for (const std::string& from : classes) {
        for (const std::string& to : classes) {
            const std::string base = folderBase(from, to);
            std::string name = base;
            for (int copy = 2; taken.count(folded(name)) > 0; ++copy) name = base + "-" + std::to_string(copy);
            taken.insert(folded(name));
            names.push_back(name);
        }
    }
    return names;
}

std::string folderBase(const std::string& from, const std::string& to) { return safeName(from) + "_" + safeName(to); }

std::string exactReal(double value) {
    char text[32];
    char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 16).ptr;
    std::string result(text, end);
    result[result.find('e')] = 'E';
    return result;
}

std::string parameterFile(const ModelParameters& p) {
    return std::to_string(p.model) + " " + std::to_string(p.kind) + "\n" + exactReal(p.sill) + " " + exactReal(p.range) +
           "\n" + std::to_string(p.maxLag) + "\n";
}

std::string keyboardFile(const ModelParameters& p) {
    const Question* question = questionOf(p.model);
    if (question == nullptr) return "";
    std::string text;
    for (std::size_t a = 0; a < question->count; ++a) {
        if (a > 0) text += ' ';
        text += exactReal(p.*question->asked[a].parameter);
    }
    return text + "\n";
}

}  // namespace reduz::fit
