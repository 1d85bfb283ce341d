// GoogleTest's customisation header, put in front of the one GoogleTest ships when
// it is built with mingw-w64 (see GTestFromSource.cmake).
//
// With the win32 thread model, GCC 12's libstdc++ has no std::mutex and no
// std::condition_variable, and GoogleTest 1.12 writes its Notification with them.
// Notification only serves GoogleTest's tests of its own threading; this one waits
// on an atomic flag instead, which needs no thread library.
#ifndef VUDCHECK_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define VUDCHECK_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#include <cstddef>  // libstdc++'s configuration: whether it has gthreads

#if defined(__MINGW32__) && defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }
    void WaitForNotification() {
        while (!notified_.load(std::memory_order_acquire)) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
#endif

#endif  // VUDCHECK_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
