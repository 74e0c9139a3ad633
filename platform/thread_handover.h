#pragma once
// Qt hands work from thread to thread (QThreadPool::start, queued calls)
// through its own locks, which ThreadSanitizer cannot see while Qt itself is
// not instrumented. handOver() before such a hand-over and takeOver() as the
// first step on the receiving thread tell it what Qt's locks guarantee. They
// compile to nothing in other builds.
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace platform {

#if defined(__SANITIZE_THREAD__)
inline char handOverKey;
inline void handOver() { __tsan_release(&handOverKey); }
inline void takeOver() { __tsan_acquire(&handOverKey); }
#else
inline void handOver() {}
inline void takeOver() {}
#endif

} // namespace platform
