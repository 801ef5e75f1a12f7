// Threads for the writer's loops that, once started, never end before the process does: a
// finished piece of work leaves its thread waiting for the next. A thread that has opened
// a PostgreSQL connection through Qt must not end with MinGW, where Qt's thread_local
// clean-up (its QRegularExpression's JIT stack) then reads storage already freed.
#pragma once

#include <functional>

namespace km8 {

// Runs `work` on a waiting thread, or on a new one when none waits.
void RunOnParkedThread(std::function<void()> work);

}  // namespace km8
