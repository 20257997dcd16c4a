// A mutex for critical sections of a few hundred nanoseconds (a cache's
// bookkeeping) that threads on other cores take many times a millisecond.
// A plain mutex puts a thread that finds it taken to sleep in the kernel and
// makes the holder wake it, which costs more than the section itself; this
// one tries again for a short while first and only then blocks.  It is a
// std::mutex underneath, so the sanitizers see it as one.
#pragma once

#include <mutex>

namespace nscommon {

class BriefLock {
public:
    void lock() {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (mutex_.try_lock()) return;
            for (int k = 0; k < kPauses; ++k) Pause();
        }
        mutex_.lock();
    }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

private:
    static constexpr int kAttempts = 64;
    static constexpr int kPauses = 16;

    static void Pause() {
#if defined(__i386__) || defined(__x86_64__)
        __builtin_ia32_pause();
#endif
    }

    std::mutex mutex_;
};

}  // namespace nscommon
