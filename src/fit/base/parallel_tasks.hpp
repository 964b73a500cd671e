#pragma once
// Tasks 0..count-1 run on the workers in turn, each task's result in its own slot, so the
// results do not depend on the number of threads. The first failure of any task is thrown
// again once every worker has stopped; tasks not yet begun are not begun.
//
//   runTasks(36, 0, [&](int p) { pairs[p] = fitPair(p); })   -> on one worker a core

#include <functional>

namespace reduz::fit {

// threads 0: one a core.
void runTasks(int count, unsigned threads, const std::function<void(int task)>& task);

}  // namespace reduz::fit
