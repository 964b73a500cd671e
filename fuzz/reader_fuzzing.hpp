#pragma once
// What the fuzz targets of reduzfit's readers share. A reading either returns, and the target
// checks what it returned against the reader's own rules, or refuses the input the one way a
// reader may: an InputError whose one report names the file first, then a line and a column
// when it gives them, then the message. Anything else that comes out of a reading (another
// exception, running out of memory on an input this small) is a finding, as is a crash, a
// sanitizer report or a hang.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fit/base/failures.hpp"
#include "fit/base/text_lines.hpp"

namespace reduz::fuzz {

[[noreturn]] inline void finding(std::string_view what) {
    std::fprintf(stderr, "reader fuzzer: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string_view() : std::string_view(reinterpret_cast<const char*>(data), size);
}

// A line or column number as a report gives it: digits from 1 on, no leading zero.
inline bool takePlace(std::string_view& rest, long& number) {
    std::size_t digits = 0;
    while (digits < rest.size() && digits < 12 && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    if (digits == 0 || rest[0] == '0' || digits == rest.size() || rest[digits] != ':') return false;
    number = std::stol(std::string(rest.substr(0, digits)));
    rest.remove_prefix(digits + 1);
    return true;
}

// "FILE: message", "FILE:LINE: message" or "FILE:LINE:COLUMN: message", the line one of the
// text's (a text of k line ends has k + 1 lines, the last maybe empty).
inline void checkRefusal(std::string_view report, std::string_view text, std::string_view file) {
    if (report.substr(0, file.size()) != file || report.substr(file.size(), 1) != ":") {
        finding(std::string("a refusal that does not name the file first: ") + std::string(report));
    }
    std::string_view rest = report.substr(file.size() + 1);
    long line = 0;
    long column = 0;
    if (takePlace(rest, line)) takePlace(rest, column);
    if (rest.size() < 2 || rest[0] != ' ' || rest[1] == ' ') {
        finding(std::string("a refusal without its place and message in form: ") + std::string(report));
    }
    const long lines = reduz::fit::lineEndsIn(text) + 1;
    if (line > lines) finding(std::string("a refusal at a line the text does not have: ") + std::string(report));
}

// The reading's result, or nothing when it refused the input as a reader must; the report of a
// refusal in `report` when given.
template <typename Read>
auto readOrRefuse(std::string_view text, std::string_view file, Read read, std::string* report = nullptr)
    -> std::optional<decltype(read())> {
    try {
        return read();
    } catch (const fit::InputError& refusal) {
        checkRefusal(refusal.what(), text, file);
        if (report != nullptr) *report = refusal.what();
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        finding("out of memory on a small input");
    } catch (const std::exception& e) {
        finding(std::string("a failure other than InputError: ") + e.what());
    } catch (...) {
        finding("something thrown that is not an exception");
    }
}

// A class list: names not empty and each given once.
inline void checkClassNames(const std::vector<std::string>& classes) {
    for (std::size_t i = 0; i < classes.size(); ++i) {
        if (classes[i].empty()) finding("an empty class name");
        for (std::size_t j = 0; j < i; ++j) {
            if (classes[i] == classes[j]) finding("a class named twice: " + classes[i]);
        }
    }
}

}  // namespace reduz::fuzz
