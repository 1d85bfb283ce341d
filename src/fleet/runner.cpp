#include "fleet/runner.h"

#include <algorithm>
#include <optional>

#include "fleet/threads.h"

namespace vud::fleet {

void checkAll(const std::vector<std::string>& inputs, int jobs,
              const std::function<InstallationRecord(const std::string&)>& check,
              const std::function<void(InstallationRecord&)>& onRecord,
              const std::function<void(const RunProgress&)>& onProgress) {
    const std::size_t count = inputs.size();
    const std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), 1,
                                                        std::max<std::size_t>(count, 1));
    // Records finished ahead of the next one to write wait here, each in its own slot;
    // a thread starts no installation that would not find a free slot.
    const std::size_t window = 4 * threads;
    std::vector<std::optional<InstallationRecord>> waiting(window);
    Mutex mutex;
    Condition changed;
    std::size_t nextToStart = 0;
    std::size_t nextToWrite = 0;
    int done = 0;
    std::size_t lastStarted = 0;

    const auto work = [&] {
        Lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return nextToStart >= count || nextToStart < nextToWrite + window; });
            if (nextToStart >= count) return;
            const std::size_t index = nextToStart++;
            lastStarted = index;
            changed.notifyAll();
            lock.unlock();
            InstallationRecord record = check(inputs[index]);
            lock.lock();
            waiting[index % window] = std::move(record);
            ++done;
            changed.notifyAll();
        }
    };
    // The calling thread writes the records while the others check.
    Threads pool(static_cast<int>(threads), work);

    RunProgress progress;
    progress.all = static_cast<int>(count);
    Lock lock(mutex);
    while (nextToWrite < count) {
        std::optional<InstallationRecord>& slot = waiting[nextToWrite % window];
        if (!slot) {
            if (progress.done != done || (nextToStart > 0 && progress.current != inputs[lastStarted])) {
                progress.done = done;
                progress.current = inputs[lastStarted];
                const RunProgress shown = progress;
                lock.unlock();
                onProgress(shown);
                lock.lock();
                continue;
            }
            changed.wait(lock);
            continue;
        }
        InstallationRecord record = std::move(*slot);
        slot.reset();
        ++nextToWrite;
        changed.notifyAll();
        lock.unlock();
        onRecord(record);
        lock.lock();
    }
    lock.unlock();
    pool.join();
    progress.done = static_cast<int>(count);
    onProgress(progress);
}

}  // namespace vud::fleet
