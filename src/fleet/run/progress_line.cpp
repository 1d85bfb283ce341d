#include "fleet/run/progress_line.h"

#include <algorithm>
#include <atomic>

#include "text/utf8.h"

namespace vud::fleet {
namespace {

// As wide as a narrow console, so that the line never wraps.
constexpr std::size_t kLineColumns = 79;

// The characters of the progress line on the terminal now, for a signal handler.
std::atomic<std::size_t> progressWidth{0};
static_assert(std::atomic<std::size_t>::is_always_lock_free);

}  // namespace

void ProgressLine::show(const RunProgress& progress) {
    if (!shown_) return;
    // A terminal is slower than a fleet on local disk: a few updates a second.
    const auto now = std::chrono::steady_clock::now();
    if (progress.done < progress.all && now - lastShown_ < std::chrono::milliseconds(100)) return;
    lastShown_ = now;
    std::string line = std::to_string(progress.done) + " of " + std::to_string(progress.all) + " checked";
    if (progress.done < progress.all) line += ": " + shownSafely(asUtf8(progress.current));
    // Cut at a character's start.
    write(std::string(firstCharacters(line, kLineColumns)));
}

void ProgressLine::clear() {
    if (shown_ && width_ > 0) write("");
}

void ProgressLine::write(const std::string& line) {
    const std::size_t characters = characterCount(line);
    // While the line is rewritten, a signal handler clears the wider of the two.
    progressWidth = std::max(width_, characters);
    err_ << '\r' << line;
    if (characters < width_) err_ << std::string(width_ - characters, ' ') << '\r' << line;
    err_ << std::flush;
    width_ = characters;
    progressWidth = characters;
}

std::size_t progressLineWidth() { return progressWidth.load(); }

}  // namespace vud::fleet
