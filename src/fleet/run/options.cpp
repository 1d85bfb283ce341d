#include "fleet/run/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string_view>

#include "catalogue/catalogue.h"
#include "fleet/compare/policy.h"
#include "fleet/compare/report_age.h"
#include "text/case.h"
#include "text/decimal.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

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
    "that could not be read or parsed, an installation timed out, a baseline not used,\n"
    "or a wrong command line. Ended by Ctrl-C or by a pipe's reader going, it clears its\n"
    "progress line and ends by that signal, as other programs do.\n"
    "\n"
    "An administrator's day, once FWP 11.0 is rolled out:\n"
    "  at night     cp today.json yesterday.json\n"
    "               vudfleet --format json --baseline today.json --output today.json\n"
    "                 --expect-generation 11 --require-all --from workstations.txt\n"
    "                 --html fleet.html\n"
    "               (today.json and fleet.html replaced whole once the scan is done;\n"
    "               a baseline that cannot be used is named, nothing compared, exit 2)\n"
    "  the changes  each record's \"change\": added, gone, changed; each application's:\n"
    "               new_finding, fixed, changed (text output: listed first)\n"
    "  dashboard    fleet.html: worst first, ok ones folded, changes marked\n"
    "  an alert     vudfleet --format metrics, the same list and rollout, --output\n"
    "               vudfleet.prom for the node exporter; alert on\n"
    "               vudfleet_installations{status=\"findings\"} > 0\n"
    "  a reference  once, from the vendor's media: vudfleet --write-reference reference.txt\n"
    "               MEDIA; at night add --reference reference.txt: a file \"modified\" has other\n"
    "               bytes than the release of its tag and size: copy it again from the media\n"
    "The manual, vudfleet(1), defines every field.";

// "text, csv, json, totals or metrics".
std::string formatChoices() {
    std::string choices;
    for (std::size_t i = 0; i < std::size(kFormatNames); ++i) {
        if (i > 0) choices += i + 1 < std::size(kFormatNames) ? ", " : " or ";
        choices += kFormatNames[i].name;
    }
    return choices;
}

// What the options are read into, before the names in it are looked up.
struct ReadOptions {
    FleetOptions options;
    std::string formatName = "text";
    std::vector<std::string> expectedGenerations;
    std::string problem;  // what a check of an option's value found wrong, in the program's words
};

// The words of a message, joined.
std::string joined(std::initializer_list<std::string_view> words) {
    std::string text;
    for (const std::string_view word : words) text += word;
    return text;
}

// A value as a message quotes it.
std::string inQuotes(const std::string& text) { return '"' + shownSafely(text) + '"'; }

// A check of `option`'s value: `problem` gives what is wrong with it, as words that
// follow the option's name, empty when nothing is; what it says is kept for the
// message, the library's words go unused.
CLI::Validator checked(const std::string& option, std::string& kept,
                       const std::function<std::string(std::string&)>& problem) {
    return CLI::Validator(
        [option, &kept, problem](std::string& text) {
            std::string wrong = problem(text);
            if (!wrong.empty()) kept = option + wrong;
            return wrong;
        },
        "", option);
}

// A count between `least` and `most`, written in decimal digits only: "0x10" or "1e3"
// is a typing slip. "010" is ten, as written: what is passed on has no leading zero,
// which the library's own reading of numbers would take for an octal one.
CLI::Validator decimalBetween(const std::string& option, std::string& kept, int least, int most) {
    return checked(option, kept, [least, most](std::string& text) {
        const std::optional<int> count = decimalCount(text);
        if (!count || *count < least || *count > most)
            return " takes a whole number from " + std::to_string(least) + " to " + std::to_string(most) +
                   " in decimal digits, not " + inQuotes(text);
        text = std::to_string(*count);
        return std::string();
    });
}

// The items of a comma-separated list, empty ones kept: "11,,12" and "11," are slips
// to refuse, not lists of two and of one.
std::vector<std::string_view> listItems(std::string_view list) {
    std::vector<std::string_view> items;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) return items;
        start = comma + 1;
    }
}

// The one table of the program's options: their names, values, checks and help. A
// check that rewrites its value (a format name folded to lower case, a count without
// leading zeros) is a transform: the library's checks see only a copy.
void declareOptions(CLI::App& app, ReadOptions& read) {
    app.footer(kFooter);
    app.set_version_flag("--version", std::string(kProgram) + " " + kCheckerVersion);
    app.get_formatter()->column_width(24);
    // A path such as //ws042/c$/Vudmark is no option, on Windows as elsewhere.
    app.allow_windows_style_options(false);

    FleetOptions& options = read.options;
    app.add_option("PATH", options.paths, "Installation folders and saved reports");
    app.add_option("--format", read.formatName, "Output: text (default), csv, json (JSON Lines), totals (CSV by\n"
                   "application) or metrics (Prometheus text, for a .prom file)")
        ->transform(checked("--format", read.problem,
                            [](std::string& name) {
                                const std::string given = name;
                                name = lowerAscii(name);
                                const bool known = std::any_of(
                                    std::begin(kFormatNames), std::end(kFormatNames),
                                    [&name](const FormatName& format) { return name == format.name; });
                                return known ? std::string() : " takes " + formatChoices() + ", not " + inQuotes(given);
                            }))
        ->option_text("FORMAT");
    app.add_option("--from", options.pathLists,
                   "Reads further PATHs from FILE, one a line, MACHINE<tab>PATH to name\n"
                   "its machine, # comments (- standard input; repeatable; at most 64 MiB)")
        ->allow_extra_args(false)
        ->option_text("FILE");
    app.add_option("--jobs", options.jobs, "Installations checked at once (default " + std::to_string(kDefaultJobs) + ")")
        ->transform(decimalBetween("--jobs", read.problem, 1, 256))
        ->option_text("N");
    app.add_option("--timeout", options.timeoutSeconds,
                   "Gives up an installation not checked in SECONDS (default " +
                       std::to_string(kDefaultTimeoutSeconds) + ", 0 none, at most " +
                       std::to_string(kLargestTimeoutSeconds) + "): an error record")
        ->transform(decimalBetween("--timeout", read.problem, 0, kLargestTimeoutSeconds))
        ->option_text("SECONDS");
    app.add_option("--expect-generation", read.expectedGenerations,
                   "The host generations rolled out (2, 6 to 12; comma separated,\n"
                   "repeatable): a build for any other is a finding, wrong generation")
        ->allow_extra_args(false)
        ->check(checked("--expect-generation", read.problem,
                        [](const std::string& list) {
                            std::string problem;
                            const std::vector<std::string_view> items = listItems(list);
                            const bool wrong = std::any_of(items.begin(), items.end(), [&problem](std::string_view item) {
                                return !hostGenerationOf(item, problem).has_value();
                            });
                            return wrong ? ": " + problem : std::string();
                        }))
        ->option_text("G[,G...]");
    app.add_flag("--require-all", options.writer.policy.requireAll,
                 "Every application must be there: one not found is a finding");
    app.add_flag("--findings", options.writer.findingsOnly,
                 "Writes only installations with findings or errors (CSV: only\n"
                 "the rows of findings); totals and metrics still count all");
    app.add_option("--max-report-age", options.writer.maxReportAgeDays,
                   "A saved report written more than DAYS days before the scan (its\n"
                   "file's modification time) is a finding, stale report")
        ->transform(decimalBetween("--max-report-age", read.problem, 1, kLongestReportAgeDays))
        ->option_text("DAYS");
    app.add_option("--baseline", options.baselineFile, "Tells what changed since an earlier scan, FILE, written by\n"
                   "--format json: installations added, gone or changed, applications\n"
                   "with a new finding, fixed or changed")->option_text("FILE");
    CLI::Option* html =
        app.add_option("--html", options.htmlFile, "Also writes a dashboard page of the fleet to FILE: worst\n"
                       "first, ok installations folded, totals under the grid (FILE is\n"
                       "opened before any installation is checked)")->option_text("FILE");
    CLI::Option* output =
        app.add_option("--output", options.outputFile, "Writes the records to FILE, not to standard output, whole or\n"
                       "not at all: FILE is replaced once the last record is on disk")->option_text("FILE");
    CLI::Option* reference =
        app.add_option("--reference", options.referenceFile,
                       "Holds every block to the reference build FILE (--write-reference):\n"
                       "a file of a build it holds is read whole and its SHA-256 compared,\n"
                       "verified or modified (other bytes: a finding)")
            ->option_text("FILE");
    CLI::Option* required =
        app.add_flag("--require-reference", options.requireReference,
                     "With --reference, every block must be verified: one unreferenced,\n"
                     "changed while read or from a saved report is a finding")
            ->needs(reference);
    app.add_option("--write-reference", options.writeReferenceFile,
                   "Checks nothing: writes to FILE the reference build of the known-good\n"
                   "installation folders given as PATHs (each application file's SHA-256,\n"
                   "size, tag and name)")
        ->option_text("FILE")
        ->excludes(reference)
        ->excludes(required)
        ->excludes(html)
        ->excludes(output)
        ->excludes("--baseline")
        ->excludes("--format")
        ->excludes("--expect-generation")
        ->excludes("--require-all")
        ->excludes("--findings");
}

// The options with their names looked up: each was checked as it was read.
FleetOptions looked(ReadOptions read) {
    FleetOptions options = std::move(read.options);
    for (const FormatName& format : kFormatNames)
        if (read.formatName == format.name) options.format = format.format;
    std::vector<int>& expected = options.writer.policy.expectedGenerations;
    for (const std::string& list : read.expectedGenerations) {
        for (const std::string_view item : listItems(list)) {
            std::string problem;
            const int generation = hostGenerationOf(item, problem).value_or(0);
            if (std::find(expected.begin(), expected.end(), generation) == expected.end())
                expected.push_back(generation);
        }
    }
    std::sort(expected.begin(), expected.end());
    return options;
}

// What is wrong with a command line the library refused for its form rather than for a
// value, in the program's words: an option it does not take, one without its value or
// with a value where it takes none, one given twice that holds one value, one without
// another it needs or beside one it excludes. An option's
// value is the argument after it, whatever it looks like, as the library takes it.
std::string wrongForm(CLI::App& app, const std::vector<std::string>& arguments) {
    std::map<const CLI::Option*, int> given;
    std::vector<const CLI::Option*> inOrder;  // as first given
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") break;
        // A path, "-" (standard input) or a negative number.
        if (argument.size() < 2 || argument[0] != '-' || (argument[1] >= '0' && argument[1] <= '9')) continue;
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const CLI::Option* option = app.get_option_no_throw(name);
        if (option == nullptr) return joined({inQuotes(name), " is no option of ", kProgram});
        const std::string value = option->get_option_text();
        if (value.empty() && equals != std::string::npos) return joined({name, " takes no value"});
        if (!value.empty() && equals == std::string::npos) {
            if (i + 1 == arguments.size()) return joined({name, " is missing its ", value});
            ++i;
        }
        if (!value.empty() && equals + 1 == argument.size()) return joined({name, " is missing its ", value});
        if (given[option] == 0) inOrder.push_back(option);
        if (++given[option] > 1 && option->get_items_expected_max() <= 1)
            return joined({name, " is given more than once: which one holds is no guess to make"});
    }
    // Options that take others, or that make no sense beside others.
    for (const CLI::Option* option : inOrder) {
        for (const CLI::Option* needed : option->get_needs())
            if (given.count(needed) == 0) return joined({option->get_name(), " needs ", needed->get_name()});
        for (const CLI::Option* other : option->get_excludes())
            if (given.count(other) > 0) return joined({option->get_name(), " cannot be given with ", other->get_name()});
    }
    return "the command line is not one it takes";
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CLI::App app(kDescription, kProgram);
    ReadOptions read;
    declareOptions(app, read);
    ParsedCommandLine parsed;
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            // --help or --version: the text they print.
            std::ostringstream out;
            std::ostringstream err;
            app.exit(error, out, err);
            parsed.out = out.str();
            parsed.err = err.str();
            return parsed;
        }
        const bool value = dynamic_cast<const CLI::ValidationError*>(&error) != nullptr && !read.problem.empty();
        parsed.err = std::string(kProgram) + ": " + (value ? read.problem : wrongForm(app, arguments)) +
                     "\nRun with --help for more information.\n";
        parsed.wrong = true;
        return parsed;
    }
    const std::vector<std::string>& paths = read.options.paths;
    const std::vector<std::string>& lists = read.options.pathLists;
    if (std::count(paths.begin(), paths.end(), "-") + std::count(lists.begin(), lists.end(), "-") > 1) {
        parsed.err = std::string(kProgram) + ": standard input (-) can be read only once\n";
        parsed.wrong = true;
        return parsed;
    }
    parsed.options = looked(std::move(read));
    return parsed;
}

std::vector<OptionSpelling> optionSpellings() {
    CLI::App app(kDescription, kProgram);
    ReadOptions read;
    declareOptions(app, read);
    std::vector<OptionSpelling> spellings;
    for (const CLI::Option* option : app.get_options([](const CLI::Option* option) { return option->nonpositional(); })) {
        OptionSpelling spelling;
        for (const std::string& name : option->get_snames()) spelling.names.push_back("-" + name);
        for (const std::string& name : option->get_lnames()) spelling.names.push_back("--" + name);
        spelling.argument = option->get_option_text();
        if (option->check_lname("format"))
            for (const FormatName& format : kFormatNames) spelling.values.emplace_back(format.name);
        spellings.push_back(std::move(spelling));
    }
    return spellings;
}

}  // namespace vud::fleet
