#include "fleet/dashboard.h"

#include <array>
#include <cstddef>
#include <set>
#include <string>

#include "catalogue/catalogue.h"

namespace vud::fleet {
namespace {

// How a cell looks, by the verdict of its block or the state of an application without
// one. The legend and the style sheet are both written from this table, so they cannot
// drift apart. Each look has a mark beside its colour, for readers who cannot tell the
// colours apart and for a page printed in grey.
struct Look {
    std::string_view name;         // the class, as every format names it
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

// Indexed by ApplicationState; a block's look is its verdict's.
constexpr std::array<Look, 3> kStateLooks = {{
    {"not-found", "#fff", "#868e96", "\\2013", "no file, or one that cannot be read"},
    {"no-tag", "#ced4da", "#495057", "\\2205", "a file without a version tag"},
    {"absent", "#e9ecef", "#495057", "\\b7", "no block in a saved report: not found or no tag"},
}};

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
    "#grid thead th{position:sticky;top:0;background:#fff;vertical-align:bottom;z-index:2}\n"
    "#grid thead th.app{padding:0;font-size:11px}\n"
    "#grid thead th.app span{writing-mode:vertical-rl;transform:rotate(180deg);display:inline-block;width:15px}\n"
    "#grid tbody th{position:sticky;left:0;background:#fff;z-index:1}\n"
    "#grid tbody th span{display:inline-block;max-width:32em;overflow:hidden;text-overflow:ellipsis;vertical-align:bottom}\n"
    "#grid tbody th.report{font-style:italic}\n"
    "#grid tbody tr:hover th,#grid tbody tr:hover td.status,#grid tbody tr:hover td.hosts{background:#e7f5ff}\n"
    "#grid td.cell,#legend td.cell{width:13px;min-width:13px;height:13px;padding:0;border:1px solid #dee2e6;text-align:center;"
    "font:bold 10px/13px sans-serif}\n"
    "td.cell:hover{outline:2px solid #212529}\n"
    "tr.ok td.status,#totals .ok{color:#2b8a3e}\n"
    "tr.findings td.status,#totals .findings{color:#d9480f}\n"
    "tr.error td.status,#totals .error,td.reason{color:#c92a2a}\n"
    ".flag{margin-left:.4em;padding:0 3px;border-radius:3px;background:#fff3bf;color:#5c3c00;font-size:11px}\n"
    // A long reason wraps inside the row rather than widening every application column.
    "td.reason{white-space:normal;overflow-wrap:anywhere}\n";

void appendLookStyle(std::string& page, const Look& look) {
    page += "td.cell.";
    page += look.name;
    page += "{background:";
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

// The length of the well-formed UTF-8 sequence that starts at `at`, or 0 when the byte
// there starts none (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

void appendEscaped(std::string& page, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        switch (byte) {
            case '&': page += "&amp;"; break;
            case '<': page += "&lt;"; break;
            case '>': page += "&gt;"; break;
            case '"': page += "&quot;"; break;
            case '\'': page += "&#39;"; break;
            default:
                if (byte < 0x80) {
                    page += static_cast<char>(byte);
                } else if (const std::size_t length = utf8SequenceLength(text, at); length > 0) {
                    page.append(text, at, length);
                    at += length;
                    continue;
                } else {
                    page += static_cast<char>(0xC0 | (byte >> 6));
                    page += static_cast<char>(0x80 | (byte & 0x3F));
                }
        }
        ++at;
    }
}

std::string_view textOf(const char* field) { return field; }

struct Totals {
    std::array<int, 3> byStatus{};  // by Status
    std::array<int, kVerdictKindCount> byVerdict{};
    std::array<int, 3> byState{};  // not found, no tag, absent
};

Totals countAll(const std::vector<InstallationRecord>& installations) {
    Totals totals;
    for (const InstallationRecord& installation : installations) {
        ++totals.byStatus[static_cast<std::size_t>(installation.status)];
        for (const ApplicationRecord& application : installation.applications) {
            if (application.state == ApplicationState::Block)
                ++totals.byVerdict[static_cast<std::size_t>(application.verdict)];
            else
                ++totals.byState[static_cast<std::size_t>(application.state) - 1];
        }
    }
    return totals;
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

void appendHead(std::string& page, std::size_t installationCount, const Totals& totals) {
    page += kPageStart;
    for (const Look& look : kVerdictLooks) appendLookStyle(page, look);
    for (const Look& look : kStateLooks) appendLookStyle(page, look);
    page += "</style>\n</head>\n<body>\n<h1>Vudmark fleet</h1>\n";

    page += "<table id=\"totals\">\n<caption>Installations</caption>\n";
    appendCount(page, "all", static_cast<int>(installationCount));
    for (const Status status : {Status::Ok, Status::Findings, Status::Error})
        appendCount(page, statusName(status), totals.byStatus[static_cast<std::size_t>(status)]);
    page += "</table>\n";

    page += "<table id=\"legend\">\n<caption>Applications</caption>\n";
    for (std::size_t i = 0; i < kVerdictLooks.size(); ++i) appendLegendRow(page, kVerdictLooks[i], totals.byVerdict[i]);
    for (std::size_t i = 0; i < kStateLooks.size(); ++i) appendLegendRow(page, kStateLooks[i], totals.byState[i]);
    page += "</table>\n";

    page += "<table id=\"grid\">\n<thead><tr><th>installation</th><th>status</th><th>hosts</th>";
    for (const ApplicationEntry& entry : kApplicationCatalogue) {
        page += "<th class=\"app\" title=\"";
        appendEscaped(page, textOf(entry.displayName));
        page += "\"><span>";
        appendEscaped(page, textOf(entry.fileName));
        page += "</span></th>";
    }
    page += "</tr></thead>\n<tbody>\n";
}

// The host generations of an installation's blocks: their numbers, ascending, then "NA"
// when a generation was not recognised; the labels as printed go in the title.
void appendHosts(std::string& page, const InstallationRecord& installation) {
    std::set<int> generations;
    bool unrecognised = false;
    std::vector<std::string_view> labels;
    for (const ApplicationRecord& application : installation.applications) {
        if (application.state != ApplicationState::Block) continue;
        if (application.generation) generations.insert(*application.generation);
        else unrecognised = true;
        bool seen = false;
        for (const std::string_view label : labels) seen = seen || label == application.host;
        if (!seen) labels.push_back(application.host);
    }
    page += "<td class=\"hosts\" title=\"";
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (i > 0) page += '\n';
        appendEscaped(page, labels[i]);
    }
    page += "\">";
    bool first = true;
    for (const int generation : generations) {
        if (!first) page += ' ';
        page += std::to_string(generation);
        first = false;
    }
    if (unrecognised) page += first ? "NA" : " NA";
    page += "</td>";
}

void appendCell(std::string& page, const ApplicationRecord& application) {
    page += "<td class=\"cell ";
    page += lookOf(application).name;
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
    page += "\"></td>";
}

void appendRow(std::string& page, const InstallationRecord& installation) {
    page += "<tr class=\"";
    page += statusName(installation.status);
    page += "\"><th scope=\"row\" class=\"";
    page += sourceName(installation.source);
    page += "\" title=\"";
    appendEscaped(page, installation.installation);
    page += "\"><span>";
    appendEscaped(page, installation.installation);
    page += "</span></th><td class=\"status\">";
    page += statusName(installation.status);
    if (installation.mixed)
        page += "<span class=\"flag\" title=\"builds for more than one host generation\">mixed</span>";
    // The fleet counts an installation without a single application as a finding, as
    // it is almost always a wrong path; say so, since its row is otherwise all blank.
    if (installation.status != Status::Error && blockCount(installation) == 0)
        page += "<span class=\"flag\" title=\"not one application has a version tag here\">no application found</span>";
    if (installation.damaged > 0) {
        page += "<span class=\"flag\" title=\"files that hold no version tag: empty, cut short or overwritten\">";
        page += std::to_string(installation.damaged);
        page += " damaged</span>";
    }
    if (installation.outdated)
        page += "<span class=\"flag\" title=\"a build newer than the checker knows\">checker out of date</span>";
    page += "</td>";
    if (installation.status == Status::Error) {
        page += "<td class=\"hosts\"></td><td class=\"reason\" colspan=\"";
        page += std::to_string(kApplicationCount);
        page += "\">";
        appendEscaped(page, installation.error);
        page += "</td></tr>\n";
        return;
    }
    appendHosts(page, installation);
    // By catalogue position, so a record that lacks an application leaves its column
    // empty rather than shifting the ones after it.
    std::array<const ApplicationRecord*, kApplicationCount> byPosition{};
    for (const ApplicationRecord& application : installation.applications)
        if (application.position >= 0 && application.position < kApplicationCount)
            byPosition[static_cast<std::size_t>(application.position)] = &application;
    for (const ApplicationRecord* application : byPosition) {
        if (application != nullptr) appendCell(page, *application);
        else page += "<td class=\"cell\"></td>";
    }
    page += "</tr>\n";
}

}  // namespace

std::string escapeHtml(std::string_view text) {
    std::string escaped;
    appendEscaped(escaped, text);
    return escaped;
}

void writeDashboard(std::ostream& out, const std::vector<InstallationRecord>& installations) {
    std::string page;
    appendHead(page, installations.size(), countAll(installations));
    out << page;
    // A row at a time, so a fleet of thousands never holds its whole page in memory.
    for (const InstallationRecord& installation : installations) {
        page.clear();
        appendRow(page, installation);
        out << page;
    }
    out << "</tbody>\n</table>\n</body>\n</html>\n";
}

}  // namespace vud::fleet
