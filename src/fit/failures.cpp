#include "fit/failures.hpp"

#include <cstdio>
#include <new>
#include <string>

namespace reduz::fit {

void failInput(std::string_view file, long line, long column, std::string_view message) {
    std::string text(file);
    if (line > 0) text += ":" + std::to_string(line);
    if (line > 0 && column > 0) text += ":" + std::to_string(column);
    text += ": ";
    text += message;
    throw InputError(text);
}

int reportFailure(const char* text, int status) {
    std::fprintf(stderr, "reduzfit: %s\n", text);
    return status;
}

int reportingFailures(const std::function<int()>& run) {
    try {
        return run();
    } catch (const InputError& e) {
        return reportFailure(e.what(), 2);
    } catch (const OutputError& e) {
        return reportFailure(e.what(), 1);
    } catch (const std::bad_alloc&) {
        return reportFailure("out of memory", 1);
    }
}

}  // namespace reduz::fit
