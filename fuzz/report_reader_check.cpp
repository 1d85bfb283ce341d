#include "report_reader_check.h"

#include <algorithm>
#include <cstddef>
#include <sstream>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/input/report_parser.h"
#include "fleet/input/scan.h"
#include "text/lines.h"
#include "text/saved_text.h"
#include "verify/summary.h"
#include "verify/verification.h"

namespace vud::fuzzing {
namespace {

std::string lineAt(const std::vector<std::string_view>& lines, std::size_t index) {
    return index < lines.size() ? "\"" + std::string(lines[index]) + "\"" : "the end";
}

}  // namespace

std::string findReportReaderMismatch(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fleet::ReadBack readBack;
    const fleet::InstallationRecord record = fleet::parseReport(bytes, "fuzz", &readBack);
    if (record.status == fleet::Status::Error) {
        if (record.error.rfind("line ", 0) != 0) return "a refusal that names no line: " + record.error;
        if (!record.applications.empty() || !readBack.blocks.empty()) return "a refusal that keeps applications";
        return {};
    }

    // Accepted: the checker's own printing of what was read gives the lines read.
    std::ostringstream printed;
    for (const ApplicationOutcome& block : readBack.blocks)
        printApplicationBlock(printed, kApplicationCatalogue[block.position].fileName, block.tag, block.byteCount,
                              block.verdict);
    printRunSummary(readBack.tally, printed);
    std::string problem;
    const std::string text = savedText(bytes, problem);
    const std::string reprint = printed.str();
    const std::vector<std::string_view> read = linesOf(text);
    const std::vector<std::string_view> expected = linesOf(reprint);
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (i >= read.size() || read[i] != expected[i])
            return "line " + std::to_string(i + 1) + " read as " + lineAt(read, i) + ", printed again as " +
                   lineAt(expected, i);
    for (std::size_t i = expected.size(); i < read.size(); ++i)
        if (!read[i].empty()) return "line " + std::to_string(i + 1) + " read after the summary";

    // And the record is that of the blocks and the tally.
    fleet::InstallationRecord fromTally;
    fleet::applyTally(readBack.tally, fromTally);
    if (fromTally.counts != record.counts || fromTally.notFound != record.notFound ||
        fromTally.mixed != record.mixed || fromTally.checkerOutOfDate != record.checkerOutOfDate ||
        fromTally.status != record.status)
        return "a record whose counts are not those of the summary";
    const auto blocks = std::count_if(record.applications.begin(), record.applications.end(),
                                      [](const fleet::ApplicationRecord& application) {
                                          return application.state == fleet::ApplicationState::Block;
                                      });
    if (blocks != static_cast<std::ptrdiff_t>(readBack.blocks.size()))
        return "a record whose blocks are not those read";
    return {};
}

}  // namespace vud::fuzzing
