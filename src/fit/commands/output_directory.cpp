#include "fit/commands/output_directory.hpp"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

#include "fit/base/failures.hpp"

namespace reduz::fit {

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

void checkReplaceable(const std::string& directory, const std::vector<std::string>& inputs, const char* marker,
                      const char* earlier) {
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0) return;  // new, or a fault the write will name
    // A link would be replaced by the directory, not followed: said now, not after the work.
    if (S_ISLNK(status.st_mode)) {
        failInput(directory, 0, 0, "is a symbolic link, and is not replaced (name the directory itself)");
    }
    if (!S_ISDIR(status.st_mode)) failInput(directory, 0, 0, "is not a directory, and is not replaced");
    namespace fs = std::filesystem;
    std::error_code error;
    const bool empty = fs::is_empty(directory, error);
    if (!error && !empty && !fs::exists(directory + "/" + marker, error)) {
        failInput(directory, 0, 0,
                  std::string("holds files but no ") + marker + ": it is no earlier " + earlier + ", and is not replaced");
    }
    const fs::path inside = fs::weakly_canonical(directory, error);
    for (const std::string& input : inputs) {
        const fs::path file = fs::weakly_canonical(input, error);
        const auto [end, rest] = std::mismatch(inside.begin(), inside.end(), file.begin(), file.end());
        if (!error && end == inside.end()) failInput(input, 0, 0, "is inside " + directory + ", which would be replaced");
    }
}

}  // namespace reduz::fit
