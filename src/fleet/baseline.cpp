#include "fleet/baseline.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "fleet/inputs.h"
#include "fleet/installation_names.h"
#include "fleet/report_parser.h"

namespace vud::fleet {
namespace {

using Json = nlohmann::json;

constexpr char kWhatALineIs[] = "a JSON object, as vudfleet --format json writes one an installation";

std::string typeOf(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::object: return "an object";
        case Json::value_t::array: return "an array";
        case Json::value_t::string: return "a string";
        case Json::value_t::boolean: return "true or false";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float: return "a number";
        default: return "nothing";
    }
}

// What a line holds where a field was expected: its text when short, else its type.
std::string found(const Json* value) {
    if (value == nullptr) return "no such field";
    if (value->is_string() && value->get_ref<const std::string&>().size() <= 40) return value->dump();
    if (value->is_number() || value->is_boolean()) return value->dump();
    return typeOf(*value);
}

const Json* field(const Json& object, const char* name) {
    const auto at = object.find(name);
    return at == object.end() ? nullptr : &*at;
}

std::string expected(const std::string& where, const char* name, const std::string& what, const Json* value) {
    return where + "expected \"" + name + "\" to be " + what + ", found " + found(value);
}

// The value of `name`, one of the `names` given by `nameOf`, as its index; none when
// it is none of them.
template <typename Enum, std::size_t N>
std::optional<Enum> named(const Json* value, const std::array<Enum, N>& values, std::string_view (*nameOf)(Enum)) {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    const std::string& text = value->get_ref<const std::string&>();
    for (const Enum candidate : values)
        if (nameOf(candidate) == text) return candidate;
    return std::nullopt;
}

template <typename Enum, std::size_t N>
std::string oneOf(const std::array<Enum, N>& values, std::string_view (*nameOf)(Enum)) {
    std::string text;
    for (std::size_t i = 0; i < N; ++i) {
        text += i == 0 ? "" : i + 1 == N ? " or " : ", ";
        text += '"';
        text += nameOf(values[i]);
        text += '"';
    }
    return text;
}

constexpr std::array<Source, 2> kSources{Source::Folder, Source::Report};
constexpr std::array<Status, 3> kStatuses{Status::Ok, Status::Findings, Status::Error};
constexpr std::array<ApplicationState, 4> kStates{ApplicationState::Block, ApplicationState::NotFound,
                                                  ApplicationState::NoTag, ApplicationState::Absent};
constexpr std::array<VerdictKind, kVerdictKindCount> kVerdicts{
    VerdictKind::Correct, VerdictKind::SizeMismatch, VerdictKind::Beta,  VerdictKind::Test,
    VerdictKind::PreRelease, VerdictKind::Older,    VerdictKind::Newer, VerdictKind::Unrecognized};

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

}  // namespace

std::string Baseline::keyOf(std::string_view machine, const std::string& path) {
    // Machine names are the same in any case; paths are compared as spelled.
    return lowerCase(machine) + '\n' + installationKey(path);
}

std::optional<Baseline> Baseline::read(const std::string& path, std::string& problem) {
    // A FIFO or a device may never end: refused unread, as inputs are.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(pathFromUtf8(path), error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        problem = "not a file";
        return std::nullopt;
    }
    std::string bytes;
    if (!readWholeFile(path, kLargestBaseline, bytes, problem)) return std::nullopt;
    return parse(bytes, problem);
}

std::optional<Baseline> Baseline::parse(std::string_view bytes, std::string& problem) {
    std::string converted;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        converted = reportText(bytes, problem);
        if (!problem.empty()) {
            problem = "line 1: expected " + problem;
            return std::nullopt;
        }
        bytes = converted;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    Baseline baseline;
    int number = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        if (line.size() > kLargestBaselineLine) {
            problem = "line " + std::to_string(number) + ": expected " + kWhatALineIs + ", found a line longer than " +
                      std::to_string(kLargestBaselineLine >> 20) + " MiB";
            return std::nullopt;
        }
        if (!baseline.add(line, number, problem)) {
            problem = "line " + std::to_string(number) + ": " + problem;
            return std::nullopt;
        }
    }
    if (number == 0 || (baseline.installations_.empty() && baseline.scanTime_.empty())) {
        problem = "line " + std::to_string(std::max(number, 1)) + ": expected " + kWhatALineIs +
                  ", found no installation";
        return std::nullopt;
    }
    return baseline;
}

bool Baseline::add(std::string_view line, int number, std::string& problem) {
    Json object;
    try {
        object = Json::parse(line);
    } catch (const Json::parse_error& error) {
        problem = std::string("expected ") + kWhatALineIs + ", found text that is not JSON (at byte " +
                  std::to_string(error.byte) + ")";
        return false;
    }
    if (!object.is_object()) {
        problem = std::string("expected ") + kWhatALineIs + ", found " + typeOf(object);
        return false;
    }
    const Json* installation = field(object, "installation");
    if (installation == nullptr || !installation->is_string()) {
        problem = expected("", "installation", "the path as a string", installation);
        return false;
    }
    const Json* scanTime = field(object, "scan_time");
    if (scanTime != nullptr && scanTime->is_string() && scanTime_.empty())
        scanTime_ = scanTime->get<std::string>();
    // A line of an earlier comparison for an installation that was gone then: not in
    // that scan, so not in this baseline.
    const Json* change = field(object, "change");
    if (change != nullptr && change->is_string() && change->get_ref<const std::string&>() == "gone") return true;

    Installation entry;
    entry.path = installation->get<std::string>();
    entry.line = number;
    // Scans before machines were recorded have no "machine": none was named.
    if (const Json* machine = field(object, "machine"); machine != nullptr && !machine->is_null()) {
        if (!machine->is_string()) {
            problem = expected("", "machine", "a string", machine);
            return false;
        }
        entry.machine = machine->get<std::string>();
    }
    const Json* source = field(object, "source");
    const std::optional<Source> sourceValue = named(source, kSources, sourceName);
    if (!sourceValue) {
        problem = expected("", "source", oneOf(kSources, sourceName), source);
        return false;
    }
    entry.source = *sourceValue;
    const Json* status = field(object, "status");
    const std::optional<Status> statusValue = named(status, kStatuses, statusName);
    if (!statusValue) {
        problem = expected("", "status", oneOf(kStatuses, statusName), status);
        return false;
    }
    entry.status = *statusValue;
    const Json* error = field(object, "error");
    if (entry.status == Status::Error) {
        if (error == nullptr || !error->is_string()) {
            problem = expected("", "error", "the reason as a string", error);
            return false;
        }
        entry.error = error->get<std::string>();
    }
    const Json* applications = field(object, "applications");
    if (applications == nullptr || !applications->is_array()) {
        problem = expected("", "applications", "an array", applications);
        return false;
    }
    for (std::size_t i = 0; i < applications->size(); ++i) {
        const Json& application = (*applications)[i];
        const std::string where = "applications[" + std::to_string(i) + "]: ";
        if (!application.is_object()) {
            problem = where + "expected an object, found " + typeOf(application);
            return false;
        }
        const Json* file = field(application, "file");
        const auto position = std::find_if(std::begin(kApplicationCatalogue), std::end(kApplicationCatalogue),
                                           [file](const ApplicationEntry& entry) {
                                               return file != nullptr && file->is_string() &&
                                                      file->get_ref<const std::string&>() == entry.fileName;
                                           }) -
                              std::begin(kApplicationCatalogue);
        if (position == kApplicationCount) {
            problem = expected(where, "file", "the file name of a catalogue application", file);
            return false;
        }
        Application& known = entry.applications[static_cast<std::size_t>(position)];
        if (known.known) {
            problem = where + "expected each application once, found " + file->dump() + " again";
            return false;
        }
        known.known = true;
        const Json* state = field(application, "state");
        const std::optional<ApplicationState> stateValue = named(state, kStates, stateName);
        if (!stateValue) {
            problem = expected(where, "state", oneOf(kStates, stateName), state);
            return false;
        }
        known.state = *stateValue;
        if (known.state == ApplicationState::Block) {
            const Json* tag = field(application, "tag");
            if (tag == nullptr || !tag->is_string()) {
                problem = expected(where, "tag", "the version tag as a string", tag);
                return false;
            }
            known.tag = tag->get<std::string>();
            const Json* size = field(application, "size");
            if (size == nullptr || !size->is_number_integer()) {
                problem = expected(where, "size", "the size in bytes as a whole number", size);
                return false;
            }
            known.size = size->get<std::int64_t>();
            const Json* verdict = field(application, "verdict");
            const std::optional<VerdictKind> verdictValue = named(verdict, kVerdicts, verdictName);
            if (!verdictValue) {
                problem = expected(where, "verdict", oneOf(kVerdicts, verdictName), verdict);
                return false;
            }
            known.verdict = *verdictValue;
        }
        ApplicationRecord record;
        record.state = known.state;
        record.verdict = known.verdict;
        // A rule of the rollout broken in the baseline's scan is a finding as well.
        const Json* policy = field(application, "policy");
        known.finding = isFinding(record) || (policy != nullptr && policy->is_string());
    }
    const auto [at, added] = index_.emplace(keyOf(entry.machine, entry.path), installations_.size());
    if (!added) {
        problem = "expected each installation once, found the installation of line " +
                  std::to_string(installations_[at->second].line) + " again";
        return false;
    }
    installations_.push_back(std::move(entry));
    return true;
}

void Baseline::compare(InstallationRecord& record) {
    const auto at = index_.find(keyOf(record.machine, record.installation));
    static const Installation kNone{};
    const Installation* before = at == index_.end() ? &kNone : &installations_[at->second];
    bool changed = false;
    for (ApplicationRecord& application : record.applications) {
        const bool finding = isFinding(application) || application.policy.has_value();
        const Application* was = application.position >= 0 && application.position < kApplicationCount
                                     ? &before->applications[static_cast<std::size_t>(application.position)]
                                     : nullptr;
        if (was == nullptr || !was->known) {
            // Nothing to compare with: an installation added, or one that could not be read.
            application.change = finding ? ApplicationChange::NewFinding : ApplicationChange::Unchanged;
        } else if (was->finding != finding) {
            application.change = finding ? ApplicationChange::NewFinding : ApplicationChange::Fixed;
        } else {
            const bool block = application.state == ApplicationState::Block;
            const bool same = (was->state == ApplicationState::Block) == block &&
                              (!block || (was->tag == application.tag && was->size == application.size &&
                                          was->verdict == application.verdict));
            application.change = same ? ApplicationChange::Unchanged : ApplicationChange::Changed;
        }
        changed = changed || application.change != ApplicationChange::Unchanged;
    }
    if (at == index_.end()) {
        record.change = InstallationChange::Added;
        return;
    }
    installations_[at->second].seen = true;
    record.previous = PreviousScan{before->source, before->status, before->error};
    changed = changed || before->status != record.status || before->source != record.source ||
              before->error != record.error;
    record.change = changed ? InstallationChange::Changed : InstallationChange::Unchanged;
}

std::vector<InstallationRecord> Baseline::gone() const {
    std::vector<InstallationRecord> records;
    for (const Installation& installation : installations_) {
        if (installation.seen) continue;
        InstallationRecord record;
        record.installation = installation.path;
        record.machine = installation.machine;
        record.source = installation.source;
        record.previous = PreviousScan{installation.source, installation.status, installation.error};
        record.change = InstallationChange::Gone;
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace vud::fleet
