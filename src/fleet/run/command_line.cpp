#include "fleet/run/command_line.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "fleet/compare/baseline.h"
#include "fleet/compare/policy.h"
#include "fleet/compare/reference.h"
#include "fleet/compare/report_age.h"
#include "fleet/input/inputs.h"
#include "fleet/input/inputs_platform.h"
#include "fleet/input/installation_names.h"
#include "fleet/input/path_list.h"
#include "fleet/output/dashboard.h"
#include "fleet/output/record_writer.h"
#include "fleet/output/whole_file.h"
#include "fleet/run/progress_line.h"
#include "fleet/run/reference_writing.h"
#include "fleet/run/runner.h"
#include "fleet/run/same_installations.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

// The installations a list names, read a piece at a time (path_list.h).
std::optional<std::vector<ListedInstallation>> readPathList(const std::string& name, std::istream& standardInput,
                                                            std::string& problem) {
    PathListReader list;
    const auto take = [&list](std::string_view piece) { return list.add(piece); };
    if (name == "-") {
        if (!readStreamInPieces(standardInput, take)) {
            problem = "standard input cannot be read";
            return std::nullopt;
        }
    } else if (!readFileInPieces(name, take, problem)) {
        return std::nullopt;
    }
    if (!list.finish()) {
        problem = list.problem();
        return std::nullopt;
    }
    return std::move(list.installations());
}

// An installation as a message names it: its path, and the machine a list names for it.
std::string named(const std::string& path, const std::string& machine) {
    return shownSafely(asUtf8(path)) + (machine.empty() ? "" : " on " + shownSafely(asUtf8(machine)));
}

// `listed` with each installation once as its path is spelled ("ws042" and "ws042/"):
// a fleet counted twice would tell wrong totals. Each repeat is named on standard
// error with its machine; the one kept takes the repeat's machine when it names none.
std::vector<ListedInstallation> withoutRepeats(const std::vector<ListedInstallation>& listed, std::ostream& err) {
    std::map<std::string, std::size_t> seen;
    std::vector<ListedInstallation> once;
    for (const ListedInstallation& installation : listed) {
        const auto [first, added] = seen.emplace(installationKey(installation.path), once.size());
        if (added) {
            once.push_back(installation);
            continue;
        }
        ListedInstallation& kept = once[first->second];
        err << kProgram << ": " << named(installation.path, installation.machine) << ": the same installation as "
            << named(kept.path, kept.machine) << ", checked once\n";
        if (kept.machine.empty()) kept.machine = installation.machine;
    }
    return once;
}

// The installations of a run, each once, in the order given: the command line's,
// then those of each list.
struct Fleet {
    std::vector<std::string> paths;
    std::vector<std::string> machines;  // by input: named by a list, or empty
};

// Empty when a list cannot be read or no installation is given; the error is written.
std::optional<Fleet> fleetOf(const FleetOptions& options, Console console) {
    std::vector<ListedInstallation> listed;
    std::transform(options.paths.begin(), options.paths.end(), std::back_inserter(listed),
                   [](const std::string& path) { return ListedInstallation{path, {}}; });
    for (const std::string& list : options.pathLists) {
        std::string problem;
        const std::optional<std::vector<ListedInstallation>> installations = readPathList(list, console.in, problem);
        if (!installations) {
            console.err << kProgram << ": " << shownSafely(asUtf8(list)) << ": " << problem << '\n';
            return std::nullopt;
        }
        listed.insert(listed.end(), installations->begin(), installations->end());
    }
    Fleet fleet;
    for (ListedInstallation& installation : withoutRepeats(listed, console.err)) {
        fleet.paths.push_back(std::move(installation.path));
        fleet.machines.push_back(std::move(installation.machine));
    }
    if (fleet.paths.empty()) {
        console.err << kProgram << ": no installation given\n" << "Run with --help for more information.\n";
        return std::nullopt;
    }
    return fleet;
}

// Where the records go, each file read or started before the scan: a wrong one costs
// no scan.
struct Outputs {
    std::int64_t scanTime = 0;  // reports' ages are told from it
    std::optional<Baseline> baseline;
    bool baselineRefused = false;    // given, but not read or not a whole scan: nothing compared
    std::unique_ptr<WholeFile> records;  // --output; else the records go to standard output
    std::unique_ptr<WholeFile> html;
    std::ostream* out = nullptr;     // where the records go
    // Shared with the checks: a thread given up on a dead share may outlive the run.
    std::shared_ptr<const Reference> reference;
    std::unique_ptr<RecordWriter> writer;
    std::unique_ptr<Dashboard> dashboard;

    void write(const InstallationRecord& record) {
        writer->write(record);
        if (dashboard) dashboard->add(record);
    }
};

// A file of the run's own (--output, --html), started beside the file it replaces;
// null when its folder takes no new file, the error written.
std::unique_ptr<WholeFile> startFile(const std::string& name, Console console) {
    std::string problem;
    std::unique_ptr<WholeFile> file = WholeFile::start(name, problem);
    if (!file) console.err << kProgram << ": " << shownSafely(asUtf8(name)) << ": cannot be written\n";
    return file;
}

// Empty when the dashboard's or the records' file cannot be written; the error is
// written. A baseline that cannot be used is named with its reason, and the scan is
// compared with nothing.
std::optional<Outputs> openOutputs(const FleetOptions& options, Console console) {
    Outputs outputs;
    ScanMetadata scan = scanStartingNow();
    outputs.scanTime = scan.time;
    if (!options.baselineFile.empty()) {
        std::string problem;
        outputs.baseline = Baseline::read(options.baselineFile, problem);
        if (outputs.baseline) {
            scan.compared = true;
            scan.baselineTime = outputs.baseline->scanTime();
        } else {
            // One bad night must not cost the nights after it: tonight's scan is still
            // written whole, and is tomorrow's baseline.
            console.err << kProgram << ": " << shownSafely(asUtf8(options.baselineFile)) << ": "
                        << shownSafely(problem) << "; nothing compared\n";
            outputs.baselineRefused = true;
        }
    }
    if (!options.referenceFile.empty()) {
        std::string problem;
        std::optional<Reference> reference = Reference::read(options.referenceFile, problem);
        if (!reference) {
            console.err << kProgram << ": " << shownSafely(asUtf8(options.referenceFile)) << ": "
                        << shownSafely(problem) << '\n';
            return std::nullopt;
        }
        outputs.reference = std::make_shared<const Reference>(std::move(*reference));
        scan.referenceDigest = hexDigest(outputs.reference->fileDigest());
        scan.referenceRequired = options.requireReference;
    }
    if (!options.htmlFile.empty() && !(outputs.html = startFile(options.htmlFile, console))) return std::nullopt;
    if (!options.outputFile.empty() && !(outputs.records = startFile(options.outputFile, console)))
        return std::nullopt;
    outputs.out = outputs.records ? &outputs.records->out() : &console.out;
    WriterOptions writerOptions = options.writer;
    // A scan meant to be read again as a baseline says where it ends.
    if (!options.baselineFile.empty() || !options.outputFile.empty()) writerOptions.recordFormat = kStateRecordFormat;
    outputs.writer = makeWriter(options.format, *outputs.out, scan, writerOptions);
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
    // this returns: it holds nothing of this frame, only the standard input stream and
    // what it shares with the other threads and its share of the reference.
    std::istream* const standardInput = &console.in;
    auto same = std::make_shared<SameInstallations>(fleet.paths.size());
    auto inputs = std::make_shared<std::map<std::string, std::size_t>>();
    for (std::size_t index = 0; index < fleet.paths.size(); ++index) inputs->emplace(fleet.paths[index], index);
    try {
        checkAll(
            fleet.paths, options.jobs, std::chrono::seconds(options.timeoutSeconds),
            [standardInput, same, inputs, reference = outputs.reference,
             required = options.requireReference](const std::string& path) {
                const std::size_t index = inputs->at(path);
                const std::optional<FileIdentity> identity =
                    path == "-" ? std::nullopt : fileIdentity(path);
                if (same->claim(index, identity)) {
                    // Written in its place only if the earlier input was given up before
                    // it could be told to be the same.
                    InstallationRecord record;
                    record.installation = asUtf8(path);
                    record.status = Status::Error;
                    record.error = "the same installation as an earlier input, not checked again";
                    return record;
                }
                return checkInput(path, *standardInput, ReferenceCheck{reference.get(), required});
            },
            // `next`: the input whose record comes next, as they come in input order.
            [&, next = std::size_t{0}](InstallationRecord& record) mutable {
                const std::size_t index = next++;
                const std::string& path = fleet.paths[index];
                if (const std::optional<std::size_t> written = same->writtenAs(index)) {
                    progress.clear();
                    console.err << kProgram << ": " << named(path, fleet.machines[index])
                                << ": the same installation as "
                                << named(fleet.paths[*written], fleet.machines[*written]) << ", checked once\n";
                    return true;
                }
                // A machine is a name like a path's: the bytes of another encoding show as
                // escapes, and no two machines show alike.
                record.machine = asUtf8(!fleet.machines[index].empty() ? fleet.machines[index] : machineOfPath(path));
                // Before the comparison: a baseline written under the same rules has the
                // same statuses.
                if (options.writer.policy.inForce()) applyPolicy(options.writer.policy, record);
                if (options.writer.maxReportAgeDays)
                    applyReportAge(*options.writer.maxReportAgeDays, outputs.scanTime, record);
                if (outputs.baseline) outputs.baseline->compare(record);
                tally.findings = tally.findings || record.status == Status::Findings;
                if (record.status == Status::Error) {
                    tally.errors = true;
                    progress.clear();
                    console.err << kProgram << ": " << shownSafely(record.installation) << ": "
                                << shownSafely(record.error) << '\n';
                }
                outputs.write(record);
                // A reader gone from the pipe (where SIGPIPE is ignored, and on Windows), or
                // a full disk: the rest of the fleet would be checked for nobody.
                return !outputs.out->fail();
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
// the baseline, the totals, the dashboard; puts the run's files in place. False when
// some output could not be written; the error is written.
bool finish(Outputs& outputs, const FleetOptions& options, Console console) {
    if (outputs.baseline) outputs.baseline->forEachGone([&outputs](const InstallationRecord& record) {
        outputs.write(record);
    });
    outputs.writer->finish();
    outputs.out->flush();
    bool written = true;
    const auto put = [&](std::unique_ptr<WholeFile>& file, const std::string& name) {
        std::string problem;
        if (file->finish(problem)) return;
        console.err << kProgram << ": " << shownSafely(asUtf8(name)) << ": cannot be written"
                    << (problem.empty() ? "" : ": " + shownSafely(problem)) << '\n';
        written = false;
    };
    if (outputs.records) put(outputs.records, options.outputFile);
    if (outputs.html) {
        if (!outputs.dashboard->write(outputs.html->out())) {
            console.err << kProgram << ": " << shownSafely(asUtf8(options.htmlFile)) << ": cannot be written\n";
            written = false;
        } else {
            put(outputs.html, options.htmlFile);
        }
    }
    if (!outputs.records && !console.out) {
        console.err << kProgram << ": standard output cannot be written\n";
        return false;
    }
    return written;
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
    if (!options.writeReferenceFile.empty())
        return writeReference(fleet->paths, options.writeReferenceFile, console.out, console.err) ? kAllOk
                                                                                                  : kInputError;
    std::optional<Outputs> outputs = openOutputs(options, console);
    if (!outputs) return kInputError;
    const std::optional<Tally> tally = checkFleet(*fleet, options, *outputs, console);
    if (!tally || !finish(*outputs, options, console)) return kInputError;
    if (tally->errors || outputs->baselineRefused) return kInputError;
    return tally->findings ? kFindings : kAllOk;
}

}  // namespace vud::fleet
