// The fleet checker's command line read on its own: the options a run gets, the wrong
// command lines it is refused for, and the manual that documents the same options.
#include "fleet/run/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

namespace vud::fleet {
namespace {

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

TEST(FleetOptions, EachOptionReachesTheRunAsGiven) {
    const struct {
        std::vector<std::string> arguments;
        std::function<void(FleetOptions&)> expect;  // from the defaults
    } cases[] = {
        // No installation at all is the run's to refuse: a list may still name some.
        {{}, [](FleetOptions&) {}},
        // Named twice, it is the run that checks it once and says so.
        {{"ws042", "ws007", "ws042"}, [](FleetOptions& o) { o.paths = {"ws042", "ws007", "ws042"}; }},
        // A share written with slashes is a path, not a Windows-style option.
        {{"//ws042/c$/Vudmark", "/jobs"}, [](FleetOptions& o) { o.paths = {"//ws042/c$/Vudmark", "/jobs"}; }},
        {{"--", "--jobs"}, [](FleetOptions& o) { o.paths = {"--jobs"}; }},
        {{"-"}, [](FleetOptions& o) { o.paths = {"-"}; }},
        {{"--format", "CSV", "ws042"},
         [](FleetOptions& o) {
             o.format = Format::Csv;
             o.paths = {"ws042"};
         }},
        {{"--format=Json"}, [](FleetOptions& o) { o.format = Format::Json; }},
        {{"--format", "totals"}, [](FleetOptions& o) { o.format = Format::Totals; }},
        {{"--format", "metrics"}, [](FleetOptions& o) { o.format = Format::Metrics; }},
        {{"--jobs", "1", "--timeout", "0"},
         [](FleetOptions& o) {
             o.jobs = 1;
             o.timeoutSeconds = 0;
         }},
        {{"--jobs=256", "--timeout=86400"},
         [](FleetOptions& o) {
             o.jobs = 256;
             o.timeoutSeconds = 86400;
         }},
        // Decimal as written: a leading zero makes no octal number.
        {{"--jobs", "010", "--timeout", "09"},
         [](FleetOptions& o) {
             o.jobs = 10;
             o.timeoutSeconds = 9;
         }},
        // Each --from takes one file; what follows it is a path again.
        {{"--from", "office.txt", "ws042", "--from", "-"},
         [](FleetOptions& o) {
             o.pathLists = {"office.txt", "-"};
             o.paths = {"ws042"};
         }},
        // In order and each once, however given.
        {{"--expect-generation", "11,8", "--expect-generation", "08", "--expect-generation", "12"},
         [](FleetOptions& o) { o.writer.policy.expectedGenerations = {8, 11, 12}; }},
        {{"--require-all", "--findings"},
         [](FleetOptions& o) {
             o.writer.policy.requireAll = true;
             o.writer.findingsOnly = true;
         }},
        {{"--max-report-age", "030"}, [](FleetOptions& o) { o.writer.maxReportAgeDays = 30; }},
        {{"--html", "fleet.html", "--baseline", "yesterday.json", "ws042"},
         [](FleetOptions& o) {
             o.htmlFile = "fleet.html";
             o.baselineFile = "yesterday.json";
             o.paths = {"ws042"};
         }},
        {{"--reference", "reference.txt", "--require-reference", "ws042"},
         [](FleetOptions& o) {
             o.referenceFile = "reference.txt";
             o.requireReference = true;
             o.paths = {"ws042"};
         }},
        {{"--write-reference", "reference.txt", "--from", "media.txt", "D:\\Media\\Vudmark"},
         [](FleetOptions& o) {
             o.writeReferenceFile = "reference.txt";
             o.pathLists = {"media.txt"};
             o.paths = {"D:\\Media\\Vudmark"};
         }},
    };
    for (const auto& command : cases) {
        SCOPED_TRACE(joined(command.arguments, " "));
        const ParsedCommandLine parsed = parseCommandLine(command.arguments);
        ASSERT_TRUE(parsed.options.has_value()) << parsed.err;
        EXPECT_FALSE(parsed.wrong);
        EXPECT_EQ("", parsed.out);
        EXPECT_EQ("", parsed.err);
        FleetOptions expected;
        command.expect(expected);
        const FleetOptions& got = *parsed.options;
        EXPECT_EQ(expected.paths, got.paths);
        EXPECT_EQ(expected.pathLists, got.pathLists);
        EXPECT_EQ(expected.format, got.format);
        EXPECT_EQ(expected.jobs, got.jobs);
        EXPECT_EQ(expected.timeoutSeconds, got.timeoutSeconds);
        EXPECT_EQ(expected.htmlFile, got.htmlFile);
        EXPECT_EQ(expected.baselineFile, got.baselineFile);
        EXPECT_EQ(expected.writer.policy.expectedGenerations, got.writer.policy.expectedGenerations);
        EXPECT_EQ(expected.writer.policy.requireAll, got.writer.policy.requireAll);
        EXPECT_EQ(expected.writer.findingsOnly, got.writer.findingsOnly);
        EXPECT_EQ(expected.writer.maxReportAgeDays, got.writer.maxReportAgeDays);
        EXPECT_EQ(expected.referenceFile, got.referenceFile);
        EXPECT_EQ(expected.requireReference, got.requireReference);
        EXPECT_EQ(expected.writeReferenceFile, got.writeReferenceFile);
    }
}

TEST(FleetOptions, AWrongCommandLineIsRefusedBeforeAnyWorkInTheProgramsWords) {
    const std::string more = "\nRun with --help for more information.\n";
    const std::string jobs = "vudfleet: --jobs takes a whole number from 1 to 256 in decimal digits, not ";
    const std::string timeout = "vudfleet: --timeout takes a whole number from 0 to 86400 in decimal digits, not ";
    const std::string age = "vudfleet: --max-report-age takes a whole number from 1 to 36500 in decimal digits, not ";
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        // Values out of range or not counts.
        {{"--jobs", "0"}, jobs + "\"0\"" + more},
        // 256 jobs if read as octal.
        {{"--jobs", "0400"}, jobs + "\"0400\"" + more},
        {{"--jobs", "-1"}, jobs + "\"-1\"" + more},
        {{"--jobs", "1234567890"}, jobs + "\"1234567890\"" + more},
        {{"--jobs", ""}, jobs + "\"\"" + more},
        {{"--jobs=\x1b[2J"}, jobs + "\"\\x1b[2J\"" + more},
        {{"--timeout", "86401"}, timeout + "\"86401\"" + more},
        // Whole days, at least one: a report is never as new as the scan that reads it.
        {{"--max-report-age", "0"}, age + "\"0\"" + more},
        {{"--max-report-age", "1.5"}, age + "\"1.5\"" + more},
        {{"--format", "JSONL"}, "vudfleet: --format takes text, csv, json, totals or metrics, not \"JSONL\"" + more},
        {{"--expect-generation", "13"},
         "vudfleet: --expect-generation: no host generation is numbered 13 (2, 6, 7, 8, 9, 10, 11 or 12)" + more},
        // Values missing: at the end, or empty after "=". The argument after an option is
        // its value, whatever it looks like.
        {{"--timeout"}, "vudfleet: --timeout is missing its SECONDS" + more},
        {{"ws042", "--jobs"}, "vudfleet: --jobs is missing its N" + more},
        {{"--format="}, "vudfleet: --format is missing its FORMAT" + more},
        {{"--jobs", "--timeout", "3", "ws042"}, jobs + "\"--timeout\"" + more},
        {{"--from"}, "vudfleet: --from is missing its FILE" + more},
        {{"ws042", "--html"}, "vudfleet: --html is missing its FILE" + more},
        {{"--expect-generation"}, "vudfleet: --expect-generation is missing its G[,G...]" + more},
        // Which of two would hold is no guess to make for a script.
        {{"--format", "csv", "--format", "json"},
         "vudfleet: --format is given more than once: which one holds is no guess to make" + more},
        {{"--jobs=2", "ws042", "--jobs", "2"},
         "vudfleet: --jobs is given more than once: which one holds is no guess to make" + more},
        {{"--baseline", "a.json", "--baseline", "b.json"},
         "vudfleet: --baseline is given more than once: which one holds is no guess to make" + more},
        {{"--html", "a.html", "--html", "b.html"},
         "vudfleet: --html is given more than once: which one holds is no guess to make" + more},
        // Options it does not take, and a value for a flag.
        {{"--bogus", "ws042"}, "vudfleet: \"--bogus\" is no option of vudfleet" + more},
        {{"ws042", "-x"}, "vudfleet: \"-x\" is no option of vudfleet" + more},
        {{"--jobs", "2", "--Format", "csv"}, "vudfleet: \"--Format\" is no option of vudfleet" + more},
        {{"--require-all=maybe"}, "vudfleet: --require-all takes no value" + more},
        {{"--findings=often", "ws042"}, "vudfleet: --findings takes no value" + more},
        {{"-", "-"}, "vudfleet: standard input (-) can be read only once\n"},
        {{"--from", "-", "--from", "-"}, "vudfleet: standard input (-) can be read only once\n"},
        // Nothing to require without a reference; a reference is made or held to, not both.
        {{"--require-reference", "ws042"}, "vudfleet: --require-reference needs --reference" + more},
        {{"--write-reference", "new.txt", "--reference", "old.txt", "media"},
         "vudfleet: --write-reference cannot be given with --reference" + more},
        {{"--write-reference", "new.txt", "--format", "json", "media"}, "vudfleet: --write-reference cannot be given with --format" + more},
    };
    for (const auto& command : cases) {
        SCOPED_TRACE(joined(command.arguments, " "));
        const ParsedCommandLine parsed = parseCommandLine(command.arguments);
        EXPECT_FALSE(parsed.options.has_value());
        EXPECT_TRUE(parsed.wrong);
        EXPECT_EQ("", parsed.out);
        EXPECT_EQ(command.message, parsed.err);
    }
}

TEST(FleetOptions, HelpAndVersionEndTheProgramWithoutARun) {
    for (const char* help : {"-h", "--help"}) {
        const ParsedCommandLine parsed = parseCommandLine({"ws042", help});
        EXPECT_FALSE(parsed.options.has_value());
        EXPECT_FALSE(parsed.wrong);
        EXPECT_EQ("", parsed.err);
        EXPECT_EQ(0u, parsed.out.find("Checks the Vudmark applications of many installations at once")) << parsed.out;
    }
    const ParsedCommandLine version = parseCommandLine({"--version"});
    EXPECT_FALSE(version.options.has_value());
    EXPECT_FALSE(version.wrong);
    EXPECT_EQ("vudfleet 2.3.0\n", version.out);
}

// The manual's source, read as a reader sees it: a macro's arguments joined, "\-" a
// hyphen, font changes dropped. Arguments in quotes keep their blanks; those of .B and
// .I are set apart by a blank, those of the macros that alternate fonts are not.
std::string asRead(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : line.substr(line.find(' ') == std::string::npos ? line.size() : line.find(' ') + 1)) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    const std::string macro = line.substr(0, line.find(' '));
    std::string text = joined(words, macro == ".B" || macro == ".I" ? " " : "");
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '-') {
            plain += '-';
            ++i;
        } else if (text[i] == '\\' && i + 2 < text.size() && text[i + 1] == 'f') {
            i += 2;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

// The manual's lines from the one that starts `first` up to the next heading.
std::vector<std::string> manualSection(const std::string& first) {
    std::ifstream manual(VUDFLEET_MANUAL);
    EXPECT_TRUE(manual.is_open()) << VUDFLEET_MANUAL;
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(manual, line);) {
        if (line == first) {
            inside = true;
        } else if (inside && (line.rfind(".SH", 0) == 0 || line.rfind(".SS", 0) == 0)) {
            break;
        } else if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

// How the manual writes an option's value: its name, or the few values it takes.
std::string manualArgument(const OptionSpelling& option) {
    return option.values.empty() ? option.argument : joined(option.values, "|");
}

TEST(FleetOptions, TheManualDocumentsEveryOptionAndNoOther) {
    const std::vector<OptionSpelling> options = optionSpellings();
    std::vector<std::string> taken;
    for (const OptionSpelling& option : options) {
        const std::string argument = manualArgument(option);
        taken.push_back(joined(option.names, ", ") + (argument.empty() ? "" : " " + argument));
    }
    std::vector<std::string> documented;
    const std::vector<std::string> lines = manualSection(".SH OPTIONS");
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] == ".TP") documented.push_back(asRead(lines[i + 1]));
    std::sort(taken.begin(), taken.end());
    std::sort(documented.begin(), documented.end());
    EXPECT_EQ(taken, documented);

    // The synopsis names each by its long name, with the same value.
    std::string synopsis;
    for (const std::string& line : manualSection(".SH SYNOPSIS"))
        if (line != ".br") synopsis += asRead(line) + " ";
    for (const OptionSpelling& option : options) {
        const std::string argument = manualArgument(option);
        const std::string shown = option.names.back() + (argument.empty() ? "" : " " + argument);
        EXPECT_NE(std::string::npos, synopsis.find(shown)) << shown << " is not in the synopsis: " << synopsis;
    }
    for (std::size_t at = synopsis.find("--"); at != std::string::npos; at = synopsis.find("--", at + 2)) {
        const std::string name = synopsis.substr(at, synopsis.find_first_of(" ]", at) - at);
        EXPECT_TRUE(std::any_of(options.begin(), options.end(),
                                [&name](const OptionSpelling& option) { return option.names.back() == name; }))
            << "the synopsis names " << name << ", which the program does not take";
    }
}

}  // namespace
}  // namespace vud::fleet
