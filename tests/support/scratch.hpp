#pragma once
// Scratch directories for tests: each test gets a fresh one, removed afterwards.

#include <map>
#include <string>
#include <string_view>

namespace reduz::testing {

struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string path;
    std::string file(std::string_view name) const;  // path of a file inside
};

void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);  // whole file; fails the test when unreadable
bool fileExists(const std::string& path);
// Every file below the directory by its relative path, with its bytes: {"out/m.csv": "lag,..."}.
std::map<std::string, std::string> filesIn(const std::string& directory);

}  // namespace reduz::testing
