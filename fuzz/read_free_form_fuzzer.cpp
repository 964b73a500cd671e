// Arbitrary bytes through the free-form reader: once as the parameter file with the program's
// three statements, and once as a redirected keyboard for each of its answers (one to three
// reals). A RunFailure is the reader's normal way of refusing input; anything else that goes
// wrong (a crash, a sanitizer report, a failure that the reader cannot give) is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "failure/run_failure.hpp"
#include "textio/free_form.hpp"
#include "textio/console.hpp"
#include "textio/text_source.hpp"

namespace {

std::string scratchDirectory;
std::string inputPath;

void removeScratch() {
    ::unlink(inputPath.c_str());
    ::rmdir(scratchDirectory.c_str());
}

void prepareScratch() {
    if (!inputPath.empty()) return;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/reduz-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    scratchDirectory = pattern;
    inputPath = scratchDirectory + "/PARAMETER.TXT";
    std::atexit(removeScratch);
}

void writeInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(inputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put <= 0) std::abort();
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    ::close(fd);
}

bool isReadFailure(int number) {
    switch (number) {
        case 6100: case 6101: case 6102: case 6103: case 6302: case 6303:
        case 6500: case 6501: case 6502: case 6503: case 6504:
            return true;
        default:
            return false;
    }
}

void checkFailure(const reduz::RunFailure& failure, const std::string& unit) {
    if (failure.letter() != 'F' || failure.statement != reduz::StatementKind::Read || failure.unitText != unit ||
        !isReadFailure(failure.number)) {
        std::fprintf(stderr, "unexpected failure %c%d on %s\n", failure.letter(), failure.number,
                     failure.unitText.c_str());
        std::abort();
    }
}

void readAsParameterFile() {
    std::int32_t model = 0, kind = 0, maxLag = 0;
    double sill = 0.0, range = 0.0;
    try {
        reduz::TextSource& source = reduz::openTextFile(inputPath);
        reduz::readFreeForm(source, {&model, &kind});
        sill = 0.25;
        range = 25.0;
        maxLag = 100;
        reduz::readFreeForm(source, {&sill, &range});
        reduz::readFreeForm(source, {&maxLag});
        reduz::closeTextFile(source);
    } catch (const reduz::RunFailure& failure) {
        checkFailure(failure, inputPath);
    }
    reduz::closeTextFileQuietly();
}

void readAsKeyboard(int count) {
    const int fd = ::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    reduz::runStreams().input = fd;
    reduz::resetKeyboardSource();
    reduz::setLineEndPending(true);
    double a = 1.0, b = 1.0, c = 1.0;
    try {
        reduz::TextSource& keyboard = reduz::keyboardSource();
        if (count == 1) reduz::readFreeForm(keyboard, {&a});
        if (count == 2) reduz::readFreeForm(keyboard, {&a, &b});
        if (count == 3) reduz::readFreeForm(keyboard, {&a, &b, &c});
    } catch (const reduz::RunFailure& failure) {
        checkFailure(failure, "CON");
    }
    ::close(fd);
    reduz::runStreams().input = 0;
    reduz::resetKeyboardSource();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    prepareScratch();
    writeInput(data, size);
    readAsParameterFile();
    for (int count = 1; count <= 3; ++count) readAsKeyboard(count);
    return 0;
}
