#pragma once
// What the process needs before its one run, whatever started it.

namespace reduz {

// Standard input, output and error that are closed are opened on /dev/null, so that no file
// the run opens takes one of their descriptors (a failure report would land in it). A console
// that has gone away (SIGPIPE) or a file-size limit (SIGXFSZ) must not kill the run: the write
// fails instead, and the run reports it or, for the console, goes on to its own status.
void prepareProcess();

}  // namespace reduz
