#include "fleet/threads.h"

namespace vud::fleet {

#ifdef _WIN32
namespace {

DWORD WINAPI runWork(LPVOID work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}

}  // namespace

Threads::Threads(int count, std::function<void()> work) : work_(std::move(work)) {
    for (int i = 0; i < count; ++i) {
        // A small stack: a thread's records and file image live on the heap.
        const HANDLE thread =
            CreateThread(nullptr, 256 * 1024, runWork, &work_, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread != nullptr) threads_.push_back(thread);
    }
}

void Threads::join() {
    for (const HANDLE thread : threads_) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    threads_.clear();
}
#else
Threads::Threads(int count, std::function<void()> work) : work_(std::move(work)) {
    threads_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) threads_.emplace_back(work_);
}

void Threads::join() {
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
}
#endif

}  // namespace vud::fleet
