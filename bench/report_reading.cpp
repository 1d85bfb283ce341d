// How long the fleet takes to read a saved report of 1 MiB, well formed or made to be
// slow: every adversarial input must read or be refused in at most 3 times the time of
// a well-formed report of the same size. Prints the medians and the ratios; exits 1
// when a ratio is above 3 or an input is read otherwise than it must be.
//
//   vud_report_reading [RUNS]     (default 21 runs of each input)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/input/report_parser.h"
#include "probe/memory_installation.h"
#include "verify/verification.h"

namespace {

using namespace vud;

constexpr std::size_t kSize = std::size_t{1} << 20;

// The report of a complete, correct FWP 8.0 installation: 41 blocks and the summary;
// or, `cutShort`, one whose every tag ends right after "ver ", so that the reader
// tries each block against every tag it may stand for.
std::string correctReport(bool cutShort = false) {
    MemoryInstallation installation;
    for (int position = 0; position < kApplicationCount; ++position) {
        const std::string tag =
            cutShort ? std::string("ver ") : std::string("ver 8") + (kApplicationCatalogue[position].releaseCode + 1);
        installation.put(position, "x" + tag + '\0', kExpectedSizeTable[4][position]);
    }
    std::ostringstream report;
    runVerification(installation, report);
    return report.str();
}

// `head`, then `filler` repeated until the input is 1 MiB, then `tail`.
std::string filled(const std::string& head, const std::string& filler, const std::string& tail = "") {
    std::string text = head;
    while (text.size() + filler.size() + tail.size() <= kSize) text += filler;
    text.append(kSize - text.size() - tail.size(), filler.back() == '\n' ? '\n' : filler[0]);
    return text + tail;
}

struct Input {
    const char* what;
    std::string bytes;
    bool accepted;  // whether the reader must accept it
};

double medianSeconds(const std::string& bytes, int runs, bool& accepted) {
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const fleet::InstallationRecord record = fleet::parseReport(bytes, "bench");
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        accepted = record.status != fleet::Status::Error;
    }
    std::nth_element(seconds.begin(), seconds.begin() + runs / 2, seconds.end());
    return seconds[static_cast<std::size_t>(runs / 2)];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const std::string report = correctReport();
    const std::string firstBlockHead = report.substr(0, report.find("    vud_mcp.ma"));
    // Each fragment could end the first field of a verdict and begin the next, which
    // never ends: what a matcher that backtracks over its patterns takes longest on.
    const std::string fragment = "vud_mcp.ma is Beta ver ";
    const std::vector<Input> inputs = {
        // The only way a report the checker printed grows to 1 MiB: empty lines after it.
        {"well-formed report, empty lines after", filled(report, "\n"), true},
        {"tags cut short after \"ver \", empty lines after", filled(correctReport(true), "\n"), true},
        {"one 1 MiB verdict line", filled(firstBlockHead + "    ", "v", "\n\n"), false},
        {"1 MiB of \"v\"", filled("", "v"), false},
        {"partial verdict fragments on one line", filled(firstBlockHead + "    ", fragment, "\n\n"), false},
        {"a million short lines (\"v\")", filled("", "v\n"), false},
        {"a million empty lines", filled("", "\n"), false},
        {"identification lines over and over",
         filled("", "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"), false},
    };

    int missed = 0;
    std::printf("report reading, 1 MiB inputs, median of %d runs\n", runs);
    // A report as the checker prints it is a few KB; its time per byte, scaled to 1 MiB,
    // is the other measure of a well-formed report, and the ratios take the faster.
    bool accepted = false;
    const double perReport = medianSeconds(report, runs * 20, accepted);
    const double scaled = perReport * static_cast<double>(kSize) / static_cast<double>(report.size());
    std::printf("  %-50s %8.3f ms  %-8s  (%.1f us for its %zu bytes)\n", "well-formed report's rate, scaled to 1 MiB",
                scaled * 1000, accepted ? "read" : "refused", perReport * 1e6, report.size());
    missed += !accepted;
    double wellFormed = 0;
    for (const Input& input : inputs) {
        const double seconds = medianSeconds(input.bytes, runs, accepted);
        if (wellFormed == 0) wellFormed = std::min(seconds, scaled);
        const double ratio = seconds / wellFormed;
        const bool right = accepted == input.accepted;
        const bool met = right && ratio <= 3.0;
        missed += !met;
        std::printf("  %-50s %8.3f ms  %-8s  ratio %5.2f  target <= 3  %s\n", input.what, seconds * 1000,
                    accepted ? "read" : "refused", ratio, met ? "met" : right ? "MISSED" : "MISREAD");
    }
    return missed == 0 ? 0 : 1;
}
