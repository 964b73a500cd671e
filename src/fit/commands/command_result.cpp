#include "fit/commands/command_result.hpp"

#include <cstdio>
#include <new>

#include "fit/base/failures.hpp"

namespace reduz::fit {

CommandResult failureResult(const std::string& text, int status) {
    return CommandResult{status, "", "reduzfit: " + text + "\n"};
}

CommandResult reportingFailures(const std::function<CommandResult()>& run) {
    try {
        return run();
    } catch (const InputError& e) {
        return failureResult(e.what(), 2);
    } catch (const OutputError& e) {
        return failureResult(e.what(), 1);
    } catch (const ProgramError& e) {
        return failureResult(e.what(), 1);
    } catch (const std::bad_alloc&) {
        return failureResult("out of memory", 1);
    }
}

int printResult(const CommandResult& result) {
    int status = result.status;
    std::fputs(result.out.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("reduzfit: cannot write the summary to standard output\n", stderr);
        status = 1;
    }
    std::fputs(result.err.c_str(), stderr);
    return status;
}

}  // namespace reduz::fit
