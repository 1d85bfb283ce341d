// vudfleet's command line, read whole before any installation is checked:
//   vudfleet [--format FORMAT] [--jobs N] [--timeout SECONDS] [--from FILE]... [--html FILE]
//            [--baseline FILE] [--expect-generation G[,G...]] [--require-all] [--findings]
//            [--max-report-age DAYS] [--reference FILE [--require-reference]] [--output FILE]
//            PATH...
//   vudfleet --write-reference FILE [--from FILE]... FOLDER...
//   vudfleet -h | --help | --version
// FORMAT is text (the default), csv, json (JSON Lines), totals (CSV by application) or
// metrics (Prometheus text). The manual, doc/vudfleet.1, documents the same options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fleet/output/record_writer.h"
#include "fleet/run/runner.h"

namespace vud::fleet {

// The program's name, which begins each of its messages.
inline constexpr char kProgram[] = "vudfleet";

struct FleetOptions {
    std::vector<std::string> paths;      // installation folders and saved reports; "-" standard input
    std::vector<std::string> pathLists;  // --from: files that list further paths; "-" standard input
    Format format = Format::Text;
    int jobs = kDefaultJobs;
    int timeoutSeconds = kDefaultTimeoutSeconds;  // 0: no limit
    std::string htmlFile;                         // empty: no dashboard
    std::string outputFile;                       // the records' file; empty: standard output
    std::string baselineFile;                     // empty: nothing to compare with
    WriterOptions writer;  // the rollout's generations (ascending, each once) and rules, --findings,
                           // --max-report-age
    std::string referenceFile;       // --reference: empty: the blocks are held to no reference build
    bool requireReference = false;   // --require-reference: a block not verified is a finding
    std::string writeReferenceFile;  // --write-reference: the PATHs are known-good folders to make it of
};

// A command line read: the run it asks for, or what the program says before it ends.
struct ParsedCommandLine {
    std::optional<FleetOptions> options;  // empty: the program ends here
    std::string out;                      // --help's or --version's text, for standard output
    std::string err;                      // what is wrong with the command line, for standard error
    bool wrong = false;                   // the command line is wrong: an input error
};

// `arguments` are UTF-8, without the program's name. Reads no file: a list named by
// --from, the baseline, the reference and the dashboard's file are the run's to open.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The names --format takes, in the order --help gives them.
struct FormatName {
    const char* name;
    Format format;
};
inline constexpr FormatName kFormatNames[] = {{"text", Format::Text},
                                              {"csv", Format::Csv},
                                              {"json", Format::Json},
                                              {"totals", Format::Totals},
                                              {"metrics", Format::Metrics}};

// An option as --help shows it, for the documents that list the options too.
struct OptionSpelling {
    std::vector<std::string> names;   // each way to write it, the short one first ("-h", "--help")
    std::string argument;             // the name of its value as --help gives it; empty for a flag
    std::vector<std::string> values;  // the only values it takes, when there are few
};

// Every option the program takes, in the order --help lists them.
std::vector<OptionSpelling> optionSpellings();

}  // namespace vud::fleet
