#include "fleet/compare/baseline.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#include "fleet/input/inputs.h"
#include "fleet/input/installation_names.h"
#include "text/case.h"
#include "text/saved_text.h"
#include "text/system_error.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

// Named apart from the JSON writer's ordered kind, which a build joining files may meet.
using JsonValue = nlohmann::json;

constexpr char kWhatALineIs[] = "a JSON object, as vudfleet --format json writes one an installation";

std::string typeOf(JsonValue::value_t type) {
    switch (type) {
        case JsonValue::value_t::null: return "null";
        case JsonValue::value_t::object: return "an object";
        case JsonValue::value_t::array: return "an array";
        case JsonValue::value_t::string: return "a string";
        case JsonValue::value_t::boolean: return "true or false";
        case JsonValue::value_t::number_integer:
        case JsonValue::value_t::number_unsigned:
        case JsonValue::value_t::number_float: return "a number";
        default: return "nothing";
    }
}

// What a line holds where a field was expected: its text when short, else its type.
std::string found(const JsonValue* value) {
    if (value == nullptr) return "no such field";
    if (value->is_string() && value->get_ref<const std::string&>().size() <= 40) return value->dump();
    if (value->is_number() || value->is_boolean()) return value->dump();
    return typeOf(value->type());
}

// The fields a line is read for; any other is passed over unkept. "applications" last.
constexpr std::array<std::string_view, 9> kInstallationKeys{"installation", "machine",   "source",
                                                            "status",       "error",     "change",
                                                            "scan_time",    "reference_required", "applications"};
constexpr std::array<std::string_view, 7> kApplicationKeys{"file",    "state",  "tag",      "size",
                                                           "verdict", "policy", "reference"};

// The kept fields of an object: a scalar as it is, an object or an array as an empty
// one of its type.
template <std::size_t N>
struct Fields {
    const std::array<std::string_view, N>* keys;
    std::array<std::optional<JsonValue>, N> values{};

    int indexOf(std::string_view key) const {
        // The first characters first: keys not kept are as many, and many of the same length.
        const auto at = std::find_if(keys->begin(), keys->end(), [key](std::string_view kept) {
            return !key.empty() && kept.front() == key.front() && kept == key;
        });
        return at == keys->end() ? -1 : static_cast<int>(at - keys->begin());
    }
    const JsonValue* operator[](std::string_view key) const {
        const int index = indexOf(key);
        return index < 0 || !values[static_cast<std::size_t>(index)] ? nullptr
                                                                     : &*values[static_cast<std::size_t>(index)];
    }
};

struct Element {
    JsonValue::value_t type = JsonValue::value_t::null;
    Fields<kApplicationKeys.size()> fields{&kApplicationKeys};
};

// One line as its parser's events, keeping only the fields a baseline is read for: no
// document of every field is built, and a line's memory is that of its compared fields.
class LineFields final : public nlohmann::json_sax<JsonValue> {
public:
    // False, and the byte where the text stops being JSON, when it is not JSON.
    bool read(std::string_view line, std::size_t& wrongByte) {
        const bool json = JsonValue::sax_parse(line.begin(), line.end(), this);
        wrongByte = wrongByte_;
        return json;
    }

    JsonValue::value_t type() const { return type_; }

    Fields<kInstallationKeys.size()> installation{&kInstallationKeys};
    std::vector<Element> applications;

    bool null() override { return value(JsonValue()); }
    bool boolean(bool value) override { return this->value(JsonValue(value)); }
    bool number_integer(number_integer_t value) override { return this->value(JsonValue(value)); }
    bool number_unsigned(number_unsigned_t value) override { return this->value(JsonValue(value)); }
    bool number_float(number_float_t value, const string_t& /*text*/) override { return this->value(JsonValue(value)); }
    bool string(string_t& value) override { return kept() ? this->value(JsonValue(std::move(value))) : true; }
    bool binary(binary_t& /*value*/) override { return true; }
    bool start_object(std::size_t /*elements*/) override { return start(JsonValue::value_t::object); }
    bool start_array(std::size_t /*elements*/) override { return start(JsonValue::value_t::array); }
    bool end_object() override { return end(); }
    bool end_array() override { return end(); }
    bool key(string_t& key) override {
        if (depth_ == 1) installationKey_ = installation.indexOf(key);
        else if (depth_ == 3 && inApplications_) applicationKey_ = applications.back().fields.indexOf(key);
        return true;
    }
    bool parse_error(std::size_t position, const std::string& /*token*/,
                     const nlohmann::detail::exception& /*error*/) override {
        wrongByte_ = position;
        return false;
    }

private:
    // Whether a value here is one of the kept fields.
    bool kept() const {
        return depth_ == 0 || (depth_ == 1 && installationKey_ >= 0) || (depth_ == 2 && inApplications_) ||
               (depth_ == 3 && inApplications_ && applicationKey_ >= 0 &&
                applications.back().type == JsonValue::value_t::object);
    }

    bool value(JsonValue value) {
        if (!kept()) return true;
        if (depth_ == 0) type_ = value.type();
        else if (depth_ == 1) installation.values[static_cast<std::size_t>(installationKey_)] = std::move(value);
        else if (depth_ == 2) applications.push_back({value.type()});
        else applications.back().fields.values[static_cast<std::size_t>(applicationKey_)] = std::move(value);
        return true;
    }

    bool start(JsonValue::value_t type) {
        // An empty object or array is memory of its own: made only for a kept field.
        if (kept()) value(JsonValue(type));
        if (depth_ == 1 && installationKey_ == static_cast<int>(kInstallationKeys.size()) - 1 &&
            type == JsonValue::value_t::array) {
            applications.clear();
            inApplications_ = true;
        }
        if (depth_ == 2) applicationKey_ = -1;
        ++depth_;
        return true;
    }

    bool end() {
        --depth_;
        if (depth_ == 1) inApplications_ = false;
        return true;
    }

    int depth_ = 0;
    JsonValue::value_t type_ = JsonValue::value_t::discarded;
    int installationKey_ = -1;
    int applicationKey_ = -1;
    bool inApplications_ = false;
    std::size_t wrongByte_ = 0;
};

std::string expected(const std::string& where, const char* name, const std::string& what, const JsonValue* value) {
    return where + "expected \"" + name + "\" to be " + what + ", found " + found(value);
}

// The value of `name`, one of the `names` given by `nameOf` in the spelling of format 3
// or of format 2, as its index; none when it is none of them.
template <typename Enum, std::size_t N>
std::optional<Enum> named(const JsonValue* value, const std::array<Enum, N>& values, std::string_view (*nameOf)(Enum)) {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    const std::string& text = value->get_ref<const std::string&>();
    for (const Enum candidate : values)
        if (nameOf(candidate) == text || formatTwoSpelling(nameOf(candidate)) == text) return candidate;
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

// The catalogue's index of the application whose file a line names; the catalogue's
// size when it names none.
std::size_t catalogueIndex(const JsonValue* file) {
    if (file == nullptr || !file->is_string()) return kApplicationCount;
    const std::string& name = file->get_ref<const std::string&>();
    const auto at = std::find_if(std::begin(kApplicationCatalogue), std::end(kApplicationCatalogue),
                                 [&name](const ApplicationEntry& catalogued) { return name == catalogued.fileName; });
    return static_cast<std::size_t>(at - std::begin(kApplicationCatalogue));
}

enum class LineRead { Line, End, TooLong, Failed };

// The next line of `text`, without its '\n', held in `buffer`: a line longer than
// `capacity` - 2 bytes is TooLong, read no further than that.
LineRead nextLine(std::istream& text, char* buffer, std::size_t capacity, std::string_view& line) {
    text.getline(buffer, static_cast<std::streamsize>(capacity));
    const auto count = static_cast<std::size_t>(text.gcount());
    if (text.bad()) return LineRead::Failed;
    if (count == 0) return LineRead::End;
    // The line ended at its '\n', which was read and not kept, or at the end of the text
    // or of the buffer.
    const std::size_t kept = text.eof() || text.fail() ? count : count - 1;
    line = std::string_view(buffer, kept);
    return kept > capacity - 2 ? LineRead::TooLong : LineRead::Line;
}

}  // namespace

std::string Baseline::keyOf(std::string_view machine, const std::string& path) {
    // Machine names are the same in any case; paths are compared as spelled, and as every
    // output shows them, which a baseline written before names were shown so holds raw.
    return lowerAscii(shownSafely(machine)) + '\n' + installationKey(shownSafely(path));
}

std::optional<Baseline> Baseline::read(const std::string& path, std::string& problem) {
    // A FIFO or a device may never end: refused unread, as inputs are.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(pathFromUtf8(path), error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        problem = "not a file";
        return std::nullopt;
    }
    errno = 0;
    std::ifstream file(pathFromUtf8(path), std::ios::binary);
    if (!file) {
        problem = reasonOfErrno(errno, "cannot be opened");
        return std::nullopt;
    }
    // Text in UTF-16, as Windows PowerShell 5.1 saves it: read whole and converted.
    std::array<char, 2> mark{};
    file.read(mark.data(), mark.size());
    const std::string_view start(mark.data(), static_cast<std::size_t>(file.gcount()));
    if (savedEncoding(start) == SavedEncoding::Utf16Le || savedEncoding(start) == SavedEncoding::Utf16Be) {
        std::string bytes;
        if (!readWholeFile(path, kLargestBaseline, bytes, problem)) return std::nullopt;
        return parse(bytes, problem);
    }
    file.clear();
    file.seekg(0);
    return readLines(file, problem);
}

std::optional<Baseline> Baseline::parse(std::string_view bytes, std::string& problem) {
    const SavedEncoding encoding = savedEncoding(bytes);
    if (encoding == SavedEncoding::Utf16Le || encoding == SavedEncoding::Utf16Be) {
        std::istringstream text(savedText(bytes, problem));
        if (!problem.empty()) {
            problem = "line 1: expected " + problem;
            return std::nullopt;
        }
        return readLines(text, problem);
    }
    std::istringstream text{std::string(bytes)};
    return readLines(text, problem);
}

std::optional<Baseline> Baseline::readLines(std::istream& text, std::string& problem) {
    // A line at a time: a baseline of thousands of installations is never held whole.
    const std::size_t capacity = kLargestBaselineLine + 2;
    const auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    Baseline baseline;
    std::size_t total = 0;
    int number = 0;
    std::string_view line;
    for (LineRead got; (got = nextLine(text, buffer.get(), capacity, line)) != LineRead::End;) {
        ++number;
        if (got == LineRead::Failed) {
            problem = "read error";
            return std::nullopt;
        }
        total += line.size() + 1;
        if (total > kLargestBaseline) {
            problem = "larger than " + std::to_string(kLargestBaseline >> 20) + " MiB";
            return std::nullopt;
        }
        if (got == LineRead::TooLong) {
            problem = "line " + std::to_string(number) + ": expected " + kWhatALineIs + ", found a line longer than " +
                      std::to_string(kLargestBaselineLine >> 20) + " MiB";
            return std::nullopt;
        }
        if (number == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        if (!baseline.addLine(line, number, problem)) {
            problem = "line " + std::to_string(number) + ": " + problem;
            return std::nullopt;
        }
    }
    if (!baseline.complete(number, problem)) return std::nullopt;
    return baseline;
}

bool Baseline::complete(int lines, std::string& problem) const {
    if (lines > 0 && (!installations_.empty() || !scanTime_.empty())) return true;
    problem = "line " + std::to_string(std::max(lines, 1)) + ": expected " + kWhatALineIs + ", found no installation";
    return false;
}

bool Baseline::addLine(std::string_view line, int number, std::string& problem) {
    LineFields reader;
    reader.applications.reserve(kApplicationCount);
    std::size_t wrongByte = 0;
    if (!reader.read(line, wrongByte)) {
        problem = std::string("expected ") + kWhatALineIs + ", found text that is not JSON (at byte " +
                  std::to_string(wrongByte) + ")";
        return false;
    }
    if (reader.type() != JsonValue::value_t::object) {
        problem = std::string("expected ") + kWhatALineIs + ", found " + typeOf(reader.type());
        return false;
    }
    const auto& object = reader.installation;
    const JsonValue* installation = object["installation"];
    if (installation == nullptr || !installation->is_string()) {
        problem = expected("", "installation", "the path as a string", installation);
        return false;
    }
    const JsonValue* time = object["scan_time"];
    if (time != nullptr && time->is_string() && scanTime_.empty()) scanTime_ = time->get<std::string>();
    // A line of an earlier comparison for an installation that was gone then: not in
    // that scan, so not in this baseline.
    const JsonValue* change = object["change"];
    if (change != nullptr && change->is_string() && change->get_ref<const std::string&>() == "gone") return true;

    Installation entry;
    entry.path = installation->get<std::string>();
    entry.line = number;
    // Scans before machines were recorded have no "machine": none was named.
    if (const JsonValue* machine = object["machine"]; machine != nullptr && !machine->is_null()) {
        if (!machine->is_string()) {
            problem = expected("", "machine", "a string", machine);
            return false;
        }
        entry.machine = machine->get<std::string>();
    }
    const JsonValue* source = object["source"];
    const std::optional<Source> sourceValue = named(source, kSources, sourceName);
    if (!sourceValue) {
        problem = expected("", "source", oneOf(kSources, sourceName), source);
        return false;
    }
    entry.source = *sourceValue;
    const JsonValue* status = object["status"];
    const std::optional<Status> statusValue = named(status, kStatuses, statusName);
    if (!statusValue) {
        problem = expected("", "status", oneOf(kStatuses, statusName), status);
        return false;
    }
    entry.status = *statusValue;
    if (entry.status == Status::Error) {
        const JsonValue* error = object["error"];
        if (error == nullptr || !error->is_string()) {
            problem = expected("", "error", "the reason as a string", error);
            return false;
        }
        entry.error = error->get<std::string>();
    }
    // A scan held to a reference build where every block had to be verified: a block
    // not verified was a finding in it.
    const JsonValue* referenceRequired = object["reference_required"];
    const bool required = referenceRequired != nullptr && referenceRequired->is_boolean() && referenceRequired->get<bool>();
    const JsonValue* applications = object["applications"];
    if (applications == nullptr || !applications->is_array()) {
        problem = expected("", "applications", "an array", applications);
        return false;
    }
    for (std::size_t i = 0; i < reader.applications.size(); ++i) {
        const Element& element = reader.applications[i];
        const auto where = [i] { return "applications[" + std::to_string(i) + "]: "; };
        if (element.type != JsonValue::value_t::object) {
            problem = where() + "expected an object, found " + typeOf(element.type);
            return false;
        }
        const auto& application = element.fields;
        const JsonValue* file = application["file"];
        const std::size_t position = catalogueIndex(file);
        if (position == kApplicationCount) {
            problem = expected(where(), "file", "the file name of a catalogue application", file);
            return false;
        }
        Application& known = entry.applications[position];
        if (known.known) {
            problem = where() + "expected each application once, found " + file->dump() + " again";
            return false;
        }
        known.known = true;
        const JsonValue* state = application["state"];
        const std::optional<ApplicationState> stateValue = named(state, kStates, stateName);
        if (!stateValue) {
            problem = expected(where(), "state", oneOf(kStates, stateName), state);
            return false;
        }
        known.state = *stateValue;
        if (known.state == ApplicationState::Block) {
            const JsonValue* tag = application["tag"];
            if (tag == nullptr || !tag->is_string()) {
                problem = expected(where(), "tag", "the version tag as a string", tag);
                return false;
            }
            known.tag = tag->get<std::string>();
            const JsonValue* size = application["size"];
            if (size == nullptr || !size->is_number_integer()) {
                problem = expected(where(), "size", "the size in bytes as a whole number", size);
                return false;
            }
            known.size = size->get<std::int64_t>();
            const JsonValue* verdict = application["verdict"];
            const std::optional<VerdictKind> verdictValue = named(verdict, kVerdictKinds, verdictName);
            if (!verdictValue) {
                problem = expected(where(), "verdict", oneOf(kVerdictKinds, verdictName), verdict);
                return false;
            }
            known.verdict = *verdictValue;
        }
        ApplicationRecord record;
        record.state = known.state;
        record.verdict = known.verdict;
        // Held to a reference build, a block whose bytes it found wanting is a finding.
        if (const JsonValue* reference = application["reference"]; reference != nullptr && !reference->is_null()) {
            const std::optional<ReferenceState> state = named(reference, kReferenceStates, referenceStateName);
            if (!state) {
                problem = expected(where(), "reference", oneOf(kReferenceStates, referenceStateName), reference);
                return false;
            }
            record.referenceFinding = isReferenceFinding(*state, required);
        }
        // A rule of the rollout broken in the baseline's scan is a finding as well.
        const JsonValue* policy = application["policy"];
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
              shownSafely(before->error) != shownSafely(record.error);
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
