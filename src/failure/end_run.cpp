#include "failure/end_run.hpp"

#include "textio/record_writer.hpp"
#include "textio/text_source.hpp"

namespace reduz {

void endRun(int status) {
    closeTextFilesQuietly();
    closeOutputFileQuietly();
    writeOwedLineEnd();
    throw RunEnded{status};
}

}  // namespace reduz
