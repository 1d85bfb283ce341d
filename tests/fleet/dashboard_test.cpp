// The dashboard page as text: escaping of everything that comes from the fleet, and
// the totals, legend and rows of a small fleet, worked out by hand.
#include "fleet/output/dashboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/dashboard_page.h"
#include "fleet/fleet_builder.h"
#include "fleet/compare/policy.h"

namespace vud::fleet {
namespace {

using namespace by_hand;

const ScanMetadata kScan{1796940451, "2.4.0", "2.3.0"};

// The columns of every table of the grid: installation, status, hosts, 41 applications.
const std::string kColumns =
    "<colgroup><col class=\"installation\"><col class=\"status\"><col class=\"hosts\"><col class=\"app\" span=\"41\"></colgroup>";

std::string page(const std::vector<InstallationRecord>& installations) {
    std::ostringstream out;
    writeDashboard(out, installations, kScan);
    return out.str();
}

struct EscapeCase {
    const char* what;
    std::string text;
    std::string expected;
};

// Each text from the fleet reaches the page through the same escape; here as the path
// of an installation, in its row.
TEST(DashboardEscape, MarkupBecomesTextAndBytesNotUtf8BecomeEscapes) {
    const EscapeCase cases[] = {
        {"plain text", "C:\\CAD\\vud 11", "C:\\CAD\\vud 11"},
        {"a script element", "<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"both quotes and an ampersand", "a\"b'c&d", "a&quot;b&#39;c&amp;d"},
        {"an existing reference stays literal", "&amp;", "&amp;amp;"},
        {"valid UTF-8 of two, three and four bytes", "Zürich \xE2\x82\xAC \xF0\x9F\x98\x80",
         "Zürich \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"a lone byte above 0x7F, as in a folder name in Latin-1", "ws\xE9", "ws\\xe9"},
        {"a control-range byte", "\x85", "\\x85"},
        {"an overlong slash", "\xC0\xAF", "\\xc0\\xaf"},
        {"a surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"a sequence cut off at the end", "x\xE2\x82", "x\\xe2\\x82"},
        {"a lead byte before a quote", "\xC3<", "\\xc3&lt;"},
    };
    for (const EscapeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = page({errorInstallation(c.text, "unreadable")});
        EXPECT_NE(std::string::npos, text.find("<span>" + c.expected + "</span></th>")) << text;
    }
}

std::string notFoundCells(int from, int to) {
    std::string cells;
    for (int position = from; position < to; ++position)
        cells += std::string("<td class=\"cell not-found\" title=\"") + kApplicationCatalogue[position].fileName +
                 ": not found\"></td>";
    return cells;
}

// Three installations: one with two findings, one from a report that mixes host
// generations, one that could not be read.
std::vector<InstallationRecord> smallFleet() {
    InstallationRecord findings = folderInstallation("/fleet/ws01", Status::Findings);
    setBlock(findings, 0, "ver 11.1.3", 65685, 11, "FWP 11.0.x.x", VerdictKind::Correct,
             "vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match");
    setBlock(findings, 1, "ver 11.0.6", 140098, 11, "FWP 11.0.x.x", VerdictKind::SizeMismatch,
             "vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (140098 vs 140097 correct)");
    setState(findings, 2, ApplicationState::NoTag);

    InstallationRecord mixed = reportInstallation("ws02.txt", Status::Findings);
    setBlock(mixed, 3, "ver 8.1.2", 130090, 8, "FWP 8.0.x.x", VerdictKind::Newer,
             "vud_abl.ma is Newer ver 1.2 - Known Release in this PGM is 1.1");
    setBlock(mixed, 4, "ver 11.1.5", 99858, 11, "FWP 11.0.x.x", VerdictKind::Correct,
             "vud_stl.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match");
    setBlock(mixed, 5, "ver 5.1.0", 155268, std::nullopt, "NA", VerdictKind::Correct,
             "vud_hr.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match");
    setBlock(mixed, 6, "ver 8.1.9", 114015, 8, "FWP 8.0.x.x", VerdictKind::Correct,
             "vud_gcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match");
    mixed.mixed = true;
    mixed.checkerOutOfDate = true;

    return {findings, mixed, errorInstallation("/fleet/ws03", "cannot open: Permission denied")};
}

TEST(Dashboard, TotalsCountInstallationsByStatusAndCellsByLook) {
    const std::string text = page(smallFleet());
    EXPECT_NE(std::string::npos, text.find("<table id=\"totals\">\n<caption>Installations</caption>\n"
                                           "<tr class=\"all\"><th scope=\"row\">all</th><td>3</td></tr>\n"
                                           "<tr class=\"ok\"><th scope=\"row\">ok</th><td>0</td></tr>\n"
                                           "<tr class=\"findings\"><th scope=\"row\">findings</th><td>2</td></tr>\n"
                                           "<tr class=\"error\"><th scope=\"row\">error</th><td>1</td></tr>\n"
                                           "</table>\n"))
        << text;
    // 4 correct (one in the first installation, three in the second), 1 size mismatch,
    // 1 newer; the first has 38 not found and 1 without a tag, the second 37 absent.
    const std::string legend =
        "<table id=\"legend\">\n<caption>Applications</caption>\n"
        "<tr><td class=\"cell correct\"></td><th scope=\"row\">correct</th><td class=\"count\">4</td>"
        "<td>correct production build, size matches</td></tr>\n"
        "<tr><td class=\"cell size-mismatch\"></td><th scope=\"row\">size-mismatch</th><td class=\"count\">1</td>"
        "<td>right release, wrong size</td></tr>\n"
        "<tr><td class=\"cell beta\"></td><th scope=\"row\">beta</th><td class=\"count\">0</td>"
        "<td>beta build</td></tr>\n"
        "<tr><td class=\"cell test\"></td><th scope=\"row\">test</th><td class=\"count\">0</td>"
        "<td>test release</td></tr>\n"
        "<tr><td class=\"cell pre-release\"></td><th scope=\"row\">pre-release</th><td class=\"count\">0</td>"
        "<td>pre-release test build</td></tr>\n"
        "<tr><td class=\"cell older\"></td><th scope=\"row\">older</th><td class=\"count\">0</td>"
        "<td>older release</td></tr>\n"
        "<tr><td class=\"cell newer\"></td><th scope=\"row\">newer</th><td class=\"count\">1</td>"
        "<td>newer release than the checker knows</td></tr>\n"
        "<tr><td class=\"cell unrecognized\"></td><th scope=\"row\">unrecognized</th><td class=\"count\">0</td>"
        "<td>release not recognised</td></tr>\n"
        "<tr><td class=\"cell not-found\"></td><th scope=\"row\">not-found</th><td class=\"count\">38</td>"
        "<td>no file, or one that cannot be read</td></tr>\n"
        "<tr><td class=\"cell no-tag\"></td><th scope=\"row\">no-tag</th><td class=\"count\">1</td>"
        "<td>a file without a version tag</td></tr>\n"
        "<tr><td class=\"cell absent\"></td><th scope=\"row\">absent</th><td class=\"count\">37</td>"
        "<td>no block in a saved report: not found or no tag</td></tr>\n"
        "</table>\n";
    EXPECT_NE(std::string::npos, text.find(legend)) << text;
}

TEST(Dashboard, RowsShowStatusHostsAndOneCellPerApplicationInCatalogueOrder) {
    const std::string text = page(smallFleet());
    const std::string scanned =
        "<tr class=\"findings\"><th scope=\"row\" class=\"folder\" title=\"/fleet/ws01\"><span>/fleet/ws01</span></th>"
        "<td class=\"status\">findings</td><td class=\"hosts\" title=\"FWP 11.0.x.x\">11</td>"
        "<td class=\"cell correct\" title=\"vud_mcp.ma: ver 11.1.3, 65685 bytes\n"
        "vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\"></td>"
        "<td class=\"cell size-mismatch\" title=\"vud_bsg.ma: ver 11.0.6, 140098 bytes\n"
        "vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (140098 vs 140097 correct)\"></td>"
        "<td class=\"cell no-tag\" title=\"vud_cbp.ma: no version tag\"></td>" +
        notFoundCells(3, 41) + "</tr>\n";
    EXPECT_NE(std::string::npos, text.find(scanned)) << text;

    // Generations ascending whatever the order of the blocks, "NA" last; the labels in
    // the order they were first seen.
    std::string fromReport =
        "<tr class=\"findings\"><th scope=\"row\" class=\"report\" title=\"ws02.txt\"><span>ws02.txt</span></th>"
        "<td class=\"status\">findings"
        "<span class=\"flag\" title=\"builds for more than one host generation in one installation\">mixed</span>"
        "<span class=\"flag\" title=\"a build newer than this checker knows was found: get a newer checker\">"
        "checker out of date</span></td>"
        "<td class=\"hosts\" title=\"FWP 8.0.x.x\nFWP 11.0.x.x\nNA\">8 11 NA</td>";
    for (int position = 0; position < 3; ++position)
        fromReport += std::string("<td class=\"cell absent\" title=\"") + kApplicationCatalogue[position].fileName +
                      ": no block in the report\"></td>";
    fromReport +=
        "<td class=\"cell newer\" title=\"vud_abl.ma: ver 8.1.2, 130090 bytes\n"
        "vud_abl.ma is Newer ver 1.2 - Known Release in this PGM is 1.1\"></td>";
    EXPECT_NE(std::string::npos, text.find(fromReport)) << text;

    EXPECT_NE(std::string::npos,
              text.find("<tr class=\"error\"><th scope=\"row\" class=\"folder\" title=\"/fleet/ws03\"><span>/fleet/ws03</span></th>"
                        "<td class=\"status\">error</td><td class=\"hosts\"></td>"
                        "<td class=\"reason\" colspan=\"41\">cannot open: Permission denied</td></tr>\n"))
        << text;
}

TEST(Dashboard, AnInstallationWithoutOneApplicationSaysSo) {
    const std::string text = page({folderInstallation("/fleet/wrong-path", Status::Findings)});
    EXPECT_NE(std::string::npos,
              text.find("<td class=\"status\">findings"
                        "<span class=\"flag\" title=\"not one application has a version tag here\">"
                        "no application found</span></td><td class=\"hosts\" title=\"\"></td>"
                        "<td class=\"cell not-found\" title=\"vud_mcp.ma: not found\"></td>"))
        << text;
}

TEST(Dashboard, ColumnsAreTheCatalogueApplications) {
    const std::string text = page({});
    std::string header = "<div id=\"grid\">\n<table class=\"head\">" + kColumns +
                         "<thead><tr><th>installation</th><th>status</th><th>hosts</th>"
                         "<th class=\"app\" title=\"Member Copy Along Path\"><span>vud_mcp.ma</span></th>"
                         "<th class=\"app\" title=\"Beam Splice Generator\"><span>vud_bsg.ma</span></th>";
    EXPECT_NE(std::string::npos, text.find(header)) << text;
    EXPECT_NE(std::string::npos,
              text.find("<th class=\"app\" title=\"Model Import/Export for Analysis\"><span>vud_mx.ma</span></th>"
                        "<th class=\"app\" title=\"Revision Cloud and Markup Tracking Tool\"><span>vud_rc9.ma</span></th>"
                        "</tr></thead></table>\n<table class=\"foot\">" +
                        kColumns + "<tfoot>\n</tfoot></table>\n</div>\n</body>\n</html>\n"))
        << text;
}

// The page must open from a mail attachment or a share without anything beside it and
// without running code: no script, no reference to another file or to the network.
TEST(Dashboard, PageIsSelfContainedAndRunsNothing) {
    const std::string text = page(smallFleet());
    EXPECT_EQ(0u, text.find("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                            "<title>Vudmark fleet</title>\n<style>\n"));
    for (const char* reference : {"<script", "src=", "href=", "url(", "@import", "://", "<link", "<img", "<iframe"}) {
        SCOPED_TRACE(reference);
        EXPECT_EQ(std::string::npos, text.find(reference));
    }
}

TEST(Dashboard, EveryTextFromTheFleetIsEscaped) {
    InstallationRecord hostile = folderInstallation("<script>alert(1)</script>", Status::Findings);
    setBlock(hostile, 0, "ver 11.<b>\"", 65685, 11, "FWP 11.0.x.x", VerdictKind::Unrecognized,
             "vud_mcp.ma is unrecognized Rel ver <b>\" - Known Release in this PGM is 1.3");
    const std::string text =
        page({hostile, errorInstallation("<img src=x onerror=\"document.title='pwned'\">", "it's <gone> & \"away\"")});

    EXPECT_NE(std::string::npos,
              text.find("<th scope=\"row\" class=\"folder\" title=\"&lt;script&gt;alert(1)&lt;/script&gt;\">"
                        "<span>&lt;script&gt;alert(1)&lt;/script&gt;</span></th>"))
        << text;
    EXPECT_NE(std::string::npos,
              text.find("<td class=\"cell unrecognized\" title=\"vud_mcp.ma: ver 11.&lt;b&gt;&quot;, 65685 bytes\n"
                        "vud_mcp.ma is unrecognized Rel ver &lt;b&gt;&quot; - Known Release in this PGM is 1.3\"></td>"))
        << text;
    EXPECT_NE(std::string::npos,
              text.find("title=\"&lt;img src=x onerror=&quot;document.title=&#39;pwned&#39;&quot;&gt;\">"
                        "<span>&lt;img src=x onerror=&quot;document.title=&#39;pwned&#39;&quot;&gt;</span></th>"
                        "<td class=\"status\">error</td><td class=\"hosts\"></td>"
                        "<td class=\"reason\" colspan=\"41\">it&#39;s &lt;gone&gt; &amp; &quot;away&quot;</td>"))
        << text;
    EXPECT_EQ(std::string::npos, text.find("<script"));
    EXPECT_EQ(std::string::npos, text.find("<img"));
    EXPECT_EQ(std::string::npos, text.find("<b>"));
}

// An installation of 41 correct builds for generation 11.
InstallationRecord okInstallation(const std::string& path) {
    InstallationRecord ok = folderInstallation(path, Status::Ok);
    for (int position = 0; position < kApplicationCount; ++position)
        setBlock(ok, position, "ver 11.1.0", 1000, 11, "FWP 11.0.x.x", VerdictKind::Correct, "correct");
    return ok;
}

// `findings` builds of an installation of generation 11 are older ones.
InstallationRecord withFindings(const std::string& path, int findings) {
    InstallationRecord installation = okInstallation(path);
    installation.status = Status::Findings;
    for (int position = 0; position < findings; ++position) {
        installation.applications[static_cast<std::size_t>(position)].verdict = VerdictKind::Older;
        --installation.counts[static_cast<std::size_t>(VerdictKind::Correct)];
        ++installation.counts[static_cast<std::size_t>(VerdictKind::Older)];
    }
    return installation;
}

TEST(Dashboard, RowsGoWorstFirstAndOkInstallationsFoldIntoOneRow) {
    InstallationRecord partly = okInstallation("/fleet/partly");
    setState(partly, 40, ApplicationState::NotFound);
    --partly.counts[static_cast<std::size_t>(VerdictKind::Correct)];
    const std::string text = page({okInstallation("/fleet/a-ok"), withFindings("/fleet/one", 1),
                                   errorInstallation("/fleet/gone", "no such file or folder"),
                                   withFindings("/fleet/three", 3), partly, withFindings("/fleet/also-one", 1)});

    std::vector<std::size_t> at;
    for (const char* row : {"title=\"/fleet/gone\"", "title=\"/fleet/three\"", "title=\"/fleet/one\"",
                            "title=\"/fleet/also-one\"", "<details class=\"fold\">"}) {
        at.push_back(text.find(row));
        EXPECT_NE(std::string::npos, at.back()) << row;
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << text;

    // In input order inside the fold; no cells, and no script to open it.
    EXPECT_NE(std::string::npos,
              text.find("</tbody></table></div>\n<details class=\"fold\">"
                        "<summary>2 ok installations</summary>\n<ol class=\"ok\">\n"
                        "<li class=\"folder\">/fleet/a-ok <span class=\"hosts\">11</span> 41 correct</li>\n"
                        "<li class=\"folder\">/fleet/partly <span class=\"hosts\">11</span> 40 correct, 1 not-found</li>\n"
                        "</ol></details>\n<table class=\"foot\">" + kColumns + "<tfoot>\n"))
        << text;
    EXPECT_EQ(std::string::npos, text.find("title=\"/fleet/a-ok\""));
}

TEST(Dashboard, AnOkInstallationWithAChangeStaysOutOfTheFold) {
    InstallationRecord changed = okInstallation("/fleet/changed");
    changed.applications[3].change = ApplicationChange::Changed;
    const std::string text = page({okInstallation("/fleet/same"), changed});
    EXPECT_LT(text.find("title=\"/fleet/changed\""), text.find("<details class=\"fold\">")) << text;
    EXPECT_NE(std::string::npos, text.find("<td class=\"cell correct changed\" title=\"vud_abl.ma: ver 11.1.0, 1000 bytes\n"
                                           "correct\nchanged since the baseline scan\"></td>"))
        << text;
    EXPECT_NE(std::string::npos, text.find("<summary>1 ok installation</summary>")) << text;
}

TEST(Dashboard, ChangesSinceTheBaselineAreToldAndAnInstallationGoneHasARow) {
    ScanMetadata scan = kScan;
    scan.compared = true;
    scan.baselineTime = "2026-12-09T22:07:31Z";
    InstallationRecord added = okInstallation("/fleet/new");
    added.change = InstallationChange::Added;
    InstallationRecord broken = withFindings("\\\\ws7\\c$", 1);
    broken.machine = "ws7";
    broken.change = InstallationChange::Changed;
    broken.applications[0].change = ApplicationChange::NewFinding;
    InstallationRecord gone = errorInstallation("/fleet/old", "");
    gone.machine = "<pc9>";
    gone.change = InstallationChange::Gone;
    gone.previous = PreviousScan{Source::Folder, Status::Ok, ""};
    InstallationRecord error = errorInstallation("/fleet/broken", "access denied");
    error.change = InstallationChange::Unchanged;
    std::ostringstream out;
    writeDashboard(out, {added, broken, gone, error}, scan);
    const std::string text = out.str();

    EXPECT_NE(std::string::npos,
              text.find("by vudfleet 2.4.0, judged by the catalogue of checker 2.3.0. Since the baseline scan of "
                        "2026-12-09T22:07:31Z: 1 added, 1 gone, 1 changed, 1 unchanged</p>\n"))
        << text;
    // Errors, then the installation gone, then findings, then the ok ones folded.
    const std::size_t errorRow = text.find("<tr class=\"error\"><th scope=\"row\" class=\"folder\" title=\"/fleet/broken\">");
    const std::size_t goneRow = text.find(
        "<tr class=\"gone\"><th scope=\"row\" class=\"folder\" title=\"/fleet/old\non &lt;pc9&gt;\"><span>"
        "<span class=\"machine\">&lt;pc9&gt;</span>/fleet/old</span></th><td class=\"status\">gone</td>"
        "<td class=\"hosts\"></td><td class=\"reason\" colspan=\"41\">in the baseline scan (ok), not in this one</td>"
        "</tr>\n");
    const std::size_t brokenRow = text.find(
        "<tr class=\"findings\"><th scope=\"row\" class=\"folder\" title=\"\\\\ws7\\c$\non ws7\"><span>"
        "<span class=\"machine\">ws7</span>\\\\ws7\\c$</span></th><td class=\"status\">findings<span class=\"flag\" "
        "title=\"its status, its error or an application differs from the baseline scan\">changed</span></td>"
        "<td class=\"hosts\" title=\"FWP 11.0.x.x\">11</td><td class=\"cell older changed\" title=\"vud_mcp.ma: ver "
        "11.1.0, 1000 bytes\ncorrect\nnew finding since the baseline scan\"></td>");
    const std::size_t fold = text.find(
        "<li class=\"folder\">/fleet/new<span class=\"flag\" title=\"not in the baseline scan\">added</span> "
        "<span class=\"hosts\">11</span> 41 correct</li>\n");
    EXPECT_LT(errorRow, goneRow) << text;
    EXPECT_LT(goneRow, brokenRow) << text;
    EXPECT_LT(brokenRow, fold) << text;
    EXPECT_NE(std::string::npos, fold) << text;
    // The gone one counts in no total.
    EXPECT_NE(std::string::npos, text.find("<tr class=\"all\"><th scope=\"row\">all</th><td>3</td></tr>")) << text;
    EXPECT_NE(std::string::npos, text.find("<th scope=\"row\">added</th><td>not in the baseline scan</td>")) << text;
    // Without a baseline, neither its words nor its flags in the legend.
    EXPECT_EQ(std::string::npos, page({added}).find("Since the baseline"));
    EXPECT_EQ(std::string::npos, page({added}).find("<th scope=\"row\">added</th>"));
}

TEST(Dashboard, TotalsUnderTheGridCountEachApplicationByVerdictAndState) {
    InstallationRecord report = reportInstallation("ws.txt", Status::Findings);
    setBlock(report, 1, "ver 8.1.0", 10, 8, "FWP 8.0.x.x", VerdictKind::Beta, "beta");
    const std::string text = page({withFindings("/fleet/two", 2), okInstallation("/fleet/ok"), report});

    // Rows only for what the fleet has; a count upright in its application's column.
    const auto row = [](const std::string& name, const std::vector<std::pair<int, int>>& counts) {
        std::string line = "<tr class=\"total " + name + "\"><th scope=\"row\" colspan=\"3\">" + name + "</th>";
        std::vector<int> byPosition(kApplicationCount, 0);
        for (const auto& [position, count] : counts) byPosition[static_cast<std::size_t>(position)] = count;
        for (int position = 0; position < kApplicationCount; ++position) {
            const int count = byPosition[static_cast<std::size_t>(position)];
            line += count == 0 ? std::string("<td class=\"count\"></td>")
                               : "<td class=\"count\" title=\"" + std::string(kApplicationCatalogue[position].fileName) +
                                     ": " + std::to_string(count) + " " + name + "\"><span>" + std::to_string(count) +
                                     "</span></td>";
        }
        return line + "</tr>\n";
    };
    std::vector<std::pair<int, int>> correct = {{0, 1}, {1, 1}};
    for (int position = 2; position < kApplicationCount; ++position) correct.emplace_back(position, 2);
    std::vector<std::pair<int, int>> absent = {{0, 1}};
    for (int position = 2; position < kApplicationCount; ++position) absent.emplace_back(position, 1);
    EXPECT_NE(std::string::npos, text.find("<tfoot>\n" + row("correct", correct) + row("beta", {{1, 1}}) +
                                           row("older", {{0, 1}, {1, 1}}) + row("absent", absent) +
                                           "</tfoot></table>\n</div>\n</body>\n</html>\n"))
        << text;
}

TEST(Dashboard, CellsOfAnotherGenerationThanMostOfAMixedInstallationAreMarked) {
    InstallationRecord mixed = folderInstallation("/fleet/mixed", Status::Findings);
    setBlock(mixed, 0, "ver 8.1.3", 10, 8, "FWP 8.0.x.x", VerdictKind::Correct, "a");
    setBlock(mixed, 1, "ver 11.1.3", 10, 11, "FWP 11.0.x.x", VerdictKind::Correct, "b");
    setBlock(mixed, 2, "ver 11.1.3", 10, 11, "FWP 11.0.x.x", VerdictKind::Correct, "c");
    setBlock(mixed, 3, "ver 5.1.3", 10, std::nullopt, "NA", VerdictKind::Correct, "d");
    mixed.mixed = true;
    // Without the warning, a lone other generation is not marked: the checker decides
    // what mixed means.
    InstallationRecord unmarked = mixed;
    unmarked.installation = "/fleet/unmarked";
    unmarked.mixed = false;
    const std::string text = page({mixed, unmarked});

    EXPECT_NE(std::string::npos,
              text.find("<td class=\"hosts\" title=\"FWP 8.0.x.x\nFWP 11.0.x.x\nNA\">8 11 NA</td>"
                        "<td class=\"cell correct minority\" title=\"vud_mcp.ma: ver 8.1.3, 10 bytes\na\n"
                        "for host generation 8, most of this installation for 11\"></td>"
                        "<td class=\"cell correct\" title=\"vud_bsg.ma: ver 11.1.3, 10 bytes\nb\"></td>"
                        "<td class=\"cell correct\" title=\"vud_cbp.ma: ver 11.1.3, 10 bytes\nc\"></td>"
                        "<td class=\"cell correct minority\" title=\"vud_abl.ma: ver 5.1.3, 10 bytes\nd\n"
                        "for host generation NA, most of this installation for 11\"></td>"))
        << text;
    const std::size_t unmarkedRow = text.find("title=\"/fleet/unmarked\"");
    ASSERT_NE(std::string::npos, unmarkedRow);
    EXPECT_EQ(std::string::npos, text.find("minority", unmarkedRow)) << text;
}

TEST(Dashboard, TheTopSaysWhenAndByWhatTheFleetWasScannedAndWhatTheFlagsMean) {
    const std::string text = page({});
    EXPECT_NE(std::string::npos,
              text.find("<h1>Vudmark fleet</h1>\n<p id=\"scan\">Scanned <time datetime=\"2026-12-10T22:07:31Z\">"
                        "2026-12-10T22:07:31Z</time> by vudfleet 2.4.0, judged by the catalogue of checker 2.3.0</p>\n"))
        << text;
    for (const char* words :
         {"<th scope=\"row\">mixed</th><td>builds for more than one host generation in one installation</td>",
          "<th scope=\"row\">checker out of date</th><td>a build newer than this checker knows was found: "
          "get a newer checker</td>",
          "<th scope=\"row\">other generation</th><td>in a mixed installation, a build for another host "
          "generation than most of its applications</td>"}) {
        EXPECT_NE(std::string::npos, text.find(words)) << words;
    }
}

// The table of marks beside the legend, whole: each mark drawn as a cell or a flag, then
// its name and meaning. A ring for a build of another host generation than most of its
// installation, a corner for a change since the baseline, the flags of an
// installation's status; with a baseline the flags of a change, with a rollout its red
// corner and flags.
TEST(Dashboard, TheMarksTableShowsEachMarkWithItsMeaning) {
    const auto row = [](const std::string& sample, const std::string& name, const std::string& words) {
        return "<tr><td" + sample + "</td><th scope=\"row\">" + name + "</th><td>" + words + "</td></tr>\n";
    };
    const auto flag = [&row](const std::string& name, const std::string& words, const std::string& classes = "flag") {
        return row("><span class=\"" + classes + "\" title=\"" + words + "\">" + name + "</span>", name, words);
    };
    const std::string always =
        row(" class=\"cell correct minority\">", "other generation",
            "in a mixed installation, a build for another host generation than most of its applications") +
        row(" class=\"cell correct changed\">", "changed", "differs from the baseline scan") +
        flag("mixed", "builds for more than one host generation in one installation") +
        flag("checker out of date", "a build newer than this checker knows was found: get a newer checker") +
        flag("no application found", "not one application has a version tag here") +
        flag("damaged", "files that hold no version tag: empty, cut short or overwritten");
    const std::string sinceBaseline =
        flag("added", "not in the baseline scan") +
        flag("changed", "its status, its error or an application differs from the baseline scan");
    const std::string rollout =
        row(" class=\"cell correct policy\">", "against the rollout",
            "breaks a rule of the rollout: a wrong generation, or required and not found") +
        flag("wrong generation", "builds for a host generation the rollout does not expect, or for one not recognised",
             "flag policy") +
        flag("required, not found", "applications the rollout requires that were not found", "flag policy");

    ScanMetadata compared = kScan;
    compared.compared = true;
    const struct {
        const char* what;
        ScanMetadata scan;
        RolloutPolicy policy;
        std::string rows;
    } cases[] = {
        {"alone", kScan, {}, always},
        {"against a baseline", compared, {}, always + sinceBaseline},
        {"held to a rollout", kScan, {{11}, true}, always + rollout},
        {"both", compared, {{11}, false}, always + sinceBaseline + rollout},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Dashboard dashboard(c.scan);
        dashboard.holdTo(c.policy);
        std::ostringstream out;
        ASSERT_TRUE(dashboard.write(out));
        const std::string text = out.str();
        // From the table's start to the grid that follows it: nothing more, nothing less.
        const std::string grid = "<div id=\"grid\">";
        const std::size_t start = text.find("<table id=\"marks\">");
        const std::size_t end = text.find(grid, start);
        ASSERT_NE(std::string::npos, end) << text;
        EXPECT_EQ("<table id=\"marks\">\n<caption>Marks</caption>\n" + c.rows + "</table>\n" + grid,
                  text.substr(start, end + grid.size() - start));
    }
}

// An installation that breaks the rollout's rules: a correct FWP 8.0 build where FWP
// 11.0 is expected, and an application not found where all are required.
TEST(Dashboard, WhatBreaksTheRolloutIsMarkedAndTheRulesAreNamedAtTheTop) {
    InstallationRecord installation = folderInstallation("/fleet/ws8", Status::Ok);
    setBlock(installation, 0, "ver 8.1.3", 10, 8, "FWP 8.0.x.x", VerdictKind::Correct, "a");
    for (int position = 2; position < kApplicationCount; ++position)
        setBlock(installation, position, "ver 11.1.3", 10, 11, "FWP 11.0.x.x", VerdictKind::Correct, "b");
    const struct {
        RolloutPolicy policy;
        const char* words;
    } rollouts[] = {
        {{{11}, true}, "host generation 11 expected; every application required"},
        {{{8, 10, 11}, false}, "host generation 8, 10 or 11 expected"},
        {{{}, true}, "every application required"},
    };
    for (const auto& rollout : rollouts) {
        SCOPED_TRACE(rollout.words);
        InstallationRecord held = installation;
        applyPolicy(rollout.policy, held);
        Dashboard dashboard(kScan);
        dashboard.holdTo(rollout.policy);
        dashboard.add(held);
        std::ostringstream out;
        ASSERT_TRUE(dashboard.write(out));
        EXPECT_NE(std::string::npos, out.str().find("checker 2.3.0</p>\n<p id=\"policy\">Rollout: " +
                                                    std::string(rollout.words) + "</p>\n"));
    }

    applyPolicy({{11}, true}, installation);
    Dashboard dashboard(kScan);
    dashboard.holdTo({{11}, true});
    dashboard.add(installation);
    std::ostringstream out;
    ASSERT_TRUE(dashboard.write(out));
    const std::string text = out.str();
    EXPECT_NE(std::string::npos,
              text.find("<td class=\"status\">findings<span class=\"flag policy\" title=\"builds for a host generation "
                        "the rollout does not expect, or for one not recognised\">1 wrong generation</span>"
                        "<span class=\"flag policy\" title=\"applications the rollout requires that were not found\">"
                        "1 required, not found</span></td><td class=\"hosts\" title=\"FWP 8.0.x.x\nFWP 11.0.x.x\">"
                        "8 11</td><td class=\"cell correct policy\" title=\"vud_mcp.ma: ver 8.1.3, 10 bytes\na\n"
                        "wrong generation for the rollout\"></td><td class=\"cell not-found policy\" "
                        "title=\"vud_bsg.ma: not found\nrequired by the rollout\"></td>"
                        "<td class=\"cell correct\" title=\"vud_cbp.ma: ver 11.1.3, 10 bytes\nb\"></td>"))
        << text;
    EXPECT_NE(std::string::npos, text.find("td.cell.policy{")) << text;
    EXPECT_NE(std::string::npos, text.find("<th scope=\"row\">wrong generation</th>")) << text;
    EXPECT_NE(std::string::npos, text.find("<th scope=\"row\">required, not found</th>")) << text;
    // Not held to a rollout, the page says nothing of one.
    EXPECT_EQ(std::string::npos, page({okInstallation("/fleet/ws1")}).find("policy")) << text;
}

// A fleet larger than any buffer: every row comes back from where it was set aside,
// whole and in its place.
TEST(Dashboard, EveryRowOfALargeFleetIsWrittenOnce) {
    Dashboard dashboard(kScan);
    for (int i = 0; i < 3000; ++i) {
        const std::string path = "/fleet/ws" + std::to_string(i);
        dashboard.add(i % 3 == 0 ? withFindings(path, 1 + i % 7) : okInstallation(path));
    }
    std::ostringstream out;
    ASSERT_TRUE(dashboard.write(out));
    const std::string text = out.str();
    std::size_t rows = 0;
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find("<tr class=\"findings\"><th scope=\"row\" class=\"folder\"", at)) != std::string::npos; ++at) ++rows;
    for (std::size_t at = 0; (at = text.find("<li class=\"folder\">", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(1000u, rows);
    EXPECT_EQ(2000u, lines);
    // In tables of 50 rows, each taking the room of its rows until the browser lays it out.
    std::size_t tables = 0;
    for (std::size_t at = 0;
         (at = text.find("<div class=\"rows\" style=\"contain-intrinsic-size:auto 750px\"><table>" + kColumns +
                             "<tbody>\n<tr class=\"findings\">",
                         at)) != std::string::npos;
         ++at)
        ++tables;
    EXPECT_EQ(20u, tables);
    // Seven findings first, one last; within the same count, input order.
    EXPECT_LT(text.find("title=\"/fleet/ws6\""), text.find("title=\"/fleet/ws27\""));
    EXPECT_LT(text.find("title=\"/fleet/ws27\""), text.find("title=\"/fleet/ws0\""));
    EXPECT_LT(text.find("title=\"/fleet/ws2994\""), text.find("<details class=\"fold\">"));
    EXPECT_LT(text.find(">/fleet/ws1 <"), text.find(">/fleet/ws2999 <"));
}

}  // namespace
}  // namespace vud::fleet
