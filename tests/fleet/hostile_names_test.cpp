// Names that would act rather than show (on a terminal, in a viewer, in a spreadsheet)
// through every format that writes names: each shown by the one rule of every output,
// with what the format itself asks on top, and no two names alike in any format.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fleet/dashboard_page.h"
#include "fleet/fleet_builder.h"
#include "fleet/output/record_writer.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

using namespace std::string_literals;

constexpr char kReason[] = "no such file or folder";

// An installation that could not be read, on a machine of the same name, as a run
// makes its record: both names as UTF-8 that keeps every name apart.
InstallationRecord unreadable(const std::string& name) {
    InstallationRecord record = by_hand::errorInstallation(asUtf8(name), kReason);
    record.machine = asUtf8(name);
    return record;
}

ScanMetadata scan() { return ScanMetadata(1'800'000'000, "2.3.0", "2.3.0"); }

std::string written(std::unique_ptr<RecordWriter> (*make)(std::ostream&, const ScanMetadata&, const WriterOptions&),
                    const std::vector<InstallationRecord>& records) {
    std::ostringstream out;
    const std::unique_ptr<RecordWriter> writer = make(out, scan(), {});
    for (const InstallationRecord& record : records) writer->write(record);
    writer->finish();
    return out.str();
}

std::string text(const std::vector<InstallationRecord>& records) { return written(makeTextWriter, records); }
std::string csv(const std::vector<InstallationRecord>& records) { return written(makeCsvWriter, records); }
std::string json(const std::vector<InstallationRecord>& records) { return written(makeJsonWriter, records); }
std::string page(const std::vector<InstallationRecord>& records) {
    std::ostringstream out;
    by_hand::writeDashboard(out, records, scan());
    return out.str();
}

struct Hostile {
    const char* what;
    std::string name;  // as a path or a list gives it
    std::string shown;  // on a terminal: the text output
    std::string cell;   // in CSV
    std::string json;   // a JSON string, quotes included
    std::string html;   // in the page's text
};

// Derived by hand: the escape of each character, then the format's own quoting.
const std::vector<Hostile>& hostileNames() {
    static const std::vector<Hostile> names = {
        {"ESC, the start of a terminal's commands", "ws\x1b[2J", "ws\\x1b[2J", "ws\\x1b[2J", R"("ws\\x1b[2J")",
         "ws\\x1b[2J"},
        {"DEL", "ws\x7f", "ws\\x7f", "ws\\x7f", R"("ws\\x7f")", "ws\\x7f"},
        {"C1's next line, U+0085", "ws\xC2\x85", "ws\\u0085", "ws\\u0085", R"("ws\\u0085")", "ws\\u0085"},
        {"the right-to-left override, U+202E", "ws\xE2\x80\xAEtxt.exe", "ws\\u202etxt.exe", "ws\\u202etxt.exe",
         R"("ws\\u202etxt.exe")", "ws\\u202etxt.exe"},
        {"the first isolate, U+2066, and the left-to-right mark", "ws\xE2\x81\xA6\xE2\x80\x8E", "ws\\u2066\\u200e",
         "ws\\u2066\\u200e", R"("ws\\u2066\\u200e")", "ws\\u2066\\u200e"},
        {"tab, CR and LF", "a\tb\rc\nd", "a\\tb\\rc\\nd", "a\\tb\\rc\\nd", R"("a\\tb\\rc\\nd")", "a\\tb\\rc\\nd"},
        {"a tab first, which a spreadsheet skips before a formula", "\t=1", "\\t=1", "\\t=1", R"("\\t=1")",
         "\\t=1"},
        {"a byte that is not UTF-8", "ws\xff", "ws\\xff", "ws\\xff", R"("ws\\xff")", "ws\\xff"},
        {"a formula", "=cmd|' /C calc'!A0", "=cmd|' /C calc'!A0", R"("'=cmd|' /C calc'!A0")",
         R"("=cmd|' /C calc'!A0")", "=cmd|&#39; /C calc&#39;!A0"},
        {"a minus first", "-1", "-1", R"("'-1")", R"("-1")", "-1"},
        {"an at sign first", "@x", "@x", R"("'@x")", R"("@x")", "@x"},
        {"a plus first", "+x", "+x", R"("'+x")", R"("+x")", "+x"},
        {"the guard's own quote mark first", "'=x", "'=x", R"("''=x")", R"("'=x")", "&#39;=x"},
        {"a comma and quotes, after a minus", "-a,\"b\"", "-a,\"b\"", R"("'-a,""b""")", R"("-a,\"b\"")",
         "-a,&quot;b&quot;"},
        {"the UTF-8 of a Latin letter, which stays", "ws\xC3\xA9", "ws\xC3\xA9", "ws\xC3\xA9", "\"ws\xC3\xA9\"",
         "ws\xC3\xA9"},
    };
    return names;
}

TEST(HostileNames, EachShowsAsAnEscapeInEveryFormat) {
    for (const Hostile& hostile : hostileNames()) {
        SCOPED_TRACE(hostile.what);
        const std::vector<InstallationRecord> records = {unreadable(hostile.name)};
        // status (10 columns), generations (11) and counts (18), then the name.
        EXPECT_EQ("error     -" + std::string(28, ' ') + hostile.shown + "  " + kReason + "\n",
                  text(records).substr(0, text(records).find("\n\nBy application") + 1));
        // The installation's cell, its error, 14 empty cells of applications, its machine's.
        const std::string rows = csv(records);
        const std::string row = rows.substr(rows.find("\r\n") + 2);
        EXPECT_EQ(hostile.cell + ",folder,error," + kReason + std::string(15, ',') + hostile.cell +
                      ",2027-01-15T08:00:00Z,2.3.0,2.3.0\r\n",
                  row);
        const std::string line = json(records);
        EXPECT_NE(std::string::npos, line.find(",\"installation\":" + hostile.json +
                                               ",\"machine\":" + hostile.json + ",\"scan_time\":"))
            << line;
        const std::string html = page(records);
        EXPECT_NE(std::string::npos, html.find(" title=\"" + hostile.html + "\non " + hostile.html +
                                               "\"><span><span class=\"machine\">" + hostile.html + "</span>" +
                                               hostile.html + "</span></th>"))
            << html;
    }
}

TEST(HostileNames, TwoDifferentNamesNeverPrintTheSame) {
    const std::pair<std::string, std::string> pairs[] = {
        {"ws\xff", "ws\xfe"},                // both U+FFFD once in JSON
        {"a\tb", "a b"},                     // both a blank once on the page
        {"a\tb", "a\\tb"},                   // the escape spelled out
        {"ws\xE2\x80\xAE", "ws\\u202e"},
        {"ws\xff", "ws\\xff"},
        {"=x", "'=x"},                       // the guarded formula and the guard's mark
        {"-1", "'-1"},
        {"ws\x1b", "ws\\x1b"},
    };
    const std::function<std::string(const std::vector<InstallationRecord>&)> formats[] = {text, csv, json, page};
    for (const auto& [one, other] : pairs) {
#ifdef _WIN32
        // A backslash separates a path's parts there and shows as it is.
        if (other.find('\\') != std::string::npos) continue;
#endif
        SCOPED_TRACE(::testing::PrintToString(one) + " and " + ::testing::PrintToString(other));
        for (const auto& format : formats) EXPECT_NE(format({unreadable(one)}), format({unreadable(other)}));
    }
}

}  // namespace
}  // namespace vud::fleet
