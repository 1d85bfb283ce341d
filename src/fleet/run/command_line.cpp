#include "fleet/run/command_line.h"

#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "fleet/compare/baseline.h"
#include "fleet/compare/policy.h"
#include "fleet/input/inputs.h"
#include "fleet/input/installation_names.h"
#include "fleet/input/report_parser.h"
#include "fleet/output/dashboard.h"
#include "fleet/output/record_writer.h"
#include "fleet/run/progress_line.h"
#include "fleet/run/runner.h"
#include "text/lines.h"
#include "text/saved_text.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

constexpr char kProgram[] = "vudfleet";

// Room for a million paths of average length; a list is refused beyond it.
constexpr std::size_t kLargestList = std::size_t{64} << 20;

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
    const std::string text = savedText(bytes, problem);
    if (!problem.empty()) return std::nullopt;
    std::vector<ListedInstallation> paths;
    LineCursor lines(text);
    for (std::string_view line; lines.next(line);)
        if (std::optional<ListedInstallation> path = listedInstallation(line)) paths.push_back(std::move(*path));
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

// The installations of a run, each once, in the order given: the command line's,
// then those of each list.
struct Fleet {
    std::vector<std::string> paths;
    std::map<std::string, std::string> listedMachines;  // by path; the first naming wins
};

// Empty when a list cannot be read or no installation is given; the error is written.
std::optional<Fleet> fleetOf(const FleetOptions& options, Console console) {
    Fleet fleet;
    std::vector<std::string> paths = options.paths;
    for (const std::string& list : options.pathLists) {
        std::string problem;
        const std::optional<std::vector<ListedInstallation>> listed = readPathList(list, console.in, problem);
        if (!listed) {
            console.err << kProgram << ": " << shownSafely(asUtf8(list)) << ": " << problem << '\n';
            return std::nullopt;
        }
        for (const ListedInstallation& installation : *listed) {
            paths.push_back(installation.path);
            if (!installation.machine.empty()) fleet.listedMachines.emplace(installation.path, installation.machine);
        }
    }
    fleet.paths = withoutRepeats(paths, console.err);
    if (fleet.paths.empty()) {
        console.err << kProgram << ": no installation given\n" << "Run with --help for more information.\n";
        return std::nullopt;
    }
    return fleet;
}

// Where the records go, each file read or opened before the scan: a wrong one costs
// no scan.
struct Outputs {
    std::optional<Baseline> baseline;
    std::unique_ptr<std::ofstream> html;
    std::unique_ptr<RecordWriter> writer;
    std::unique_ptr<Dashboard> dashboard;

    void write(const InstallationRecord& record) {
        writer->write(record);
        if (dashboard) dashboard->add(record);
    }
};

// Empty when the baseline or the dashboard's file is refused; the error is written.
std::optional<Outputs> openOutputs(const FleetOptions& options, Console console) {
    Outputs outputs;
    ScanMetadata scan = scanStartingNow();
    if (!options.baselineFile.empty()) {
        std::string problem;
        outputs.baseline = Baseline::read(options.baselineFile, problem);
        if (!outputs.baseline) {
            console.err << kProgram << ": " << shownSafely(asUtf8(options.baselineFile)) << ": "
                        << shownSafely(problem) << '\n';
            return std::nullopt;
        }
        scan.compared = true;
        scan.baselineTime = outputs.baseline->scanTime();
    }
    if (!options.htmlFile.empty()) {
        outputs.html = std::make_unique<std::ofstream>(pathFromUtf8(options.htmlFile), std::ios::binary);
        if (!*outputs.html) {
            console.err << kProgram << ": " << shownSafely(asUtf8(options.htmlFile)) << ": cannot be written\n";
            return std::nullopt;
        }
    }
    outputs.writer = makeWriter(options.format, console.out, scan, options.writer);
    if (outputs.html) {
        outputs.dashboard = std::make_unique<Dashboard>(scan);
        if (options.writer.policy.inForce()) outputs.dashboard->holdTo(options.writer.policy);
    }
    return outputs;
}

// What the records checked held.
struct Tally {
    bool findings = false;
    bool errors = false;
};

// Checks every installation and writes its record, naming each error on standard error
// too. Empty when not a single thread could be started.
std::optional<Tally> checkFleet(const Fleet& fleet, const FleetOptions& options, Outputs& outputs,
                                Console console) {
    ProgressLine progress(console.err, console.progress);
    Tally tally;
    // A thread given up on a share that never answers keeps its copy of the check after
    // this returns: it holds nothing of this frame, only the standard input stream.
    std::istream* const standardInput = &console.in;
    try {
        checkAll(
            fleet.paths, options.jobs, std::chrono::seconds(options.timeoutSeconds),
            [standardInput](const std::string& path) { return checkInput(path, *standardInput); },
            // `next`: the input whose record comes next, as they come in input order.
            [&, next = std::size_t{0}](InstallationRecord& record) mutable {
                const std::string& path = fleet.paths[next];
                const auto listedMachine = fleet.listedMachines.find(path);
                // A machine is a name like a path's: the bytes of another encoding show as
                // escapes, and no two machines show alike.
                record.machine = asUtf8(listedMachine != fleet.listedMachines.end() ? listedMachine->second
                                                                                    : machineOfPath(path));
                ++next;
                // Before the comparison: a baseline written under the same rules has the
                // same statuses.
                if (options.writer.policy.inForce()) applyPolicy(options.writer.policy, record);
                if (outputs.baseline) outputs.baseline->compare(record);
                tally.findings = tally.findings || record.status == Status::Findings;
                if (record.status == Status::Error) {
                    tally.errors = true;
                    progress.clear();
                    console.err << kProgram << ": " << shownSafely(record.installation) << ": "
                                << shownSafely(record.error) << '\n';
                }
                outputs.write(record);
                // A reader gone from the pipe (where SIGPIPE is ignored, and on Windows): the
                // rest of the fleet would be checked for nobody.
                return !console.out.fail();
            },
            [&progress](const RunProgress& shown) { progress.show(shown); });
    } catch (const std::system_error& error) {
        progress.clear();
        console.err << kProgram << ": cannot check in parallel: " << error.what() << '\n';
        return std::nullopt;
    }
    progress.clear();
    return tally;
}

// Writes what the formats say once the fleet is checked: the installations gone since
// the baseline, the totals, the dashboard. False when some output could not be written;
// the error is written.
bool finish(Outputs& outputs, const FleetOptions& options, Console console) {
    if (outputs.baseline)
        for (const InstallationRecord& record : outputs.baseline->gone()) outputs.write(record);
    outputs.writer->finish();
    console.out.flush();
    if (outputs.html) {
        const bool complete = outputs.dashboard->write(*outputs.html);
        outputs.html->close();
        if (!complete || !*outputs.html) {
            console.err << kProgram << ": " << shownSafely(asUtf8(options.htmlFile)) << ": cannot be written\n";
            return false;
        }
    }
    if (!console.out) {
        console.err << kProgram << ": standard output cannot be written\n";
        return false;
    }
    return true;
}

}  // namespace

int runFleet(const std::vector<std::string>& arguments, Console console) {
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    console.out << parsed.out;
    console.err << parsed.err;
    if (!parsed.options) return parsed.wrong ? kInputError : kAllOk;
    return run(*parsed.options, console);
}

int run(const FleetOptions& options, Console console) {
    const std::optional<Fleet> fleet = fleetOf(options, console);
    if (!fleet) return kInputError;
    std::optional<Outputs> outputs = openOutputs(options, console);
    if (!outputs) return kInputError;
    const std::optional<Tally> tally = checkFleet(*fleet, options, *outputs, console);
    if (!tally || !finish(*outputs, options, console)) return kInputError;
    if (tally->errors) return kInputError;
    return tally->findings ? kFindings : kAllOk;
}

}  // namespace vud::fleet
