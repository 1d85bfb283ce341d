#include "fleet/run/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "catalogue/catalogue.h"
#include "fleet/compare/baseline.h"
#include "fleet/output/dashboard.h"
#include "fleet/input/inputs.h"
#include "fleet/input/installation_names.h"
#include "fleet/compare/policy.h"
#include "fleet/output/record_writer.h"
#include "fleet/input/report_parser.h"
#include "fleet/run/runner.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

constexpr char kProgram[] = "vudfleet";

// Room for a million paths of average length; a list is refused beyond it.
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
    "A report is refused unless it says exactly what vudcheck prints for its blocks:\n"
    "an edited or damaged report is an error record. A report or standard input holds\n"
    "at most 1 MiB; a FIFO or a device is refused unread. In names, control characters\n"
    "and bytes that are not UTF-8 show as escapes (\\r, \\x1b, \\xff).\n"
    "Exit status: 0 every installation ok, 1 findings in any installation, 2 an input\n"
    "that could not be read or parsed, an installation timed out, or a wrong command\n"
    "line. Ended by Ctrl-C or by a pipe's reader going, it clears its progress line and\n"
    "ends by that signal, as other programs do.\n"
    "\n"
    "An administrator's day, once FWP 11.0 is rolled out:\n"
    "  at night     mv today.json yesterday.json\n"
    "               vudfleet --format json --baseline yesterday.json --expect-generation 11\n"
    "                 --require-all --from workstations.txt --html fleet.html > today.json\n"
    "  the changes  each record's \"change\": added, gone, changed; each application's:\n"
    "               new-finding, fixed, changed (text output: listed first)\n"
    "  dashboard    fleet.html: worst first, ok ones folded, changes marked\n"
    "  an alert     vudfleet --format metrics, the same list and rollout, > vudfleet.prom for\n"
    "               the node exporter; alert on vudfleet_installations{status=\"findings\"} > 0\n"
    "The manual, vudfleet(1), defines every field.";

// The lines of a list of paths: UTF-8 or, as Windows PowerShell writes it, UTF-16LE;
// LF or CR LF; blank lines and comments skipped.
std::optional<std::vector<ListedInstallation>> readPathList(const std::string& name, std::istream& standardInput,
                                                     std::string& problem) {
    std::string bytes;
    if (name == "-") {
        if (!readBounded(standardInput, kLargestList, bytes, problem)) return std::nullopt;
    } else if (!readWholeFile(name, kLargestList, bytes, problem)) {
        return std::nullopt;
    }
    const std::string text = reportText(bytes, problem);
    if (!problem.empty()) return std::nullopt;
    std::vector<ListedInstallation> paths;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (std::optional<ListedInstallation> path = listedInstallation(std::string_view(text).substr(start, end - start)))
            paths.push_back(std::move(*path));
        start = end + 1;
    }
    return paths;
}

// `paths` with each installation once: a fleet counted twice would tell wrong totals.
std::vector<std::string> withoutRepeats(const std::vector<std::string>& paths, std::ostream& err) {
    std::map<std::string, std::string> seen;
    std::vector<std::string> once;
    for (const std::string& path : paths) {
        const auto [first, added] = seen.emplace(installationKey(path), path);
        if (added) {
            once.push_back(path);
        } else {
            err << kProgram << ": " << shownSafely(asUtf8(path)) << ": the same installation as "
                << shownSafely(asUtf8(first->second)) << ", checked once\n";
        }
    }
    return once;
}

// The characters of the progress line on the terminal now, for a signal handler.
std::atomic<std::size_t> progressWidth{0};
static_assert(std::atomic<std::size_t>::is_always_lock_free);

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
        if (progress.done < progress.all) line += ": " + shownSafely(asUtf8(progress.current));
        line = clipped(line);
        write(line);
    }

    void clear() {
        if (shown_ && width_ > 0) write("");
    }

private:
    static constexpr std::size_t kColumns = 79;

    // At most kColumns characters, cut at a character's start, so a line never wraps.
    static std::string clipped(const std::string& line) { return std::string(firstCharacters(line, kColumns)); }

    void write(const std::string& line) {
        const std::size_t characters = characterCount(line);
        // While the line is rewritten, a signal handler clears the wider of the two.
        progressWidth = std::max(width_, characters);
        err_ << '\r' << line;
        if (characters < width_) err_ << std::string(width_ - characters, ' ') << '\r' << line;
        err_ << std::flush;
        width_ = characters;
        progressWidth = characters;
    }

    std::ostream& err_;
    bool shown_;
    std::size_t width_ = 0;
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace

std::size_t progressLineWidth() { return progressWidth.load(); }

int runFleet(const std::vector<std::string>& arguments, Console console) {
    CLI::App app(kDescription, kProgram);
    app.footer(kFooter);
    app.set_version_flag("--version", std::string(kProgram) + " " + kCheckerVersion);
    app.get_formatter()->column_width(24);
    // A path such as //ws042/c$/Vudmark is no option, on Windows as elsewhere.
    app.allow_windows_style_options(false);

    std::vector<std::string> paths;
    std::vector<std::string> fromFiles;
    std::string htmlFile;
    std::string baselineFile;
    int jobs = kDefaultJobs;
    int timeoutSeconds = kDefaultTimeoutSeconds;
    const std::map<std::string, Format> formats{{"text", Format::Text},     {"csv", Format::Csv},
                                                {"json", Format::Json},     {"totals", Format::Totals},
                                                {"metrics", Format::Metrics}};

    // Counts are written in decimal digits only: "0x10" or "1e3" is a typing slip.
    const CLI::Validator kDecimal(
        [](const std::string& text) {
            const bool digits = !text.empty() && text.size() <= 9 &&
                                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            return digits ? std::string() : "not a whole number in decimal digits: " + text;
        },
        "", "decimal");
    app.add_option("PATH", paths, "Installation folders and saved reports");
    std::string formatName = "text";
    app.add_option("--format", formatName, "Output: text (default), csv, json (JSON Lines), totals (CSV by\n"
                   "application) or metrics (Prometheus text, for a .prom file)")
        ->check(CLI::Validator(
            [&formats](std::string& name) {
                std::transform(name.begin(), name.end(), name.begin(),
                               [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
                return formats.count(name) != 0 ? std::string() : "text, csv, json, totals or metrics, not " + name;
            },
            "", "format name"))
        ->option_text("FORMAT");
    app.add_option("--from", fromFiles,
                   "Reads further PATHs from FILE, one a line, MACHINE<tab>PATH to name\n"
                   "its machine, # comments (- standard input; repeatable; at most 64 MiB)")
        ->allow_extra_args(false)
        ->option_text("FILE");
    app.add_option("--jobs", jobs, "Installations checked at once (default " + std::to_string(kDefaultJobs) + ")")
        ->check(kDecimal)
        ->check(CLI::Range(1, 256))
        ->option_text("N");
    app.add_option("--timeout", timeoutSeconds,
                   "Gives up an installation not checked in SECONDS (default " +
                       std::to_string(kDefaultTimeoutSeconds) + ", 0 none, at most " +
                       std::to_string(kLargestTimeoutSeconds) + "): an error record")
        ->check(kDecimal)
        ->check(CLI::Range(0, kLargestTimeoutSeconds))
        ->option_text("SECONDS");
    std::vector<std::string> expectedGenerations;
    WriterOptions options;
    app.add_option("--expect-generation", expectedGenerations,
                   "The host generations rolled out (2, 6 to 12; comma separated,\n"
                   "repeatable): a build for any other is a finding, wrong generation")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->check(CLI::Validator(
            [](const std::string& text) {
                std::string problem;
                return hostGenerationOf(text, problem) ? std::string() : problem;
            },
            "", "host generation"))
        ->option_text("G[,G...]");
    app.add_flag("--require-all", options.policy.requireAll,
                 "Every application must be there: one not found is a finding");
    app.add_flag("--findings", options.findingsOnly,
                 "Writes only installations with findings or errors (CSV: only\n"
                 "the rows of findings); totals and metrics still count all");
    app.add_option("--baseline", baselineFile, "Tells what changed since an earlier scan, FILE, written by\n"
                   "--format json: installations added, gone or changed, applications\n"
                   "with a new finding, fixed or changed")->option_text("FILE");
    app.add_option("--html", htmlFile, "Also writes a dashboard page of the fleet to FILE: worst\n"
                   "first, ok installations folded, totals under the grid (FILE is\n"
                   "opened before any installation is checked)")->option_text("FILE");

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, console.out, console.err);
        return status == 0 ? kAllOk : kInputError;
    }

    for (const std::string& text : expectedGenerations) {
        std::string problem;
        const int generation = hostGenerationOf(text, problem).value_or(0);
        std::vector<int>& expected = options.policy.expectedGenerations;
        if (std::find(expected.begin(), expected.end(), generation) == expected.end()) expected.push_back(generation);
    }
    std::sort(options.policy.expectedGenerations.begin(), options.policy.expectedGenerations.end());

    const auto standardInputUses =
        std::count(paths.begin(), paths.end(), "-") + std::count(fromFiles.begin(), fromFiles.end(), "-");
    if (standardInputUses > 1) {
        console.err << kProgram << ": standard input (-) can be read only once\n";
        return kInputError;
    }
    // The machines named in the lists, by path; the first naming wins.
    std::map<std::string, std::string> listedMachines;
    for (const std::string& fromFile : fromFiles) {
        std::string problem;
        const std::optional<std::vector<ListedInstallation>> listed = readPathList(fromFile, console.in, problem);
        if (!listed) {
            console.err << kProgram << ": " << shownSafely(asUtf8(fromFile)) << ": " << problem << '\n';
            return kInputError;
        }
        for (const ListedInstallation& installation : *listed) {
            paths.push_back(installation.path);
            if (!installation.machine.empty()) listedMachines.emplace(installation.path, installation.machine);
        }
    }
    paths = withoutRepeats(paths, console.err);
    if (paths.empty()) {
        console.err << kProgram << ": no installation given\n" << "Run with --help for more information.\n";
        return kInputError;
    }

    // Read whole and judged before the scan: a wrong file costs no scan.
    std::optional<Baseline> baseline;
    ScanMetadata scan = scanStartingNow();
    if (!baselineFile.empty()) {
        std::string problem;
        baseline = Baseline::read(baselineFile, problem);
        if (!baseline) {
            console.err << kProgram << ": " << shownSafely(asUtf8(baselineFile)) << ": " << shownSafely(problem)
                        << '\n';
            return kInputError;
        }
        scan.compared = true;
        scan.baselineTime = baseline->scanTime();
    }

    std::unique_ptr<std::ofstream> html;
    if (!htmlFile.empty()) {
        html = std::make_unique<std::ofstream>(pathFromUtf8(htmlFile), std::ios::binary);
        if (!*html) {
            console.err << kProgram << ": " << shownSafely(asUtf8(htmlFile)) << ": cannot be written\n";
            return kInputError;
        }
    }

    const std::unique_ptr<RecordWriter> writer = makeWriter(formats.at(formatName), console.out, scan, options);
    std::unique_ptr<Dashboard> dashboard;
    if (html) dashboard = std::make_unique<Dashboard>(scan);
    if (dashboard && options.policy.inForce()) dashboard->holdTo(options.policy);
    ProgressLine progress(console.err, console.progress);
    bool findings = false;
    bool errors = false;
    // A thread given up on a share that never answers keeps its copy of the check after
    // this returns: it holds nothing of this frame, only the standard input stream.
    std::istream* const standardInput = &console.in;
    try {
    checkAll(
        paths, jobs, std::chrono::seconds(timeoutSeconds),
        [standardInput](const std::string& path) { return checkInput(path, *standardInput); },
        // `next`: the input whose record comes next, as they come in input order.
        [&, next = std::size_t{0}](InstallationRecord& record) mutable {
            const auto listedMachine = listedMachines.find(paths[next]);
            record.machine = listedMachine != listedMachines.end() ? listedMachine->second : asUtf8(machineOfPath(paths[next]));
            ++next;
            // Before the comparison: a baseline written under the same rules has the
            // same statuses.
            if (options.policy.inForce()) applyPolicy(options.policy, record);
            if (baseline) baseline->compare(record);
            findings = findings || record.status == Status::Findings;
            if (record.status == Status::Error) {
                errors = true;
                progress.clear();
                console.err << kProgram << ": " << shownSafely(record.installation) << ": " << shownSafely(record.error)
                            << '\n';
            }
            writer->write(record);
            if (dashboard) dashboard->add(record);
            // A reader gone from the pipe (where SIGPIPE is ignored, and on Windows): the
            // rest of the fleet would be checked for nobody.
            return !console.out.fail();
        },
        [&progress](const RunProgress& shown) { progress.show(shown); });
    } catch (const std::system_error& error) {
        progress.clear();
        console.err << kProgram << ": cannot check in parallel: " << error.what() << '\n';
        return kInputError;
    }
    progress.clear();
    if (baseline) {
        for (const InstallationRecord& record : baseline->gone()) {
            writer->write(record);
            if (dashboard) dashboard->add(record);
        }
    }
    writer->finish();
    console.out.flush();

    if (html) {
        const bool complete = dashboard->write(*html);
        html->close();
        if (!complete || !*html) {
            console.err << kProgram << ": " << shownSafely(asUtf8(htmlFile)) << ": cannot be written\n";
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
