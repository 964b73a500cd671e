#pragma once
// `reduzfit merge`: adds the measurements of disjoint parts (each a measured.csv with the
// classes.csv beside it) and writes both files whole, as measuring the whole would write them.
//
//   runMerge({{"a/measured.csv", "b/measured.csv"}, "all.csv"}) -> 0, all.csv and classes.csv,
//       out "parts          2\nclasses        4\n...written        all.csv, classes.csv\n"
//   parts of other steps, lags or directions  -> 2, one line naming the part; nothing written

#include <string>
#include <vector>

#include "fit/commands/command_result.hpp"

namespace reduz::fit {

struct MergeRequest {
    std::vector<std::string> inputs;
    std::string output = "measured.csv";
};

CommandResult runMerge(const MergeRequest& request);

}  // namespace reduz::fit
