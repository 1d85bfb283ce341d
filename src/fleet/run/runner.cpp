#include "fleet/run/runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "fleet/run/interruptions.h"
#include "text/utf8.h"


namespace vud::fleet {
namespace {

std::atomic<bool> abandoned{false};

using Clock = std::chrono::steady_clock;

// What the threads of one run share. A thread left blocked in a call that never
// returns may outlive the run: it holds the state, and the copy of the check, with it.
struct RunState {
    std::vector<std::string> inputs;
    std::function<InstallationRecord(const std::string&)> check;
    std::size_t window = 0;

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<InstallationRecord>> waiting;  // a slot per record of the window
    std::vector<std::optional<Clock::time_point>> startedAt; // the same slots: when its check began
    std::vector<bool> givenUp;                               // by input: timed out, its record unwanted
    std::size_t nextToStart = 0;
    std::size_t nextToWrite = 0;
    std::size_t lastStarted = 0;
    int done = 0;
    int running = 0;       // threads still taking work, the abandoned ones not counted
    bool stopped = false;  // the records are no longer wanted: start nothing more
};

// One thread's share: installations in turn until none is left, or until the one it
// checks is given up, when another thread has taken its place.
void work(const std::shared_ptr<RunState>& state) {
    RunState& run = *state;
    std::unique_lock lock(run.mutex);
    for (;;) {
        run.changed.wait(lock, [&] {
            return run.stopped || run.nextToStart >= run.inputs.size() ||
                   run.nextToStart < run.nextToWrite + run.window;
        });
        if (run.stopped || run.nextToStart >= run.inputs.size()) break;
        const std::size_t index = run.nextToStart++;
        const std::size_t slot = index % run.window;
        run.lastStarted = index;
        run.startedAt[slot] = Clock::now();
        run.changed.notify_all();
        lock.unlock();
        InstallationRecord record = run.check(run.inputs[index]);
        lock.lock();
        // Given up, and its place taken by another thread: the record comes too late.
        if (run.givenUp[index]) return;
        run.waiting[slot] = std::move(record);
        run.startedAt[slot].reset();
        ++run.done;
        run.changed.notify_all();
    }
    --run.running;
    run.changed.notify_all();
}

// False when the system starts no more threads.
bool startWorker(const std::shared_ptr<RunState>& state) {
    const InterruptionsHeldBack heldBack;
    try {
        std::thread([state] { work(state); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

}  // namespace

bool workAbandoned() { return abandoned.load(); }

void checkAll(const std::vector<std::string>& inputs, int jobs, std::chrono::seconds timeout,
              const std::function<InstallationRecord(const std::string&)>& check,
              const std::function<bool(InstallationRecord&)>& onRecord,
              const std::function<void(const RunProgress&)>& onProgress) {
    const std::size_t count = inputs.size();
    const std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), 1,
                                                        std::max<std::size_t>(count, 1));
    auto state = std::make_shared<RunState>();
    RunState& run = *state;
    run.inputs = inputs;
    run.check = check;
    // Records finished ahead of the next one to write wait here, each in its own slot;
    // a thread starts no installation that would not find a free slot.
    run.window = 4 * threads;
    run.waiting.resize(run.window);
    run.startedAt.resize(run.window);
    run.givenUp.resize(count, false);

    std::unique_lock lock(run.mutex);
    for (std::size_t i = 0; i < threads; ++i) {
        if (!startWorker(state)) break;
        ++run.running;
    }
    if (run.running == 0 && count > 0) 
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), 
                                "no thread could be started");

    // The calling thread writes the records while the others check.
    RunProgress progress;
    progress.all = static_cast<int>(count);
    while (run.nextToWrite < count) {
        const std::size_t slot = run.nextToWrite % run.window;
        if (!run.waiting[slot]) {
            if (progress.done != run.done || (run.nextToStart > 0 && progress.current != run.inputs[run.lastStarted])) {
                progress.done = run.done;
                progress.current = run.inputs[run.lastStarted];
                const RunProgress shown = progress;
                lock.unlock();
                onProgress(shown);
                lock.lock();
                continue;
            }
            if (timeout.count() > 0 && run.startedAt[slot] && run.nextToStart > run.nextToWrite) {
                const Clock::time_point deadline = *run.startedAt[slot] + timeout;
                if (run.changed.wait_until(lock, deadline) == std::cv_status::no_timeout || run.waiting[slot]) continue;
                // Given up: its thread stays blocked, another one takes its place.
                InstallationRecord late;
                late.installation = asUtf8(run.inputs[run.nextToWrite]);
                late.status = Status::Error;
                late.error = "timed out after " + std::to_string(timeout.count()) + " s";
                run.waiting[slot] = std::move(late);
                run.startedAt[slot].reset();
                run.givenUp[run.nextToWrite] = true;
                ++run.done;
                abandoned = true;
                --run.running;
                if (startWorker(state)) {
                    ++run.running;
                } else if (run.running == 0) {
                    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                            "no thread could be started");
                }
                continue;
            }
            run.changed.wait(lock);
            continue;
        }
        InstallationRecord record = std::move(*run.waiting[slot]);
        run.waiting[slot].reset();
        ++run.nextToWrite;
        run.changed.notify_all();
        lock.unlock();
        const bool wanted = onRecord(record);
        lock.lock();
        if (!wanted) {
            run.stopped = true;
            run.changed.notify_all();
            break;
        }
    }
    // The threads still taking work end with the last installation, or with the one
    // they check when the run stopped; those blocked past the timeout are left behind.
    const Clock::time_point deadline = Clock::now() + timeout;
    while (run.running > 0) {
        if (timeout.count() == 0) {
            run.changed.wait(lock);
        } else if (run.changed.wait_until(lock, deadline) == std::cv_status::timeout && run.running > 0) {
            abandoned = true;
            break;
        }
    }
    const bool stopped = run.stopped;
    lock.unlock();
    if (stopped) return;
    progress.done = static_cast<int>(count);
    onProgress(progress);
}

}  // namespace vud::fleet
