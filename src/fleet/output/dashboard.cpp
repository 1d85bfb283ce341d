#include "fleet/output/dashboard.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "catalogue/catalogue.h"
#include "fleet/output/spool_file.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

// How a cell looks, by the verdict of its block or the state of an application without
// one. The legend and the style sheet are both written from this table, so they cannot
// drift apart. Each look has a mark beside its colour, for readers who cannot tell the
// colours apart and for a page printed in grey.
struct Look {
    std::string_view name;         // the class and the page's word: the records' name, hyphens for underscores
    std::string_view background;
    std::string_view foreground;
    std::string_view mark;         // CSS string content; empty for the common case
    std::string_view description;  // the legend's words
};

constexpr std::array<Look, kVerdictKindCount> kVerdictLooks = {{
    {"correct", "#2f9e44", "#fff", "", "correct production build, size matches"},
    {"size-mismatch", "#f2c12e", "#000", "S", "right release, wrong size"},
    {"beta", "#9c36b5", "#fff", "B", "beta build"},
    {"test", "#1c7ed6", "#fff", "T", "test release"},
    {"pre-release", "#66d9e8", "#000", "P", "pre-release test build"},
    {"older", "#e03131", "#fff", "O", "older release"},
    {"newer", "#f76707", "#fff", "N", "newer release than the checker knows"},
    {"unrecognized", "#5c2c0c", "#fff", "?", "release not recognised"},
}};

// The looks' names are the names the records give the verdicts, written as a page's
// classes are, with hyphens.
constexpr bool verdictLooksFollowTheVerdictNames() {
    for (std::size_t kind = 0; kind < kVerdictLooks.size(); ++kind) {
        const std::string_view look = kVerdictLooks[kind].name;
        const std::string_view name = kVerdictNames[kind];
        if (look.size() != name.size()) return false;
        for (std::size_t i = 0; i < look.size(); ++i)
            if (look[i] != (name[i] == '_' ? '-' : name[i])) return false;
    }
    return true;
}
static_assert(verdictLooksFollowTheVerdictNames());

// Indexed by ApplicationState; a block's look is its verdict's.
constexpr std::array<Look, 3> kStateLooks = {{
    {"not-found", "#fff", "#868e96", "\\2013", "no file, or one that cannot be read"},
    {"no-tag", "#ced4da", "#495057", "\\2205", "a file without a version tag"},
    {"absent", "#e9ecef", "#495057", "\\b7", "no block in a saved report: not found or no tag"},
}};

// The look of a column of the totals (totalColumnOf).
const Look& lookOfColumn(int column) {
    return column < kVerdictKindCount ? kVerdictLooks[static_cast<std::size_t>(column)]
                                      : kStateLooks[static_cast<std::size_t>(column - kVerdictKindCount)];
}

const Look& lookOf(const ApplicationRecord& application) {
    switch (application.state) {
        case ApplicationState::Block: return kVerdictLooks[static_cast<std::size_t>(application.verdict)];
        case ApplicationState::NotFound: return kStateLooks[0];
        case ApplicationState::NoTag: return kStateLooks[1];
        case ApplicationState::Absent: break;
    }
    return kStateLooks[2];
}

constexpr std::string_view kPageStart =
    "<!DOCTYPE html>\n"
    "<html lang=\"en\">\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<title>Vudmark fleet</title>\n"
    "<style>\n"
    "body{font:13px/1.35 sans-serif;margin:1em;color:#212529;background:#fff}\n"
    "h1{font-size:1.4em;margin:0 0 .5em}\n"
    "table{border-collapse:collapse}\n"
    "#totals,#legend{margin:0 2em 1em 0;display:inline-table;vertical-align:top}\n"
    "#totals th,#totals td,#legend th,#legend td{padding:1px 6px;text-align:left}\n"
    "#totals td,#legend td.count{text-align:right;font-variant-numeric:tabular-nums}\n"
    "#legend th{font-weight:normal}\n"
    "#grid th,#grid td{padding:0 4px;white-space:nowrap;font-weight:normal;text-align:left;line-height:14px}\n"
    // The grid is a table of its heads, tables of rows and a table of totals, all with
    // the same fixed columns so that they line up. A browser lays out only the tables
    // of rows that are on screen (content-visibility), so a page of thousands of rows
    // opens as fast as one of a hundred.
    "#grid table{table-layout:fixed;width:calc(47em + 615px)}\n"
    "#grid col.installation{width:21em}\n#grid col.status{width:20em}\n#grid col.hosts{width:6em}\n"
    "#grid col.app{width:15px}\n"
    "#grid div.rows{content-visibility:auto}\n"
    // The status and its flags, and the host generations, wrap inside their cells
    // rather than run under the next one: a row with many grows taller.
    "#grid td.status,#grid td.hosts{white-space:normal}\n"
    "#grid table.head{position:sticky;top:0;background:#fff;z-index:2}\n"
    "#grid thead th{vertical-align:bottom}\n"
    "#grid thead th.app{padding:0;font-size:11px}\n"
    "#grid thead th.app span{writing-mode:vertical-rl;transform:rotate(180deg);display:inline-block;width:15px}\n"
    "#grid tbody th{position:sticky;left:0;background:#fff;z-index:1}\n"
    "#grid tbody th>span{display:block;overflow:hidden;text-overflow:ellipsis}\n"
    "#grid tbody th.report{font-style:italic}\n"
    "#grid tbody tr:hover th,#grid tbody tr:hover td.status,#grid tbody tr:hover td.hosts{background:#e7f5ff}\n"
    "#scan{margin:0 0 1em;color:#495057}\n"
    // Marks drawn over a cell's colour: a ring for a build of another host generation
    // than most of its installation, a corner for a change since the baseline. A corner
    // has a white edge, so that it shows on a dark colour as on a light one, and reaches
    // further into a ringed cell, as the ring is drawn over it.
    "td.cell{--corner:3.5px}\ntd.cell.minority{--corner:5.5px;box-shadow:inset 0 0 0 2px #212529}\n"
    "td.cell.changed{--changed:linear-gradient(225deg,#212529 var(--corner),#fff 0 calc(var(--corner) + 1px),transparent 0);"
    "background-image:var(--changed)}\n"
    "#marks{margin:0 0 1em}\n#marks th,#marks td{padding:1px 6px;text-align:left}\n#marks th{font-weight:normal}\n"
    // A sample of a mark is a cell's size, although the flags beside it widen its column.
    "#marks td.cell{display:block;margin:1px 6px}\n"
    // The ok installations, one short line each inside a fold that opens on demand.
    "#grid details.fold{margin:4px 0}\n"
    "#grid summary{cursor:pointer;color:#2b8a3e}\n"
    "ol.ok{margin:.3em 0;padding-left:3.5em;columns:32em auto}\n"
    "ol.ok li.report{font-style:italic}\n"
    "ol.ok .hosts{margin:0 .3em;color:#495057}\n"
    // Each application's totals, written upright like its name at the top.
    "#grid tfoot th{text-align:right;padding:1px 6px;border-top:1px solid #dee2e6}\n"
    "#grid tfoot td.count{padding:1px 0;font-size:10px;vertical-align:top;text-align:center;border-top:1px solid #dee2e6}\n"
    "#grid tfoot td.count span{writing-mode:vertical-rl;transform:rotate(180deg);display:inline-block;width:15px}\n"
    "#grid td.cell,#legend td.cell,#marks td.cell{width:13px;min-width:13px;height:13px;padding:0;border:1px solid #dee2e6;text-align:center;"
    "font:bold 10px/13px sans-serif}\n"
    "td.cell:hover{outline:2px solid #212529}\n"
    "tr.ok td.status,#totals .ok{color:#2b8a3e}\n"
    "tr.findings td.status,#totals .findings{color:#d9480f}\n"
    "tr.error td.status,#totals .error,td.reason{color:#c92a2a}\n"
    "tr.gone td.status,tr.gone td.reason{color:#868e96}\n"
    "#grid .machine{font-weight:bold;margin-right:.4em}\n"
    ".flag{display:inline-block;margin-left:.4em;padding:0 3px;border-radius:3px;background:#fff3bf;color:#5c3c00;font-size:11px;white-space:nowrap}\n"
    // A long reason wraps inside the row rather than widening every application column.
    "td.reason{white-space:normal;overflow-wrap:anywhere}\n";

// A look sets the colour alone, not the whole background, so that the corners of the
// marks, drawn over it as images, stay wherever their rules come.
void appendLookStyle(std::string& page, const Look& look) {
    page += "td.cell.";
    page += look.name;
    page += "{background-color:";
    page += look.background;
    page += ";color:";
    page += look.foreground;
    page += "}\n";
    if (look.mark.empty()) return;
    page += "td.cell.";
    page += look.name;
    page += "::after{content:\"";
    page += look.mark;
    page += "\"}\n";
}

void appendEscaped(std::string& page, std::string_view text) {
    for (const char c : escapedUtf8(text)) {
        switch (c) {
            case '&': page += "&amp;"; break;
            case '<': page += "&lt;"; break;
            case '>': page += "&gt;"; break;
            case '"': page += "&quot;"; break;
            case '\'': page += "&#39;"; break;
            default: page += c;
        }
    }
}

// A name or an error, which may come from anywhere, shown by the rule of every output:
// a tab or a line break in it is no blank, and no character turns the text around it.
void appendShown(std::string& page, std::string_view text) { appendEscaped(page, shownSafely(text)); }

// The majority host generation of an installation: the generation of most of its
// blocks, the newer on a tie; an unrecognised generation is kept apart as -1.
int majorityGeneration(const InstallationRecord& installation) {
    // By place in kGenerationNumbers, then unrecognised.
    std::array<int, kGenerationNumbers.size() + 1> counts{};
    constexpr std::size_t kUnrecognised = kGenerationNumbers.size();
    for (const ApplicationRecord& application : installation.applications) {
        if (application.state != ApplicationState::Block) continue;
        const auto known = std::find(kGenerationNumbers.begin(), kGenerationNumbers.end(), application.generation);
        ++counts[static_cast<std::size_t>(known - kGenerationNumbers.begin())];
    }
    int majority = -1;
    int most = counts[kUnrecognised];
    for (std::size_t place = 0; place < kGenerationNumbers.size(); ++place) {
        if (counts[place] > 0 && counts[place] >= most) {
            most = counts[place];
            majority = kGenerationNumbers[place];
        }
    }
    return majority;
}

void appendCount(std::string& page, std::string_view name, int count) {
    page += "<tr class=\"";
    page += name;
    page += "\"><th scope=\"row\">";
    page += name;
    page += "</th><td>";
    page += std::to_string(count);
    page += "</td></tr>\n";
}

void appendLegendRow(std::string& page, const Look& look, int count) {
    page += "<tr><td class=\"cell ";
    page += look.name;
    page += "\"></td><th scope=\"row\">";
    page += look.name;
    page += "</th><td class=\"count\">";
    page += std::to_string(count);
    page += "</td><td>";
    page += look.description;
    page += "</td></tr>\n";
}

// The words of the installation flags, in the legend and in each flag's title.
constexpr std::string_view kMixedWords = "builds for more than one host generation in one installation";
constexpr std::string_view kOutdatedWords = "a build newer than this checker knows was found: get a newer checker";
constexpr std::string_view kNothingWords = "not one application has a version tag here";
constexpr std::string_view kDamagedWords = "files that hold no version tag: empty, cut short or overwritten";
constexpr std::string_view kWrongGenerationWords =
    "builds for a host generation the rollout does not expect, or for one not recognised";
constexpr std::string_view kRequiredWords = "applications the rollout requires that were not found";
constexpr std::string_view kAddedWords = "not in the baseline scan";
constexpr std::string_view kChangedWords = "its status, its error or an application differs from the baseline scan";
constexpr std::string_view kStaleWords =
    "a saved report written longer ago than --max-report-age allows: what is installed may have changed since";

// Only where a rollout's rules are in force: a page without them names no rollout.
constexpr std::string_view kPolicyStyle =
    ".flag.policy{background:#ffe3e3;color:#a61e1e}\n"
    // A red corner at the bottom left, beside the corner of a change at the top right.
    "td.cell.policy{--policy:linear-gradient(45deg,#c92a2a var(--corner),#fff 0 calc(var(--corner) + 1px),transparent 0);"
    "background-image:var(--policy)}\n"
    "td.cell.changed.policy{background-image:var(--changed),var(--policy)}\n";

// Only where the blocks were held to a reference build: a page without one names none.
// A modified file keeps its verdict's colour and gets a mark of its own before the
// verdict's; its installation a red flag.
constexpr std::string_view kReferenceStyle =
    "#reference{margin:0 2em 1em 0;display:inline-table;vertical-align:top}\n"
    "#reference th,#reference td{padding:1px 6px;text-align:left}\n"
    "#reference td{text-align:right;font-variant-numeric:tabular-nums}\n"
    "td.cell.modified::before{content:\"\\2260\"}\n"
    ".flag.reference{background:#ffe3e3;color:#a61e1e}\n";
constexpr std::string_view kModifiedWords =
    "other bytes than the reference build of the same version tag and size: corrupted, patched or replaced";
constexpr std::string_view kUnverifiedWords =
    "blocks the reference build could not verify, where every block must be: unreferenced, changed while read "
    "or from a saved report";
constexpr std::string_view kChangedWhileReadWords =
    "files that changed while they were read: their bytes tell nothing, the next scan reads them again";

void appendFlag(std::string& page, std::string_view name, std::string_view words, bool policy = false) {
    page += policy ? "<span class=\"flag policy\" title=\"" : "<span class=\"flag\" title=\"";
    page += words;
    page += "\">";
    page += name;
    page += "</span>";
}

void appendMarkRow(std::string& page, std::string_view sample, std::string_view name, std::string_view words) {
    page += "<tr><td";
    page += sample;
    page += "</td><th scope=\"row\">";
    page += name;
    page += "</th><td>";
    page += words;
    page += "</td></tr>\n";
}

// The columns of each table of the grid.
constexpr std::string_view kColumns =
    "<colgroup><col class=\"installation\"><col class=\"status\"><col class=\"hosts\">"
    "<col class=\"app\" span=\"41\"></colgroup>";
static_assert(kApplicationCount == 41);

// Rows go in tables of this many, each laid out by the browser only when on screen.
constexpr std::ptrdiff_t kRowsATable = 50;

// What the rollout held the fleet to, in words: "host generation 11 expected; every
// application required".
std::string policyInWords(const RolloutPolicy& policy) {
    std::string words;
    const std::size_t count = policy.expectedGenerations.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) words += i + 1 == count ? " or " : ", ";
        words += std::to_string(policy.expectedGenerations[i]);
    }
    if (count > 0) words = "host generation " + words + " expected";
    if (policy.requireAll) words += count > 0 ? "; every application required" : "every application required";
    return words;
}

void appendHead(std::string& page, const ScanMetadata& scan, const FleetTotals& totals,
                const RolloutPolicy& policy) {
    page += kPageStart;
    for (const Look& look : kVerdictLooks) appendLookStyle(page, look);
    for (const Look& look : kStateLooks) appendLookStyle(page, look);
    if (policy.inForce()) page += kPolicyStyle;
    if (!scan.referenceDigest.empty()) page += kReferenceStyle;
    page += "</style>\n</head>\n<body>\n<h1>Vudmark fleet</h1>\n";

    const std::string time = isoTime(scan.time);
    page += "<p id=\"scan\">Scanned <time datetime=\"";
    page += time;
    page += "\">";
    page += time;
    page += "</time> by vudfleet ";
    appendEscaped(page, scan.vudfleetVersion);
    page += ", judged by the catalogue of checker ";
    appendEscaped(page, scan.checkerVersion);
    if (scan.compared) {
        page += ". Since the baseline scan";
        if (!scan.baselineTime.empty()) {
            page += " of ";
            appendShown(page, scan.baselineTime);
        }
        page += ": ";
        for (const InstallationChange change : {InstallationChange::Added, InstallationChange::Gone,
                                                InstallationChange::Changed, InstallationChange::Unchanged}) {
            page += change == InstallationChange::Added ? "" : ", ";
            page += std::to_string(totals.withChange(change));
            page += ' ';
            page += changeName(change);
        }
    }
    if (!scan.referenceDigest.empty()) {
        page += ". Held to the reference build of SHA-256 <code>";
        page += scan.referenceDigest;
        page += scan.referenceRequired ? "</code>, every block required verified" : "</code>";
    }
    page += "</p>\n";
    if (policy.inForce()) {
        page += "<p id=\"policy\">Rollout: ";
        page += policyInWords(policy);
        page += "</p>\n";
    }

    page += "<table id=\"totals\">\n<caption>Installations</caption>\n";
    appendCount(page, "all", totals.installations());
    for (const Status status : {Status::Ok, Status::Findings, Status::Error})
        appendCount(page, statusName(status), totals.withStatus(status));
    page += "</table>\n";

    page += "<table id=\"legend\">\n<caption>Applications</caption>\n";
    for (std::size_t i = 0; i < kVerdictLooks.size(); ++i)
        appendLegendRow(page, kVerdictLooks[i], totals.ofColumn(static_cast<int>(i)));
    for (std::size_t i = 0; i < kStateLooks.size(); ++i)
        appendLegendRow(page, kStateLooks[i], totals.ofColumn(kVerdictKindCount + static_cast<int>(i)));
    page += "</table>\n";

    if (!scan.referenceDigest.empty()) {
        page += "<table id=\"reference\">\n<caption>Against the reference</caption>\n";
        for (const ReferenceState state : kReferenceStates) {
            page += "<tr><th scope=\"row\">";
            page += referenceStateName(state);
            page += "</th><td>";
            page += std::to_string(totals.withReference(state));
            page += "</td></tr>\n";
        }
        page += "</table>\n";
    }

    page += "<table id=\"marks\">\n<caption>Marks</caption>\n";
    appendMarkRow(page, " class=\"cell correct minority\">", "other generation",
                  "in a mixed installation, a build for another host generation than most of its applications");
    appendMarkRow(page, " class=\"cell correct changed\">", "changed", "differs from the baseline scan");
    const auto appendFlagRow = [&page](std::string_view name, std::string_view words, bool policy = false) {
        std::string flag = ">";
        appendFlag(flag, name, words, policy);
        appendMarkRow(page, flag, name, words);
    };
    appendFlagRow("mixed", kMixedWords);
    appendFlagRow("checker out of date", kOutdatedWords);
    appendFlagRow("no application found", kNothingWords);
    appendFlagRow("damaged", kDamagedWords);
    if (totals.staleReports() > 0) appendFlagRow("stale report", kStaleWords);
    if (scan.compared) {
        appendFlagRow("added", kAddedWords);
        appendFlagRow("changed", kChangedWords);
    }
    if (policy.inForce()) {
        appendMarkRow(page, " class=\"cell correct policy\">", "against the rollout",
                      "breaks a rule of the rollout: a wrong generation, or required and not found");
        appendFlagRow("wrong generation", kWrongGenerationWords, true);
        appendFlagRow("required, not found", kRequiredWords, true);
    }
    if (!scan.referenceDigest.empty()) {
        appendMarkRow(page, " class=\"cell correct modified\">", "modified", kModifiedWords);
        const auto appendReferenceFlagRow = [&page](std::string_view name, std::string_view words) {
            std::string flag = "><span class=\"flag reference\" title=\"";
            flag += words;
            flag += "\">";
            flag += name;
            flag += "</span>";
            appendMarkRow(page, flag, name, words);
        };
        appendReferenceFlagRow("modified", kModifiedWords);
        if (scan.referenceRequired) appendReferenceFlagRow("not verified", kUnverifiedWords);
        appendFlagRow("changed while read", kChangedWhileReadWords);
    }
    page += "</table>\n";

    page += "<div id=\"grid\">\n<table class=\"head\">";
    page += kColumns;
    page += "<thead><tr><th>installation</th><th>status</th><th>hosts</th>";
    for (const ApplicationEntry& entry : kApplicationCatalogue) {
        page += "<th class=\"app\" title=\"";
        appendEscaped(page, entry.displayName);
        page += "\"><span>";
        appendEscaped(page, entry.fileName);
        page += "</span></th>";
    }
    page += "</tr></thead></table>\n";
}

// The host labels of an installation's blocks as printed, in the order first seen.
std::vector<std::string_view> hostLabelsOf(const InstallationRecord& installation) {
    std::vector<std::string_view> labels;
    for (const ApplicationRecord& application : installation.applications)
        if (application.state == ApplicationState::Block &&
            std::find(labels.begin(), labels.end(), application.host) == labels.end())
            labels.push_back(application.host);
    return labels;
}

// The host generations as "8 11", "NA" for one not recognised.
std::string generationsOf(const InstallationRecord& installation) { return generationsSeen(installation, " ", "NA"); }

void appendHosts(std::string& page, const InstallationRecord& installation) {
    const std::vector<std::string_view> labels = hostLabelsOf(installation);
    const std::string generations = generationsOf(installation);
    page += "<td class=\"hosts\" title=\"";
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (i > 0) page += '\n';
        appendEscaped(page, labels[i]);
    }
    page += "\">";
    page += generations;
    page += "</td>";
}

std::string generationName(int generation) { return generation < 0 ? "NA" : std::to_string(generation); }

bool changedSince(const ApplicationRecord& application) {
    return application.change != ApplicationChange::None && application.change != ApplicationChange::Unchanged;
}

// The machine, when one is named, before the path.
void appendMachine(std::string& page, const InstallationRecord& installation) {
    if (installation.machine.empty()) return;
    page += "<span class=\"machine\">";
    appendShown(page, installation.machine);
    page += "</span>";
}

// `majority` is the installation's majority generation when it is mixed, or empty.
void appendCell(std::string& page, const ApplicationRecord& application, std::optional<int> majority) {
    const bool minority = majority && application.state == ApplicationState::Block &&
                          application.generation.value_or(-1) != *majority;
    page += "<td class=\"cell ";
    page += lookOf(application).name;
    if (minority) page += " minority";
    if (changedSince(application)) page += " changed";
    if (application.policy) page += " policy";
    if (application.reference == ReferenceState::Modified) page += " modified";
    page += "\" title=\"";
    appendEscaped(page, application.file);
    switch (application.state) {
        case ApplicationState::Block:
            page += ": ";
            appendEscaped(page, application.tag);
            page += ", ";
            page += std::to_string(application.size);
            page += " bytes\n";
            appendEscaped(page, application.text);
            break;
        case ApplicationState::NotFound: page += ": not found"; break;
        case ApplicationState::NoTag: page += ": no version tag"; break;
        case ApplicationState::Absent: page += ": no block in the report"; break;
    }
    if (minority) {
        page += "\nfor host generation ";
        page += generationName(application.generation.value_or(-1));
        page += ", most of this installation for ";
        page += generationName(*majority);
    }
    if (changedSince(application)) {
        page += '\n';
        page += application.change == ApplicationChange::NewFinding ? "new finding"
                : application.change == ApplicationChange::Fixed    ? "fixed"
                                                                      : "changed";
        page += " since the baseline scan";
    }
    if (application.policy == PolicyRule::WrongGeneration) page += "\nwrong generation for the rollout";
    if (application.policy == PolicyRule::Required) page += "\nrequired by the rollout";
    if (application.reference) {
        page += "\nagainst the reference: ";
        page += referenceStateName(*application.reference);
        if (application.referenceFinding && application.reference != ReferenceState::Modified)
            page += ", required verified";
    }
    page += "\"></td>";
}

// Modified files and, where every block must be verified, those not verified: red
// flags; files that changed while read, where that is no finding: a note.
void appendReferenceFlags(std::string& page, const InstallationRecord& installation) {
    int unverified = 0;
    int changing = 0;
    for (const ApplicationRecord& application : installation.applications) {
        if (application.referenceFinding && application.reference != ReferenceState::Modified) ++unverified;
        if (!application.referenceFinding && application.reference == ReferenceState::ChangedWhileRead) ++changing;
    }
    const auto flag = [&page](int count, std::string_view name, std::string_view words) {
        page += "<span class=\"flag reference\" title=\"";
        page += words;
        page += "\">";
        page += std::to_string(count);
        page += ' ';
        page += name;
        page += "</span>";
    };
    if (const int modified = installation.referenceCounts[static_cast<std::size_t>(ReferenceState::Modified)];
        modified > 0)
        flag(modified, "modified", kModifiedWords);
    if (unverified > 0) flag(unverified, "not verified", kUnverifiedWords);
    if (changing > 0) appendFlag(page, std::to_string(changing) + " changed while read", kChangedWhileReadWords);
}

void appendRow(std::string& page, const InstallationRecord& installation, std::int64_t now) {
    page += "<tr class=\"";
    page += installation.change == InstallationChange::Gone ? "gone" : statusName(installation.status);
    page += "\"><th scope=\"row\" class=\"";
    page += sourceName(installation.source);
    page += "\" title=\"";
    appendShown(page, installation.installation);
    if (!installation.machine.empty()) {
        page += "\non ";
        appendShown(page, installation.machine);
    }
    if (installation.reportTime) {
        page += "\nreport written ";
        page += isoTime(*installation.reportTime);
    }
    page += "\"><span>";
    appendMachine(page, installation);
    appendShown(page, installation.installation);
    page += "</span></th><td class=\"status\">";
    if (installation.change == InstallationChange::Gone) {
        page += "gone</td><td class=\"hosts\"></td><td class=\"reason\" colspan=\"";
        page += std::to_string(kApplicationCount);
        page += "\">in the baseline scan";
        if (installation.previous) {
            page += " (";
            page += statusName(installation.previous->status);
            page += ')';
        }
        page += ", not in this one</td></tr>\n";
        return;
    }
    page += statusName(installation.status);
    if (installation.change == InstallationChange::Added) appendFlag(page, "added", kAddedWords);
    if (installation.change == InstallationChange::Changed) appendFlag(page, "changed", kChangedWords);
    if (installation.mixed) appendFlag(page, "mixed", kMixedWords);
    // The fleet counts an installation without a single application as a finding, as
    // it is almost always a wrong path; say so, since its row is otherwise all blank.
    if (installation.status != Status::Error && blockCount(installation) == 0)
        appendFlag(page, "no application found", kNothingWords);
    if (installation.damaged > 0)
        appendFlag(page, std::to_string(installation.damaged) + " damaged", kDamagedWords);
    if (installation.checkerOutOfDate) appendFlag(page, "checker out of date", kOutdatedWords);
    if (installation.staleReport) appendFlag(page, "stale report", kStaleWords);
    if (const int count = installation.policyFindings[static_cast<std::size_t>(PolicyRule::WrongGeneration)]; count > 0)
        appendFlag(page, std::to_string(count) + " wrong generation", kWrongGenerationWords, true);
    if (const int count = installation.policyFindings[static_cast<std::size_t>(PolicyRule::Required)]; count > 0)
        appendFlag(page, std::to_string(count) + " required, not found", kRequiredWords, true);
    appendReferenceFlags(page, installation);
    page += "</td>";
    if (installation.status == Status::Error) {
        page += "<td class=\"hosts\"></td><td class=\"reason\" colspan=\"";
        page += std::to_string(kApplicationCount);
        page += "\">";
        appendShown(page, installation.error);
        if (installation.lastSeen) {
            page += "; ";
            appendEscaped(page, notSeenWords(*installation.lastSeen, now));
        }
        page += "</td></tr>\n";
        return;
    }
    appendHosts(page, installation);
    std::optional<int> majority;
    if (installation.mixed) majority = majorityGeneration(installation);
    // By catalogue position, so a record that lacks an application leaves its column
    // empty rather than shifting the ones after it.
    std::array<const ApplicationRecord*, kApplicationCount> byPosition{};
    for (const ApplicationRecord& application : installation.applications)
        if (application.position >= 0 && application.position < kApplicationCount)
            byPosition[static_cast<std::size_t>(application.position)] = &application;
    for (const ApplicationRecord* application : byPosition) {
        if (application != nullptr) appendCell(page, *application, majority);
        else page += "<td class=\"cell\"></td>";
    }
    page += "</tr>\n";
}

// An ok installation in the fold: its path, its host generations and what was found,
// one short line rather than a row of 41 cells.
void appendFoldedLine(std::string& page, const InstallationRecord& installation) {
    const std::string generations = generationsOf(installation);
    page += "<li class=\"";
    page += sourceName(installation.source);
    page += "\">";
    appendMachine(page, installation);
    appendShown(page, installation.installation);
    if (installation.change == InstallationChange::Added) appendFlag(page, "added", kAddedWords);
    page += " <span class=\"hosts\">";
    page += generations;
    page += "</span> ";
    std::array<int, kTotalColumns> counts{};
    for (const ApplicationRecord& application : installation.applications)
        ++counts[static_cast<std::size_t>(totalColumnOf(application))];
    bool first = true;
    for (int column = 0; column < kTotalColumns; ++column) {
        if (counts[static_cast<std::size_t>(column)] == 0) continue;
        page += first ? "" : ", ";
        page += std::to_string(counts[static_cast<std::size_t>(column)]);
        page += ' ';
        page += lookOfColumn(column).name;
        first = false;
    }
    page += "</li>\n";
}

// Under the grid, one row for each verdict and state the fleet has: how many
// installations have each application so.
void appendApplicationTotals(std::string& page, const FleetTotals& totals) {
    page += "<table class=\"foot\">";
    page += kColumns;
    page += "<tfoot>\n";
    for (int column = 0; column < kTotalColumns; ++column) {
        if (totals.ofColumn(column) == 0) continue;
        const std::string_view name = lookOfColumn(column).name;
        page += "<tr class=\"total ";
        page += name;
        page += "\"><th scope=\"row\" colspan=\"3\">";
        page += name;
        page += "</th>";
        for (int position = 0; position < kApplicationCount; ++position) {
            const int count = totals.of(position, column);
            if (count == 0) {
                page += "<td class=\"count\"></td>";
                continue;
            }
            page += "<td class=\"count\" title=\"";
            page += kApplicationCatalogue[position].fileName;
            page += ": ";
            page += std::to_string(count);
            page += ' ';
            page += name;
            page += "\"><span>";
            page += std::to_string(count);
            page += "</span></td>";
        }
        page += "</tr>\n";
    }
    page += "</tfoot></table>\n";
}

// Ranks: errors, installations gone since the baseline, then findings by how many (more
// first), then ok installations that changed since the baseline, then the rest of the
// ok ones, folded.
constexpr std::uint32_t kMostFindings = 1000;

std::uint32_t rankOf(const InstallationRecord& installation, bool folded) {
    if (installation.change == InstallationChange::Gone) return 1;
    switch (installation.status) {
        case Status::Error: return 0;
        case Status::Findings:
            return 2 + kMostFindings - static_cast<std::uint32_t>(std::clamp(findingCount(installation), 0,
                                                                               static_cast<int>(kMostFindings)));
        case Status::Ok: break;
    }
    return folded ? kMostFindings + 4 : kMostFindings + 3;
}

}  // namespace

int findingCount(const InstallationRecord& installation) {
    auto count = static_cast<int>(std::count_if(
        installation.applications.begin(), installation.applications.end(), [](const ApplicationRecord& application) {
            return (application.state == ApplicationState::Block &&
                    (application.verdict != VerdictKind::Correct || application.policy == PolicyRule::WrongGeneration)) ||
                   application.referenceFinding;
        }));
    // Counted by the installation: a report with damaged files marks no application required.
    count += installation.policyFindings[static_cast<std::size_t>(PolicyRule::Required)];
    count += installation.damaged;
    if (installation.mixed) ++count;
    if (blockCount(installation) == 0) ++count;
    if (installation.staleReport) ++count;
    return count;
}

// Rows set aside until the page is written: a temporary file that is gone once closed
// (Windows: in the user's own temporary folder), or memory when none can be made.
class Dashboard::Spool {
public:
    Spool() : file_(openSpoolFile()) {}
    ~Spool() {
        if (file_ != nullptr) std::fclose(file_);
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    std::uint64_t append(const std::string& bytes) {
        const std::uint64_t at = size_;
        size_ += bytes.size();
        if (file_ == nullptr) memory_ += bytes;
        else if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
        return at;
    }

    bool read(std::uint64_t offset, std::uint32_t length, std::string& into) {
        if (file_ == nullptr) {
            into.assign(memory_, offset, length);
            return true;
        }
        into.resize(length);
        if (failed_ || !seekSpoolFile(file_, offset) || std::fread(into.data(), 1, length, file_) != length) failed_ = true;
        return !failed_;
    }

private:
    std::FILE* file_;
    std::string memory_;
    std::uint64_t size_ = 0;
    bool failed_ = false;
};

Dashboard::Dashboard(ScanMetadata scan) : scan_(std::move(scan)), spool_(std::make_unique<Spool>()) {}

Dashboard::~Dashboard() = default;

void Dashboard::holdTo(RolloutPolicy policy) { policy_ = std::move(policy); }

void Dashboard::add(const InstallationRecord& installation) {
    totals_.add(installation);
    const bool changed = installation.change == InstallationChange::Changed ||
                         std::any_of(installation.applications.begin(), installation.applications.end(), changedSince);
    Row row;
    row.folded = installation.status == Status::Ok && !changed;
    row.rank = rankOf(installation, row.folded);
    row.input = static_cast<std::uint32_t>(rows_.size());
    buffer_.clear();
    if (row.folded) appendFoldedLine(buffer_, installation);
    else appendRow(buffer_, installation, scan_.time);
    row.length = static_cast<std::uint32_t>(buffer_.size());
    row.offset = spool_->append(buffer_);
    rows_.push_back(row);
}

bool Dashboard::write(std::ostream& out) {
    std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) { return a.rank < b.rank; });
    std::string page;
    appendHead(page, scan_, totals_, policy_);
    out << page;
    bool readBack = true;
    const auto folded = std::find_if(rows_.begin(), rows_.end(), [](const Row& row) { return row.folded; });
    for (auto row = rows_.begin(); row != rows_.end() && readBack; ++row) {
        const std::ptrdiff_t index = row - rows_.begin();
        if (row < folded && index % kRowsATable == 0) {
            // Until it is laid out, a table of rows takes the room its rows will.
            const std::ptrdiff_t rows = std::min(kRowsATable, folded - row);
            out << "<div class=\"rows\" style=\"contain-intrinsic-size:auto " << rows * 15 << "px\"><table>"
                << kColumns << "<tbody>\n";
        }
        if (row == folded) {
            out << "<details class=\"fold\"><summary>" << rows_.end() - folded << " ok installation"
                << (rows_.end() - folded == 1 ? "" : "s") << "</summary>\n<ol class=\"ok\">\n";
        }
        readBack = spool_->read(row->offset, row->length, page);
        out << page;
        if (row < folded && (index % kRowsATable == kRowsATable - 1 || row + 1 == folded))
            out << "</tbody></table></div>\n";
    }
    if (folded != rows_.end()) out << "</ol></details>\n";
    page.clear();
    appendApplicationTotals(page, totals_);
    out << page << "</div>\n</body>\n</html>\n";
    return readBack;
}

}  // namespace vud::fleet
