// The dashboard as a browser shows it: headless Chromium renders the page of a small
// fleet, and a probe appended to a copy of it reads back what was rendered (rows,
// cells, their classes, colours and marks, the totals; the boxes of what each row's
// first cells hold, and the images drawn over the cells). The fleet's paths, tags and
// errors carry markup that would change the page's title if the browser ever ran it.
// Skips when Chromium (tools/setup browser) is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "catalogue/catalogue.h"
#include "fleet/compare/policy.h"
#include "fleet/dashboard_page.h"
#include "fleet/output/dashboard.h"
#include "fleet/fleet_builder.h"
#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

using namespace by_hand;
using vud::testing::ChildEnd;
using vud::testing::readFile;
using vud::testing::runChild;
using vud::testing::ScratchFolder;

constexpr char kScriptName[] = "<script>document.title='pwned'</script>";
constexpr char kImageName[] = "<img src=x onerror=\"document.title='pwned'\">";
// Ends the title attribute it is written into, then opens an element.
constexpr char kAttributeBreak[] = "ver 11.\"><img src=x onerror=\"document.title='pwned'\">";
constexpr char kReason[] = "cannot open: <b onmouseover=\"document.title='pwned'\">gone</b>";

constexpr VerdictKind kEveryVerdict[] = {VerdictKind::Correct, VerdictKind::SizeMismatch, VerdictKind::Beta,
                                         VerdictKind::Test,    VerdictKind::PreRelease,   VerdictKind::Older,
                                         VerdictKind::Newer,   VerdictKind::Unrecognized};
static_assert(std::size(kEveryVerdict) == static_cast<std::size_t>(kVerdictKindCount));

// Four installations that between them show every look a cell can have.
std::vector<InstallationRecord> fleetWithHostileNames() {
    InstallationRecord ok = folderInstallation("/srv/fleet/ws01", Status::Ok);
    for (int position = 0; position < kApplicationCount; ++position)
        setBlock(ok, position, "ver 11.1.0", 1000, 11, "FWP 11.0.x.x", VerdictKind::Correct, "correct");

    InstallationRecord findings = folderInstallation(kScriptName, Status::Findings);
    for (int position = 0; position < 8; ++position)
        setBlock(findings, position, "ver 12.1.0", 2000, 12, "FWP 12.0.x.x", kEveryVerdict[position],
                 "verdict " + std::to_string(position));
    setBlock(findings, 8, kAttributeBreak, 3000, 11, "FWP 11.0.x.x", VerdictKind::Unrecognized,
             std::string("vud_mrn.ma is unrecognized Rel ver ") + kAttributeBreak);
    setState(findings, 9, ApplicationState::NoTag);
    findings.mixed = true;
    findings.checkerOutOfDate = true;

    InstallationRecord report = reportInstallation(kImageName, Status::Findings);
    setBlock(report, 40, "ver 8.0.3", 4000, 8, "FWP 8.0.x.x", VerdictKind::Older, "older");

    return {ok, findings, report, errorInstallation("/srv/fleet/ws04 & <co>", kReason)};
}

// Reads back the grid as rendered, one tab-separated line per fact, into a <pre> that
// the dump then holds. Texts are the elements' own; newlines in them are shown as \n.
constexpr char kProbe[] = R"(
  const flat = (text) => text.replace(/\n/g, '\\n');
  const background = (element) => getComputedStyle(element).backgroundColor;
  const mark = (element) => getComputedStyle(element, '::after').content;
  out.push(['title', document.title, document.querySelectorAll('script').length,
            document.querySelectorAll('img, b').length].join('\t'));
  for (const row of document.querySelectorAll('#totals tr'))
    out.push(['total', row.className, row.cells[0].textContent, row.cells[1].textContent].join('\t'));
  for (const row of document.querySelectorAll('#legend tr')) {
    const swatch = row.cells[0];
    out.push(['legend', swatch.className, row.cells[1].textContent, row.cells[2].textContent,
              background(swatch), mark(swatch)].join('\t'));
  }
  const rows = document.querySelectorAll('#grid tbody tr');
  rows.forEach((row, index) => {
    const header = row.querySelector('th');
    out.push(['row', index, row.className, header.className, flat(header.textContent),
              row.querySelector('td.status').textContent, row.querySelector('td.hosts').textContent,
              row.querySelectorAll('td.cell').length].join('\t'));
    for (const cell of row.querySelectorAll('td.cell')) {
      const box = cell.getBoundingClientRect();
      out.push(['cell', index, cell.className, background(cell), mark(cell),
                Math.round(box.width) + 'x' + Math.round(box.height), getComputedStyle(cell).boxShadow,
                flat(cell.title)].join('\t'));
    }
    for (const reason of row.querySelectorAll('td.reason'))
      out.push(['reason', index, reason.colSpan, reason.textContent].join('\t'));
  });
  // The fold: shut as the page opens, its lines taking no room until it is opened.
  const shown = () => Array.from(document.querySelectorAll('#grid ol.ok li')).filter((li) => li.checkVisibility()).length;
  for (const details of document.querySelectorAll('#grid details')) {
    const shut = shown();
    details.open = true;
    out.push(['fold', details.className, details.querySelector('summary').textContent, shut > 0,
              shown() > 0].join('\t'));
  }
  for (const line of document.querySelectorAll('#grid ol.ok li'))
    out.push(['ok', line.className, line.textContent].join('\t'));
  // The heads, the rows and the totals are separate tables: their columns line up.
  const lefts = (cells) => Array.from(cells).map((cell) => Math.round(cell.getBoundingClientRect().left)).join(',');
  out.push(['columns', lefts(document.querySelectorAll('#grid thead th.app')),
            lefts(document.querySelectorAll('#grid tbody tr:last-child td.cell')),
            lefts(document.querySelectorAll('#grid tfoot tr:first-child td.count'))].join('\t'));
  for (const row of document.querySelectorAll('#grid tfoot tr'))
    out.push(['foot', row.className, row.cells[0].textContent,
              Array.from(row.querySelectorAll('td.count')).map((cell) => cell.textContent).join(',')].join('\t'));
)";

// `page` with a probe before its end: a script that runs `probe`, whose facts, pushed
// onto `out` one line each, end up in a <pre> that the dump of the DOM holds.
std::string withProbe(std::string page, std::string_view probe) {
    std::string script = "<script>\n(() => {\n  const out = [];";
    script += probe;
    script += "  const pre = document.createElement('pre');\n"
              "  pre.id = 'probe';\n"
              "  pre.textContent = out.join('\\n');\n"
              "  document.body.appendChild(pre);\n"
              "})();\n</script>\n";
    page.insert(page.rfind("</body>"), script);
    return page;
}

// Chromium's full path when it is on PATH, or empty.
std::string findChromium() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/chromium";
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

std::string unescapeText(std::string text) {
    const std::pair<std::string, std::string> references[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&nbsp;", "\xC2\xA0"}, {"&amp;", "&"}};
    for (const auto& [reference, character] : references)
        for (std::size_t at = 0; (at = text.find(reference, at)) != std::string::npos; at += character.size())
            text.replace(at, reference.size(), character);
    return text;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> parts;
    std::istringstream in(line);
    for (std::string part; std::getline(in, part, '\t');) parts.push_back(part);
    return parts;
}

// The probe's lines in the DOM Chromium dumped, or nothing when it did not run.
std::vector<std::string> probeLines(const std::string& dom) {
    const std::size_t start = dom.find("<pre id=\"probe\">");
    if (start == std::string::npos) return {};
    const std::size_t end = dom.find("</pre>", start);
    std::istringstream text(unescapeText(dom.substr(start + 16, end - start - 16)));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

class DashboardInBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        chromium_ = findChromium();
        if (chromium_.empty()) GTEST_SKIP() << "no chromium on PATH (tools/setup browser) to render the page";
    }

    // The DOM that Chromium built from `page` once it had loaded it and run its probe.
    std::string render(const std::string& page) {
        const std::string file = (folder_.path() / "dashboard.html").string();
        {
            std::ofstream out(file, std::ios::binary);
            out << page;
        }
        // To look at the page as a person would: VUD_DASHBOARD_KEEP=folder keeps a copy
        // of it there, named after the test.
        if (const char* keep = std::getenv("VUD_DASHBOARD_KEEP"); keep != nullptr && *keep != '\0') {
            std::ofstream copy(std::string(keep) + "/" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".html",
                               std::ios::binary);
            copy << page;
        }
        const std::string dump = (folder_.path() / "dom.html").string();
        const std::string errors = (folder_.path() / "chromium.err").string();
        // --no-sandbox: Chromium refuses to run as root with its sandbox, as CI runs.
        // Its profile and everything else it keeps go to the scratch folder. A browser
        // that hangs is ended at the deadline, with everything it started.
        const std::string home = folder_.path().string();
        const ChildEnd end = runChild({"env", "HOME=" + home, chromium_, "--headless", "--no-sandbox", "--disable-gpu",
                                       "--no-first-run", "--user-data-dir=" + home + "/profile",
                                       "--window-size=1280,1024", "--dump-dom", "file://" + file},
                                      {dump, errors}, std::chrono::seconds(120));
        EXPECT_FALSE(end.timedOut) << "Chromium still ran at its deadline\n" << readFile(errors);
        EXPECT_EQ(0, end.exitStatus()) << readFile(errors);
        return readFile(dump);
    }

    std::string chromium_;
    ScratchFolder folder_;
};

TEST_F(DashboardInBrowser, WorstFirstOkFoldedTotalsUnderTheGridMixedMarkedAndNothingFromTheFleetRuns) {
    std::ostringstream page;
    writeDashboard(page, fleetWithHostileNames(), {1796940451, "2.4.0", "2.3.0"});
    const std::string dom = render(withProbe(page.str(), kProbe));

    // Nothing from the fleet became an element or ran: the title is the page's own,
    // the probe is the only script, and the serialised DOM holds the names as text.
    EXPECT_NE(std::string::npos, dom.find("<title>Vudmark fleet</title>")) << dom;
    EXPECT_EQ(std::string::npos, dom.find("<img")) << dom;
    EXPECT_EQ(std::string::npos, dom.find("<b ")) << dom;
    EXPECT_EQ(dom.find("<script"), dom.rfind("<script")) << "the probe is the only script";
    const std::vector<std::string> lines = probeLines(dom);
    ASSERT_FALSE(lines.empty()) << "the probe did not run:\n" << dom;

    std::vector<std::string> totals;
    std::map<std::string, std::pair<std::string, std::string>> looks;  // class: background, mark
    std::vector<std::string> rows;
    std::vector<std::vector<std::string>> cellClasses(3);
    std::vector<std::vector<std::string>> cellTitles(3);
    std::vector<std::string> ringed;  // cells with a ring: row, position
    std::vector<std::string> reasons;
    std::vector<std::string> folds;
    std::vector<std::string> okLines;
    std::vector<std::string> foot;
    bool columnsSeen = false;
    for (const std::string& line : lines) {
        const std::vector<std::string> f = fields(line);
        SCOPED_TRACE(line);
        ASSERT_FALSE(f.empty());
        if (f[0] == "title") {
            EXPECT_EQ("Vudmark fleet", f.at(1));
            EXPECT_EQ("1", f.at(2)) << "scripts in the page";
            EXPECT_EQ("0", f.at(3)) << "elements made from the fleet's texts";
        } else if (f[0] == "total") {
            totals.push_back(f.at(1) + " " + f.at(2) + " " + f.at(3));
        } else if (f[0] == "legend") {
            EXPECT_EQ("cell " + f.at(2), f.at(1));
            looks[f.at(2)] = {f.at(4), f.at(5)};
            totals.push_back(f.at(2) + " " + f.at(3));
        } else if (f[0] == "row") {
            rows.push_back(f.at(1) + " " + f.at(2) + " " + f.at(3) + " [" + f.at(4) + "] " + f.at(5) + " [" +
                           f.at(6) + "] " + f.at(7));
        } else if (f[0] == "cell") {
            // "cell LOOK" and then the marks: "minority" for another generation.
            std::istringstream classes(f.at(2));
            std::string cell, look, marks;
            classes >> cell >> look >> marks;
            const std::size_t row = std::stoul(f.at(1));
            cellClasses.at(row).push_back(look);
            cellTitles.at(row).push_back(f.size() > 7 ? f[7] : "");
            EXPECT_EQ(marks == "minority", f.at(6) != "none") << "a ring marks the cells of another generation";
            if (f.at(6) != "none") ringed.push_back(f.at(1) + " " + std::to_string(cellClasses[row].size() - 1));
            ASSERT_EQ(1u, looks.count(look));
            EXPECT_EQ(looks[look].first, f.at(3)) << "a cell's colour is its legend entry's";
            EXPECT_EQ(looks[look].second, f.at(4)) << "a cell's mark is its legend entry's";
            const std::size_t by = f.at(5).find('x');
            EXPECT_LE(std::stoi(f.at(5).substr(0, by)), 16) << "cells stay small enough for a thousand rows";
            EXPECT_LE(std::stoi(f.at(5).substr(by + 1)), 16) << "cells stay small enough for a thousand rows";
        } else if (f[0] == "reason") {
            reasons.push_back(f.at(1) + " " + f.at(2) + " " + f.at(3));
        } else if (f[0] == "fold") {
            folds.push_back(f.at(1) + " " + f.at(2) + " shut:" + f.at(3) + " opened:" + f.at(4));
        } else if (f[0] == "ok") {
            okLines.push_back(f.at(1) + " " + f.at(2));
        } else if (f[0] == "columns") {
            columnsSeen = true;
            EXPECT_EQ(f.at(1), f.at(2)) << "the cells of a row under their application's head";
            EXPECT_EQ(f.at(1), f.at(3)) << "the totals under their application's head";
            EXPECT_EQ(41, std::count(f.at(1).begin(), f.at(1).end(), ',') + 1);
        } else if (f[0] == "foot") {
            EXPECT_EQ("total " + f.at(2), f.at(1));
            foot.push_back(f.at(2) + " " + f.at(3));
        }
    }

    EXPECT_EQ((std::vector<std::string>{
                  "all all 4", "ok ok 1", "findings findings 2", "error error 1",
                  // ws01 41 correct, the second 1 correct and one each, the report 1 older
                  "correct 42", "size-mismatch 1", "beta 1", "test 1", "pre-release 1", "older 2", "newer 1",
                  "unrecognized 2", "not-found 31", "no-tag 1", "absent 40"}),
              totals);

    // Eleven looks, told apart by colour; every finding also by a mark of its own.
    ASSERT_EQ(11u, looks.size());
    std::set<std::string> backgrounds, marks;
    for (const auto& [name, look] : looks) {
        backgrounds.insert(look.first);
        if (name != "correct") marks.insert(look.second);
    }
    EXPECT_EQ(11u, backgrounds.size());
    EXPECT_EQ(10u, marks.size());
    EXPECT_EQ(0u, marks.count("none"));

    // Worst first: the error, then nine findings (seven builds, the unrecognised one of
    // another generation, mixed), then one; the ok installation folded away.
    EXPECT_EQ((std::vector<std::string>{
                  "0 error folder [/srv/fleet/ws04 & <co>] error [] 0",
                  std::string("1 findings folder [") + kScriptName + "] findingsmixedchecker out of date [11 12] 41",
                  std::string("2 findings report [") + kImageName + "] findings [8] 41"}),
              rows);
    EXPECT_TRUE(columnsSeen);
    EXPECT_EQ(std::vector<std::string>{std::string("0 41 ") + kReason}, reasons);
    EXPECT_EQ(std::vector<std::string>{"fold 1 ok installation shut:false opened:true"}, folds);
    EXPECT_EQ(std::vector<std::string>{"folder /srv/fleet/ws01 11 41 correct"}, okLines);

    std::vector<std::string> second = {"correct", "size-mismatch", "beta",   "test",        "pre-release",
                                       "older",   "newer",         "unrecognized", "unrecognized", "no-tag"};
    second.resize(41, "not-found");
    EXPECT_EQ(second, cellClasses[1]);
    std::vector<std::string> third(40, "absent");
    third.push_back("older");
    EXPECT_EQ(third, cellClasses[2]);
    EXPECT_TRUE(cellClasses[0].empty());
    // Eight builds for generation 12, one for 11: the one is ringed.
    EXPECT_EQ(std::vector<std::string>{"1 8"}, ringed);

    // What a pointer over a cell shows: the tag, the size and the verdict text.
    ASSERT_EQ(41u, cellTitles[1].size());
    EXPECT_EQ(std::string("vud_mrn.ma: ") + kAttributeBreak + ", 3000 bytes\\nvud_mrn.ma is unrecognized Rel ver " +
                  kAttributeBreak + "\\nfor host generation 11, most of this installation for 12",
              cellTitles[1][8]);
    EXPECT_EQ("vud_rc9.ma: ver 8.0.3, 4000 bytes\\nolder", cellTitles[2][40]);
    EXPECT_EQ("vud_mcp.ma: no block in the report", cellTitles[2][0]);

    // Under the grid, each application's count of each verdict and state the fleet has.
    const auto counts = [](const std::map<int, int>& byPosition, int otherwise) {
        std::string text;
        for (int position = 0; position < kApplicationCount; ++position) {
            const auto found = byPosition.find(position);
            const int count = found != byPosition.end() ? found->second : otherwise;
            text += (position > 0 ? "," : "") + (count > 0 ? std::to_string(count) : "");
        }
        return text;
    };
    std::map<int, int> notFound;
    for (int position = 0; position < 10; ++position) notFound[position] = 0;
    EXPECT_EQ((std::vector<std::string>{
                  "correct " + counts({{0, 2}}, 1), "size-mismatch " + counts({{1, 1}}, 0),
                  "beta " + counts({{2, 1}}, 0), "test " + counts({{3, 1}}, 0), "pre-release " + counts({{4, 1}}, 0),
                  "older " + counts({{5, 1}, {40, 1}}, 0), "newer " + counts({{6, 1}}, 0),
                  "unrecognized " + counts({{7, 1}, {8, 1}}, 0), "not-found " + counts(notFound, 1),
                  "no-tag " + counts({{9, 1}}, 0), "absent " + counts({{40, 0}}, 1)}),
              foot);
}

// Rows that carry every mark at once, held to a rollout of generation 12 that requires
// every application, and compared with a baseline scan:
//   every: all the flags a row with applications can have, builds for the nine host
//          generations a tag can name (one not recognised among them), a change in a
//          cell of each look, on a path too long for its column;
//   empty: added since the baseline, no application found, every one required;
//   fixed: ok, one build fixed since the baseline;
//   off:   an error that was not one in the baseline; and one gone.
constexpr char kEveryMark[] = "/srv/fleet/every-mark/a folder name long enough to be cut short";
const RolloutPolicy kRollout{{12}, true};

std::vector<InstallationRecord> fleetWithEveryMark() {
    const std::optional<int> generations[] = {2, 6, 7, 8, 9, 10, 11, 12, std::nullopt};
    const ApplicationChange changes[] = {ApplicationChange::NewFinding, ApplicationChange::Fixed,
                                         ApplicationChange::Changed};
    InstallationRecord every = folderInstallation(kEveryMark, Status::Findings);
    every.machine = "ws-every-mark";
    for (int position = 0; position < 36; ++position) {
        const std::optional<int> generation = generations[position % 9];
        const std::string host = generation ? "FWP " + std::to_string(*generation) + ".0.x.x" : "NA";
        setBlock(every, position, "ver 1.1.0", 1000, generation, host, kEveryVerdict[position % 8], "verdict");
    }
    for (int position = 36; position < 39; ++position) setState(every, position, ApplicationState::NoTag);
    every.damaged = 3;
    // A change in each look: the eight verdicts, a damaged file and one not found.
    for (const int position : {0, 1, 2, 3, 4, 5, 6, 7, 37, 40})
        every.applications[static_cast<std::size_t>(position)].change = changes[position % 3];
    every.mixed = true;
    every.checkerOutOfDate = true;
    every.change = InstallationChange::Changed;

    InstallationRecord empty = folderInstallation("/srv/fleet/ws-empty", Status::Findings);
    empty.change = InstallationChange::Added;

    InstallationRecord fixed = folderInstallation("/srv/fleet/ws-fixed", Status::Ok);
    for (int position = 0; position < kApplicationCount; ++position)
        setBlock(fixed, position, "ver 12.1.0", 1000, 12, "FWP 12.0.x.x", VerdictKind::Correct, "correct");
    fixed.applications[5].change = ApplicationChange::Fixed;
    fixed.change = InstallationChange::Changed;

    InstallationRecord off = errorInstallation("/srv/fleet/ws-off", "cannot open: no such file or folder");
    off.change = InstallationChange::Changed;
    InstallationRecord gone = errorInstallation("/srv/fleet/ws-gone", "");
    gone.change = InstallationChange::Gone;
    gone.previous = PreviousScan{Source::Folder, Status::Ok, ""};

    std::vector<InstallationRecord> fleet = {every, empty, fixed, off, gone};
    for (InstallationRecord& installation : fleet) applyPolicy(kRollout, installation);
    return fleet;
}

// Reads back what a person sees of each row: the boxes of its first cells and of what
// they hold (the status word, each flag, the host generations), whether the status and
// the generations fit their cells, and each grid cell's colour and the image drawn over
// it; the same for the samples of the legend.
constexpr char kSightProbe[] = R"(
  const box = (rect) => [rect.left, rect.top, rect.right, rect.bottom].map((edge) => edge.toFixed(2)).join(' ');
  const held = (node) => {
    const range = document.createRange();
    range.selectNodeContents(node);
    return range.getBoundingClientRect();
  };
  const look = (element) => [getComputedStyle(element).backgroundColor, getComputedStyle(element).backgroundImage];
  for (const sample of document.querySelectorAll('#legend td.cell, #marks td.cell'))
    out.push(['sample', sample.className, ...look(sample)].join('\t'));
  for (const row of document.querySelectorAll('#grid tbody tr')) {
    const name = row.querySelector('th span').lastChild.textContent;
    const place = (kind, what, rect) => out.push([kind, name, what, box(rect)].join('\t'));
    const status = row.querySelector('td.status');
    const hosts = row.querySelector('td.hosts');
    const first = row.querySelector('td.cell, td.reason');
    place('cell', 'status', status.getBoundingClientRect());
    place('cell', 'hosts', hosts.getBoundingClientRect());
    place('cell', 'first', first.getBoundingClientRect());
    const machine = row.querySelector('th .machine');
    if (machine) {
      place('name', 'machine', machine.getBoundingClientRect());
      place('name', 'path', held(row.querySelector('th span').lastChild));
    }
    place('status', status.firstChild.textContent, held(status.firstChild));
    for (const flag of status.querySelectorAll('.flag')) place('flag', flag.textContent, flag.getBoundingClientRect());
    if (hosts.textContent !== '') place('hosts', hosts.textContent, held(hosts));
    for (const cell of [status, hosts])
      out.push(['fit', name, cell.className, cell.scrollWidth, cell.clientWidth].join('\t'));
    row.querySelectorAll('td.cell').forEach((cell, position) =>
      out.push(['grid', name, position, cell.className, ...look(cell)].join('\t')));
  }
)";

struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;
};

Box boxOf(const std::string& text) {
    Box box;
    std::istringstream(text) >> box.left >> box.top >> box.right >> box.bottom;
    return box;
}

// Across, within a fraction of a pixel, as layout rounds. Up and down, a text's box is
// its font's height, which passes its line's by a pixel or so without a glyph doing so.
constexpr double kSlack = 0.5;
constexpr double kLineSlack = 1.5;

bool inside(const Box& inner, const Box& outer) {
    return inner.left >= outer.left - kSlack && inner.right <= outer.right + kSlack &&
           inner.top >= outer.top - kLineSlack && inner.bottom <= outer.bottom + kLineSlack;
}

bool overlap(const Box& a, const Box& b) {
    return std::min(a.right, b.right) - std::max(a.left, b.left) > kSlack &&
           std::min(a.bottom, b.bottom) - std::max(a.top, b.top) > kLineSlack;
}

std::ostream& operator<<(std::ostream& out, const Box& box) {
    return out << "[" << box.left << "," << box.top << " to " << box.right << "," << box.bottom << "]";
}

// What was read back of one row.
struct SeenRow {
    std::map<std::string, Box> cells;                  // status, hosts, first
    std::map<std::string, Box> name;                   // machine, path, when a machine is named
    std::vector<std::pair<std::string, Box>> held;     // the status word, the flags, the generations
    std::vector<std::string> flags;
    std::string hosts;
    std::vector<std::vector<std::string>> grid;        // class, colour, image
};

TEST_F(DashboardInBrowser, ChangeMarksAreDrawnAndFlagsAndGenerationsStayInTheirCells) {
    ScanMetadata scan{1796940451, "2.4.0", "2.3.0"};
    scan.compared = true;
    scan.baselineTime = "2026-12-09T22:07:31Z";
    Dashboard dashboard(scan);
    dashboard.holdTo(kRollout);
    for (const InstallationRecord& installation : fleetWithEveryMark()) dashboard.add(installation);
    std::ostringstream page;
    ASSERT_TRUE(dashboard.write(page));
    const std::vector<std::string> lines = probeLines(render(withProbe(page.str(), kSightProbe)));
    ASSERT_FALSE(lines.empty()) << "the probe did not run";

    std::map<std::string, std::pair<std::string, std::string>> samples;  // class: colour, image
    std::map<std::string, SeenRow> rows;
    std::vector<std::string> order;
    for (const std::string& line : lines) {
        const std::vector<std::string> f = fields(line);
        ASSERT_GE(f.size(), 3u) << line;
        if (f[0] == "sample") {
            samples[f[1]] = {f.at(2), f.at(3)};
            continue;
        }
        if (rows.count(f[1]) == 0) order.push_back(f[1]);
        SeenRow& row = rows[f[1]];
        if (f[0] == "cell") row.cells[f[2]] = boxOf(f.at(3));
        if (f[0] == "name") row.name[f[2]] = boxOf(f.at(3));
        if (f[0] == "status" || f[0] == "flag" || f[0] == "hosts") row.held.emplace_back(f[2], boxOf(f.at(3)));
        if (f[0] == "flag") row.flags.push_back(f[2]);
        if (f[0] == "hosts") row.hosts = f[2];
        if (f[0] == "fit") {
            EXPECT_LE(std::stoi(f.at(3)), std::stoi(f.at(4))) << f[1] << ": its " << f[2] << " is wider than its cell";
        }
        if (f[0] == "grid") row.grid.push_back({f.at(3), f.at(4), f.at(5)});
    }

    EXPECT_EQ((std::vector<std::string>{"/srv/fleet/ws-off", "/srv/fleet/ws-gone", "/srv/fleet/ws-empty", kEveryMark,
                                        "/srv/fleet/ws-fixed"}),
              order);
    EXPECT_EQ("2 6 7 8 9 10 11 12 NA", rows[kEveryMark].hosts);
    EXPECT_EQ((std::vector<std::string>{"changed", "mixed", "3 damaged", "checker out of date", "32 wrong generation",
                                        "2 required, not found"}),
              rows[kEveryMark].flags);
    EXPECT_EQ((std::vector<std::string>{"added", "no application found", "41 required, not found"}),
              rows["/srv/fleet/ws-empty"].flags);
    EXPECT_EQ(std::vector<std::string>{"changed"}, rows["/srv/fleet/ws-fixed"].flags);
    EXPECT_EQ(std::vector<std::string>{"changed"}, rows["/srv/fleet/ws-off"].flags);

    // The machine and the path on one line, the machine first.
    const SeenRow& named = rows[kEveryMark];
    ASSERT_EQ(2u, named.name.size());
    EXPECT_LE(named.name.at("machine").right, named.name.at("path").left + kSlack);
    EXPECT_NEAR(named.name.at("machine").top, named.name.at("path").top, kLineSlack);

    // The status word, each flag and the host generations are drawn whole inside their
    // own cell, none over another, and the cells go left to right without overlapping
    // the first application's.
    for (const auto& [name, row] : rows) {
        SCOPED_TRACE(name);
        ASSERT_EQ(3u, row.cells.size());
        const Box& status = row.cells.at("status");
        const Box& hosts = row.cells.at("hosts");
        const Box& first = row.cells.at("first");
        EXPECT_LE(status.right, hosts.left + kSlack);
        EXPECT_LE(hosts.right, first.left + kSlack);
        for (std::size_t i = 0; i < row.held.size(); ++i) {
            const auto& [what, box] = row.held[i];
            const bool generations = i + 1 == row.held.size() && !row.hosts.empty();
            EXPECT_TRUE(inside(box, generations ? hosts : status))
                << "'" << what << "' " << box << " outside its cell " << (generations ? hosts : status);
            EXPECT_FALSE(overlap(box, first)) << "'" << what << "' " << box << " over the first application " << first;
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(overlap(box, row.held[j].second))
                    << "'" << what << "' " << box << " over '" << row.held[j].first << "' " << row.held[j].second;
        }
    }

    // Every cell keeps its look's colour; a corner is drawn over the cells that changed
    // since the baseline and those against the rollout, and over no other.
    ASSERT_EQ(1u, samples.count("cell correct changed")) << "no sample of the change mark in the legend";
    EXPECT_NE("none", samples["cell correct changed"].second) << "the legend's change mark is not drawn";
    EXPECT_EQ(samples["cell correct"].first, samples["cell correct changed"].first);
    EXPECT_NE("none", samples["cell correct policy"].second) << "the legend's mark against the rollout is not drawn";
    std::set<std::string> changedLooks;
    for (const auto& [name, row] : rows) {
        SCOPED_TRACE(name);
        for (std::size_t position = 0; position < row.grid.size(); ++position) {
            const std::string& classes = row.grid[position][0];
            SCOPED_TRACE(std::to_string(position) + " " + classes);
            std::istringstream words(classes);
            std::string cell, lookName, word;
            words >> cell >> lookName;
            bool changed = false, policy = false;
            while (words >> word) {
                changed = changed || word == "changed";
                policy = policy || word == "policy";
            }
            ASSERT_EQ(1u, samples.count("cell " + lookName));
            EXPECT_EQ(samples["cell " + lookName].first, row.grid[position][1]) << "the cell lost its look's colour";
            EXPECT_EQ(changed || policy, row.grid[position][2] != "none") << row.grid[position][2];
            if (changed) changedLooks.insert(lookName);
        }
    }
    EXPECT_EQ(10u, changedLooks.size()) << "changes in cells of eight verdicts, a damaged file and one not found";
    EXPECT_EQ(41u, rows[kEveryMark].grid.size());
}

}  // namespace
}  // namespace vud::fleet
