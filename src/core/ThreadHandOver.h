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

#include <type_traits>
#include <utility>

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

// A call queued to another thread (QMetaObject::invokeMethod with a
// Qt::QueuedConnection, QThreadPool::start), wrapped so that the hand-over
// is marked where it really happens: Qt moves or copies the call into the
// object it queues, and each move or copy marks the hand-over at its new
// place after the call's last write there; the call and its destruction (also when it is dropped unrun) take
// it at that place first, and the call hands it back when done, for Qt may
// destroy it on either thread. Marking before invokeMethod would leave Qt's copy
// of the call unmarked.
template <typename Function>
class HandedOverCall {
public:
    explicit HandedOverCall(Function function) : m_function(std::move(function)) { handOverSent(this); }
    HandedOverCall(HandedOverCall&& other) : m_function(std::move(other.m_function)) { handOverSent(this); }
    HandedOverCall(const HandedOverCall& other) : m_function(other.m_function) { handOverSent(this); }
    HandedOverCall& operator=(const HandedOverCall&) = delete;
    HandedOverCall& operator=(HandedOverCall&&) = delete;
    ~HandedOverCall() { handOverTaken(this); }

    void operator()()
    {
        handOverTaken(this);
        m_function();
        // Qt may let go of the call on the sending thread once it has run.
        handOverSent(this);
    }

private:
    Function m_function;
};

template <typename Function>
HandedOverCall<std::decay_t<Function>> handedOver(Function&& function)
{
    return HandedOverCall<std::decay_t<Function>>(std::forward<Function>(function));
}

}  // namespace zelvane
