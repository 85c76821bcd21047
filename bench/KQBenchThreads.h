// Timing one pass on several threads at once, for the rows that measure concurrent readers.
//
// While a glibc process has had one thread only, the library steps reference counts without
// atomic read-modify-writes, and glibc's recursive mutex takes its lock the same way; once a
// second thread has started, the process never returns to that state.  The benchmark process
// therefore never starts a thread of its own: the rows that read on several threads fork a child
// process and start their threads there, so every other row keeps measuring a one-thread process
// whatever order the rows run in.  The child inherits the caller's containers as they are (the
// pages are shared until someone writes to them) and reports its timings through a pipe.
#ifndef KQ_BENCH_THREADS_H
#define KQ_BENCH_THREADS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kqb {

// Runs `pass` on `threads` threads at once (the child's first thread being one of them), for
// `rounds` rounds after one untimed warm-up round, in a forked child process.  Returns the wall
// time in seconds of each round, from the moment every thread may start its pass to the end of
// the last pass of the round; an empty vector when the child could not be started or did not
// finish cleanly.
std::vector<double> TimeOnThreads(std::int64_t rounds, int threads,
                                  const std::function<std::size_t()>& pass);

} // namespace kqb

#endif // KQ_BENCH_THREADS_H
