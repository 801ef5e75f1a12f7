// Ending the process at once, for when an orderly return is impossible or too late: no
// destructors, no library clean-up.
#pragma once

namespace km8 {

// Flushes standard output and error, then ends the process with `code`. On Windows the
// libraries' detach routines are skipped too: run from inside a window message the system
// waits on (WM_ENDSESSION), ExitProcess can wait in them for ever.
[[noreturn]] void EndProcessNow(int code);

}  // namespace km8
