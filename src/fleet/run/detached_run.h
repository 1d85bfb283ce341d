// The run kept apart from the process its caller waits on. A share whose server took a
// request and never answers it holds the thread that asked in the kernel, where no
// signal reaches it, and a process ends only with its last thread: a run that gave up
// on such an installation could not end, and would keep its output open, so that a
// pipe's reader, a shell's `$(...)` or a nightly job would wait as long as the share.
//
// On POSIX the run goes on in a process of its own, with the caller's standard streams;
// this process waits for it and ends as the run ends, with its exit status or its
// signal. A run that leaves a thread blocked gives its streams back first, and is left
// behind, to end when the share answers. On Windows the run is this process
// (doc/windows.md says why).
#pragma once

#include <functional>

namespace vud::fleet {

// Runs `run`, which returns the program's exit status, and returns that status, in
// the process that ends with it; ends by the run's signal when a signal ended it.
// Called before any thread is started: the process is copied.
int runDetached(const std::function<int()>& run);

// Ends the run by signal `number` as that signal's default action would, first
// giving back the caller's streams and telling the process that waits. Only what a
// signal handler may call.
[[noreturn]] void endBySignal(int number);

}  // namespace vud::fleet
