#pragma once

// Data handed to another thread through Qt's thread pool or event queue is
// ordered by Qt's own locks, which wait on futexes the thread sanitizer
// does not see. These marks tell the sanitizer of such a hand-over: the
// sending thread calls handOverSent(key) after its last write and before
// handing over, the receiving thread handOverTaken(key) before its first
// read, with the same key (the address of what is handed over). Without
// the sanitizer they are nothing.

#if defined(__SANITIZE_THREAD__)
#define ZELVANE_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZELVANE_THREAD_SANITIZER 1
#endif
#endif

#ifdef ZELVANE_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace zelvane {

inline void handOverSent([[maybe_unused]] const void* key)
{
#ifdef ZELVANE_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(key));
#endif
}

inline void handOverTaken([[maybe_unused]] const void* key)
{
#ifdef ZELVANE_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(key));
#endif
}

}  // namespace zelvane
