#include "fit/commands/merge_command.hpp"

#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/whole_files.hpp"
#include "fit/measuring/measured_csv.hpp"
#include "fit/measuring/measured_merge.hpp"

namespace reduz::fit {

CommandResult runMerge(const MergeRequest& request) {
    const std::string classesPath = classesPathBeside(request.output);
    return reportingFailures([&] {
        std::vector<MeasuredPart> parts;
        for (std::size_t p = 0; p < request.inputs.size(); ++p) {
            const std::string& input = request.inputs[p];
            const std::string classes = classesPathBeside(input);
            for (std::size_t q = 0; q < p; ++q) {
                // The same part twice would count it twice; two parts in one folder share a classes.csv.
                if (sameFile(request.inputs[q], input)) failInput(input, 0, 0, "is given twice");
                if (sameFile(classesPathBeside(request.inputs[q]), classes)) {
                    failInput(input, 0, 0,
                              "shares " + classes + " with " + request.inputs[q] + ": measure each part into a folder of its own");
                }
            }
            for (const std::string& target : {request.output, classesPath}) {
                if (sameFile(input, target) || sameFile(classes, target)) failInput(target, 0, 0, "is an input, which would be overwritten");
            }
            parts.push_back(readMeasuredPart(readInputFile(input), input, readInputFile(classes), classes));
        }
        const Measurement m = mergeParts(parts);
        writeWholeFiles({{request.output, measuredCsv(m)}, {classesPath, classesCsv(m)}});
        std::string out = "parts          " + std::to_string(parts.size()) + "\nclasses        " + std::to_string(m.classes.size()) +
                          "\nlogged length  " + shortest(m.loggedLength) + "\nlags           0 to " + std::to_string(m.maxLag) +
                          " by " + shortest(m.step) + ", " + m.direction + "\nwritten        " + visible(request.output) +
                          ", " + visible(classesPath) + "\n";
        return CommandResult{0, out, ""};
    });
}

}  // namespace reduz::fit
