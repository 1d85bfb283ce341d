#include "fleet/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>

#include "catalogue/catalogue.h"
#include "fleet/dashboard.h"
#include "fleet/inputs.h"
#include "fleet/record_writer.h"
#include "fleet/report_parser.h"
#include "fleet/runner.h"

namespace vud::fleet {
namespace {

constexpr char kProgram[] = "vudfleet";

// Room for a million paths of average length.
constexpr std::size_t kLargestList = std::size_t{64} << 20;

constexpr char kDescription[] =
    "Checks the Vudmark applications of many installations at once, with the checks of\n"
    "vudcheck, and writes what it finds as text, CSV or JSON Lines, its totals by\n"
    "application as CSV, or metrics for monitoring.\n"
    "Each PATH is an installation folder (a local path, or a share such as\n"
    "\\\\ws042\\c$\\Vudmark) or a report saved from vudcheck; - reads one report from\n"
    "standard input.";

constexpr char kFooter[] =
    "An application file that is there but holds no version tag is damaged: a finding.\n"
    "A report is refused unless it says exactly what vudcheck prints for its blocks.\n"
    "Exit status: 0 every installation ok, 1 findings in any installation, 2 an input\n"
    "that could not be read or parsed, or a wrong command line.";

// The lines of a list of paths: UTF-8 or, as Windows PowerShell writes it, UTF-16LE;
// LF or CR LF; blank lines skipped.
std::optional<std::vector<std::string>> readPathList(const std::string& name, std::istream& standardInput,
                                                     std::string& problem) {
    std::string bytes;
    if (name == "-") {
        bytes.assign(std::istreambuf_iterator<char>(standardInput), std::istreambuf_iterator<char>());
    } else if (!readWholeFile(name, kLargestList, bytes, problem)) {
        return std::nullopt;
    }
    const std::string text = reportText(bytes, problem);
    if (!problem.empty()) return std::nullopt;
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos) paths.push_back(std::move(line));
        start = end + 1;
    }
    return paths;
}

// The progress line on a terminal: rewritten in place, as wide as a narrow console.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream& err, bool shown) : err_(err), shown_(shown) {}

    void show(const RunProgress& progress) {
        if (!shown_) return;
        // A terminal is slower than a fleet on local disk: a few updates a second.
        const auto now = std::chrono::steady_clock::now();
        if (progress.done < progress.all && now - lastShown_ < std::chrono::milliseconds(100)) return;
        lastShown_ = now;
        std::string line = std::to_string(progress.done) + " of " + std::to_string(progress.all) + " checked";
        if (progress.done < progress.all) line += ": " + progress.current;
        line = clipped(line);
        write(line);
    }

    void clear() {
        if (shown_ && width_ > 0) write("");
    }

private:
    static constexpr std::size_t kColumns = 79;

    // At most kColumns characters, cut at a character's start, so a line never wraps.
    static std::string clipped(const std::string& line) {
        std::size_t characters = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) continue;
            if (++characters > kColumns) return line.substr(0, i);
        }
        return line;
    }

    void write(const std::string& line) {
        const auto characters = static_cast<std::size_t>(std::count_if(
            line.begin(), line.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
        err_ << '\r' << line;
        if (characters < width_) err_ << std::string(width_ - characters, ' ') << '\r' << line;
        err_ << std::flush;
        width_ = characters;
    }

    std::ostream& err_;
    bool shown_;
    std::size_t width_ = 0;
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace

int runFleet(const std::vector<std::string>& arguments, Console console) {
    CLI::App app(kDescription, kProgram);
    app.footer(kFooter);
    app.set_version_flag("--version", std::string(kProgram) + " " + kCheckerVersion);
    app.get_formatter()->column_width(24);

    std::vector<std::string> paths;
    std::string fromFile;
    std::string htmlFile;
    int jobs = kDefaultJobs;
    Format format = Format::Text;
    const std::map<std::string, Format> formats{{"text", Format::Text},     {"csv", Format::Csv},
                                                {"json", Format::Json},     {"totals", Format::Totals},
                                                {"metrics", Format::Metrics}};

    app.add_option("PATH", paths, "Installation folders and saved reports");
    app.add_option("--format", format, "Output: text (default), csv, json (JSON Lines), totals (CSV by\n"
                   "application) or metrics (Prometheus text, for a .prom file)")
        ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case))
        ->option_text("FORMAT");
    app.add_option("--from", fromFile, "Reads further PATHs from FILE, one a line (- standard input)")
        ->option_text("FILE");
    app.add_option("--jobs", jobs, "Installations checked at once (default " + std::to_string(kDefaultJobs) + ")")
        ->check(CLI::Range(1, 256))
        ->option_text("N");
    app.add_option("--html", htmlFile, "Also writes a dashboard page of the fleet to FILE: worst\n"
                   "first, ok installations folded, totals under the grid")->option_text("FILE");

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, console.out, console.err);
        return status == 0 ? kAllOk : kInputError;
    }

    if (!fromFile.empty()) {
        std::string problem;
        const std::optional<std::vector<std::string>> listed = readPathList(fromFile, console.in, problem);
        if (!listed) {
            console.err << kProgram << ": " << fromFile << ": " << problem << '\n';
            return kInputError;
        }
        paths.insert(paths.end(), listed->begin(), listed->end());
    }
    if (paths.empty()) {
        console.err << kProgram << ": no installation given\n" << "Run with --help for more information.\n";
        return kInputError;
    }

    std::unique_ptr<std::ofstream> html;
    if (!htmlFile.empty()) {
        html = std::make_unique<std::ofstream>(pathFromUtf8(htmlFile), std::ios::binary);
        if (!*html) {
            console.err << kProgram << ": " << htmlFile << ": cannot be written\n";
            return kInputError;
        }
    }

    const std::unique_ptr<RecordWriter> writer = makeWriter(format, console.out);
    std::unique_ptr<Dashboard> dashboard;
    if (html) dashboard = std::make_unique<Dashboard>(scanStartingNow());
    ProgressLine progress(console.err, console.progress);
    bool findings = false;
    bool errors = false;
    checkAll(
        paths, jobs, [&console](const std::string& path) { return checkInput(path, console.in); },
        [&](const InstallationRecord& record) {
            findings = findings || record.status == Status::Findings;
            if (record.status == Status::Error) {
                errors = true;
                progress.clear();
                console.err << kProgram << ": " << record.installation << ": " << record.error << '\n';
            }
            writer->write(record);
            if (dashboard) dashboard->add(record);
        },
        [&progress](const RunProgress& shown) { progress.show(shown); });
    progress.clear();
    writer->finish();
    console.out.flush();

    if (html) {
        const bool complete = dashboard->write(*html);
        html->close();
        if (!complete || !*html) {
            console.err << kProgram << ": " << htmlFile << ": cannot be written\n";
            return kInputError;
        }
    }
    if (!console.out) {
        console.err << kProgram << ": standard output cannot be written\n";
        return kInputError;
    }
    if (errors) return kInputError;
    return findings ? kFindings : kAllOk;
}

}  // namespace vud::fleet
