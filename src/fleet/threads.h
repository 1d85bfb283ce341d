// The few thread tools the parallel run needs. The Windows builds use mingw-w64's
// win32 thread model, whose C++ library has no std::thread nor std::mutex; there they
// are the system's own (slim reader/writer locks and condition variables, Windows 7
// KERNEL32), elsewhere the standard ones.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace vud::fleet {

class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
#ifdef _WIN32
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    friend class Condition;
    SRWLOCK lock_ = SRWLOCK_INIT;
#else
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

private:
    friend class Condition;
    std::mutex mutex_;
#endif
};

// Held from construction to destruction, and let go in between with unlock/lock.
class Lock {
public:
    explicit Lock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    ~Lock() {
        if (held_) mutex_.unlock();
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void lock() {
        mutex_.lock();
        held_ = true;
    }
    void unlock() {
        held_ = false;
        mutex_.unlock();
    }
    Mutex& mutex() { return mutex_; }

private:
    Mutex& mutex_;
    bool held_ = true;
};

class Condition {
public:
    Condition() = default;
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

#ifdef _WIN32
    void notifyAll() { WakeAllConditionVariable(&condition_); }
    void wait(Lock& lock) { SleepConditionVariableSRW(&condition_, &lock.mutex().lock_, INFINITE, 0); }
    // False when `timeout` passed first.
    bool waitFor(Lock& lock, std::chrono::milliseconds timeout) {
        return SleepConditionVariableSRW(&condition_, &lock.mutex().lock_, static_cast<DWORD>(timeout.count()), 0) != 0;
    }

private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
#else
    void notifyAll() { condition_.notify_all(); }
    void wait(Lock& lock) {
        std::unique_lock<std::mutex> held(lock.mutex().mutex_, std::adopt_lock);
        condition_.wait(held);
        held.release();
    }
    bool waitFor(Lock& lock, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> held(lock.mutex().mutex_, std::adopt_lock);
        const bool woken = condition_.wait_for(held, timeout) == std::cv_status::no_timeout;
        held.release();
        return woken;
    }

private:
    std::condition_variable condition_;
#endif

public:
    template <typename Predicate>
    void wait(Lock& lock, Predicate ready) {
        while (!ready()) wait(lock);
    }
};

// `count` threads that each run `work`, started at construction; join() (or the
// destructor) waits for all of them.
class Threads {
public:
    Threads(int count, std::function<void()> work);
    ~Threads() { join(); }
    Threads(const Threads&) = delete;
    Threads& operator=(const Threads&) = delete;
    void join();

private:
    std::function<void()> work_;
#ifdef _WIN32
    std::vector<HANDLE> threads_;
#else
    std::vector<std::thread> threads_;
#endif
};

}  // namespace vud::fleet
