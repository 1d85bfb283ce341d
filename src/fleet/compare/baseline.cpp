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

// The fields a line is read for; any other is passed over unkept. An end line has
// "format", "end", "scan_time", "installations" and "findings_only".
constexpr std::array<std::string_view, 18> kInstallationKeys{
    "installation", "machine", "source",    "status",      "error",         "change",
    "scan_time",    "applications", "format", "end",        "findings_only", "not_found",
    "damaged",      "mixed",        "checker_out_of_date", "last_seen",   "installations", "reference_required"};
constexpr std::array<std::string_view, 8> kLastSeenKeys{"scan_time", "source", "status", "not_found",
                                                        "damaged",   "mixed",  "checker_out_of_date", "applications"};
constexpr std::array<std::string_view, 7> kApplicationKeys{"file",    "state",  "tag",      "size",
                                                           "verdict", "policy", "reference"};

// The kept fields of an object: a scalar as it is, an object or an array as an empty
// one of its type.
}  // namespace

// The kept fields of a line, named rather than in the file's unnamed namespace: the
// line reader of the header holds them.
namespace baseline_line {

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

}  // namespace baseline_line

using baseline_line::Element;
using baseline_line::Fields;

// One line as its parser's events, keeping only the fields a baseline is read for: no
// document of every field is built, and a line's memory is that of its compared fields.
struct Baseline::LineFields final : public nlohmann::json_sax<JsonValue> {
    // False, and the byte where the text stops being JSON, when it is not JSON.
    bool read(std::string_view line, std::size_t& wrongByte) {
        const bool json = JsonValue::sax_parse(line.begin(), line.end(), this);
        wrongByte = wrongByte_;
        return json;
    }

    JsonValue::value_t type() const { return type_; }

    Fields<kInstallationKeys.size()> installation{&kInstallationKeys};
    Fields<kLastSeenKeys.size()> lastSeen{&kLastSeenKeys};
    std::vector<Element> applications;
    std::vector<Element> lastApplications;

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
        if (ignored_ > 0) return true;
        switch (context()) {
            case Context::Installation: key_ = installation.indexOf(key); break;
            case Context::LastSeen: key_ = lastSeen.indexOf(key); break;
            case Context::Application: key_ = applications.back().fields.indexOf(key); break;
            case Context::LastApplication: key_ = lastApplications.back().fields.indexOf(key); break;
            default: break;
        }
        return true;
    }
    bool parse_error(std::size_t position, const std::string& /*token*/,
                     const nlohmann::detail::exception& /*error*/) override {
        wrongByte_ = position;
        return false;
    }

private:
    // Where the parser is among the kept fields: a value anywhere else is passed over.
    enum class Context { Line, Installation, Applications, Application, LastSeen, LastApplications, LastApplication };
    static constexpr int kApplicationsKey = 7;   // in kInstallationKeys
    static constexpr int kLastSeenKey = 15;      // in kInstallationKeys
    static constexpr int kLastApplicationsKey = 7;  // in kLastSeenKeys

    Context context() const { return contexts_[depth_]; }

    // Whether a value here is one of the kept fields.
    bool kept() const {
        if (ignored_ > 0) return false;
        switch (context()) {
            case Context::Line:
            case Context::Applications:
            case Context::LastApplications: return true;
            default: return key_ >= 0;
        }
    }

    bool value(JsonValue value) {
        if (!kept()) return true;
        const auto at = static_cast<std::size_t>(key_);
        switch (context()) {
            case Context::Line: type_ = value.type(); break;
            case Context::Installation: installation.values[at] = std::move(value); break;
            case Context::LastSeen: lastSeen.values[at] = std::move(value); break;
            case Context::Applications: applications.push_back({value.type()}); break;
            case Context::LastApplications: lastApplications.push_back({value.type()}); break;
            case Context::Application: applications.back().fields.values[at] = std::move(value); break;
            case Context::LastApplication: lastApplications.back().fields.values[at] = std::move(value); break;
        }
        return true;
    }

    bool start(JsonValue::value_t type) {
        if (ignored_ > 0) {
            ++ignored_;
            return true;
        }
        const bool object = type == JsonValue::value_t::object;
        const Context here = context();
        std::optional<Context> inside;
        if (here == Context::Line && object) inside = Context::Installation;
        else if (here == Context::Installation && key_ == kApplicationsKey && !object) inside = Context::Applications;
        else if (here == Context::Installation && key_ == kLastSeenKey && object) inside = Context::LastSeen;
        else if (here == Context::LastSeen && key_ == kLastApplicationsKey && !object) inside = Context::LastApplications;
        else if (here == Context::Applications && object) inside = Context::Application;
        else if (here == Context::LastApplications && object) inside = Context::LastApplication;
        // An empty object or array is memory of its own: made only for a kept field.
        if (kept()) value(JsonValue(type));
        if (!inside) {
            ignored_ = 1;
            return true;
        }
        if (*inside == Context::Applications) applications.clear();
        if (*inside == Context::LastApplications) lastApplications.clear();
        if (depth_ + 1 == static_cast<int>(contexts_.size())) return false;
        contexts_[++depth_] = *inside;
        key_ = -1;
        return true;
    }

    bool end() {
        if (ignored_ > 0) --ignored_;
        else if (depth_ > 0) --depth_;
        key_ = -1;
        return true;
    }

    std::array<Context, 6> contexts_{Context::Line};
    int depth_ = 0;
    int ignored_ = 0;  // depth inside a value passed over
    JsonValue::value_t type_ = JsonValue::value_t::discarded;
    int key_ = -1;     // of the object the parser is in: its kept field whose value comes next
    std::size_t wrongByte_ = 0;
};

namespace {

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

// Sets `into` to the value of the field `name` (at `where`), one of `values`; false,
// and `problem` set, when it is none of them.
template <typename Enum, std::size_t N>
bool namedField(const JsonValue* value, const std::string& where, const char* name, const std::array<Enum, N>& values,
                std::string_view (*nameOf)(Enum), Enum& into, std::string& problem) {
    const std::optional<Enum> known = named(value, values, nameOf);
    if (!known) {
        problem = expected(where, name, oneOf(values, nameOf), value);
        return false;
    }
    into = *known;
    return true;
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

// "line N: ", which begins what is said of a line.
std::string lineNamed(int number) {
    std::string text = "line ";
    text += std::to_string(number);
    text += ": ";
    return text;
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
        if (!readWholeFile(path, kLargestUtf16Baseline, bytes, problem)) return std::nullopt;
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
    // A line at a time: a baseline of thousands of installations is never held whole,
    // only what is compared of each.
    const std::size_t capacity = kLargestBaselineLine + 2;
    const auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    Baseline baseline;
    int number = 0;
    std::string_view line;
    for (LineRead got; (got = nextLine(text, buffer.get(), capacity, line)) != LineRead::End;) {
        ++number;
        if (got == LineRead::Failed) {
            problem = "read error";
            return std::nullopt;
        }
        if (got == LineRead::TooLong) {
            problem = lineNamed(number);
            problem += "expected ";
            problem += kWhatALineIs;
            problem += ", found a line longer than " + std::to_string(kLargestBaselineLine >> 20) + " MiB";
            return std::nullopt;
        }
        if (number == 1 && savedEncoding(line) == SavedEncoding::Utf8) line.remove_prefix(3);
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        if (!baseline.addLine(line, number, problem)) {
            problem.insert(0, lineNamed(number));
            return std::nullopt;
        }
    }
    if (!baseline.complete(number, problem)) return std::nullopt;
    return baseline;
}

bool Baseline::complete(int lines, std::string& problem) const {
    if (format_ >= kStateRecordFormat && endLine_ == 0) {
        problem = "cut short: no end line after line " + std::to_string(lines) + ", which a whole scan of format " +
                  std::to_string(format_) + " ends with";
        return false;
    }
    if (endLine_ > 0 && endCount_ != records_) {
        problem = "cut short: its end line counts " + std::to_string(endCount_) + " installations, " +
                  std::to_string(records_) + " came before it";
        return false;
    }
    if (lines > 0 && (!installations_.empty() || !scanTime_.empty())) return true;
    problem = "line " + std::to_string(std::max(lines, 1)) + ": expected " + kWhatALineIs + ", found no installation";
    return false;
}

std::uint32_t Baseline::buildOf(const Build& build) {
    buildKey_.clear();
    buildKey_ += static_cast<char>(build.state);
    buildKey_ += static_cast<char>(build.verdict);
    buildKey_ += static_cast<char>(build.policy ? static_cast<int>(*build.policy) + 1 : 0);
    buildKey_ += build.finding ? '1' : '0';
    buildKey_ += std::to_string(build.size);
    buildKey_ += '\n';
    buildKey_ += build.tag;
    const auto [at, added] = buildIndex_.try_emplace(buildKey_, static_cast<std::uint32_t>(builds_.size()));
    if (added) builds_.push_back(build);
    return at->second;
}

std::uint32_t Baseline::textOf(const std::string& text) {
    const auto [at, added] = textIndex_.try_emplace(text, static_cast<std::uint32_t>(texts_.size()));
    if (added) texts_.push_back(text);
    return at->second;
}

bool Baseline::addApplications(const LineFields& fields, bool lastSeen, bool required, Installation& entry,
                               std::string& problem) {
    const std::vector<Element>& elements = lastSeen ? fields.lastApplications : fields.applications;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const Element& element = elements[i];
        const auto where = [i, lastSeen] {
            return std::string(lastSeen ? "last_seen." : "") + "applications[" + std::to_string(i) + "]: ";
        };
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
        std::uint32_t& known = entry.builds[position];
        if (known != kUnknown) {
            problem = where() + "expected each application once, found " + file->dump() + " again";
            return false;
        }
        Build build;
        if (!namedField(application["state"], where(), "state", kStates, stateName, build.state, problem)) return false;
        if (build.state == ApplicationState::Block) {
            const JsonValue* tag = application["tag"];
            if (tag == nullptr || !tag->is_string()) {
                problem = expected(where(), "tag", "the version tag as a string", tag);
                return false;
            }
            build.tag = tag->get<std::string>();
            const JsonValue* size = application["size"];
            if (size == nullptr || !size->is_number_integer()) {
                problem = expected(where(), "size", "the size in bytes as a whole number", size);
                return false;
            }
            build.size = size->get<std::int64_t>();
            if (!namedField(application["verdict"], where(), "verdict", kVerdictKinds, verdictName, build.verdict,
                            problem))
                return false;
        }
        ApplicationRecord record;
        record.state = build.state;
        record.verdict = build.verdict;
        // Held to a reference build, a block whose bytes it found wanting is a finding.
        if (const JsonValue* reference = application["reference"]; reference != nullptr && !reference->is_null()) {
            const std::optional<ReferenceState> held = named(reference, kReferenceStates, referenceStateName);
            if (!held) {
                problem = expected(where(), "reference", oneOf(kReferenceStates, referenceStateName), reference);
                return false;
            }
            record.referenceFinding = isReferenceFinding(*held, required);
        }
        // A rule of the rollout broken in the baseline's scan is a finding as well.
        const JsonValue* policy = application["policy"];
        build.policy = named(policy, kPolicyRules, policyRuleName);
        build.finding = isFinding(record) || (policy != nullptr && policy->is_string());
        known = buildOf(build);
    }
    return true;
}

namespace {

// A count of applications where one may be given ("not_found", "damaged"): none is 0.
bool applicationCount(const JsonValue* value, const char* name, std::uint8_t& count, std::string& problem) {
    if (value == nullptr || value->is_null()) return true;
    if (!value->is_number_integer() || value->get<std::int64_t>() < 0 ||
        value->get<std::int64_t>() > kApplicationCount) {
        problem = expected("", name, "a count of applications", value);
        return false;
    }
    count = static_cast<std::uint8_t>(value->get<std::int64_t>());
    return true;
}

bool flag(const JsonValue* value, const char* name, bool& set, std::string& problem) {
    if (value == nullptr || value->is_null()) return true;
    if (!value->is_boolean()) {
        problem = expected("", name, "true or false", value);
        return false;
    }
    set = value->get<bool>();
    return true;
}

// The fields an installation that answered is carried forward with, of its line or of
// what its error line last saw.
template <typename Object, typename Entry>
bool answered(const Object& object, Entry& entry, std::string& problem) {
    return applicationCount(object["not_found"], "not_found", entry.notFound, problem) &&
           applicationCount(object["damaged"], "damaged", entry.damaged, problem) &&
           flag(object["mixed"], "mixed", entry.mixed, problem) &&
           flag(object["checker_out_of_date"], "checker_out_of_date", entry.checkerOutOfDate, problem);
}

}  // namespace

bool Baseline::addLine(std::string_view line, int number, std::string& problem) {
    if (endLine_ > 0) {
        problem = "expected nothing after the end line of line " + std::to_string(endLine_) + ", found more";
        return false;
    }
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
    // Lines without "format" are of the first layout; every line of a scan has the same.
    const JsonValue* format = object["format"];
    int lineFormat = 1;
    if (format != nullptr) {
        const bool known = format->is_number_integer() && format->get<std::int64_t>() >= 2 &&
                           format->get<std::int64_t>() <= kStateRecordFormat;
        if (!known) {
            problem = expected("", "format", "2, 3 or 4, a layout this vudfleet reads", format);
            return false;
        }
        lineFormat = static_cast<int>(format->get<std::int64_t>());
    }
    if (format_ != 0 && lineFormat != format_) {
        problem = expected("", "format", std::to_string(format_) + ", as on the lines before", format);
        return false;
    }
    format_ = lineFormat;
    const JsonValue* time = object["scan_time"];
    if (time != nullptr && time->is_string() && scanTime_.empty()) scanTime_ = time->get<std::string>();
    const JsonValue* findingsOnly = object["findings_only"];
    if (findingsOnly != nullptr && findingsOnly->is_boolean() && findingsOnly->get<bool>()) {
        problem = "written by --findings, not a whole scan of the fleet";
        return false;
    }
    if (const JsonValue* end = object["end"]; end != nullptr && end->is_boolean() && end->get<bool>()) {
        const JsonValue* count = object["installations"];
        if (count == nullptr || !count->is_number_integer() || count->get<std::int64_t>() < 0) {
            problem = expected("", "installations", "the count of installations before the end line", count);
            return false;
        }
        if (lineFormat < kStateRecordFormat) {
            problem = expected("", "format", std::to_string(kStateRecordFormat) + " in an end line", format);
            return false;
        }
        endLine_ = number;
        endCount_ = count->get<std::int64_t>();
        return true;
    }
    const JsonValue* installation = object["installation"];
    if (installation == nullptr || !installation->is_string()) {
        problem = expected("", "installation", "the path as a string", installation);
        return false;
    }
    ++records_;
    // A line of an earlier comparison for an installation that was gone then: not in
    // that scan, so not in this baseline.
    const JsonValue* change = object["change"];
    if (change != nullptr && change->is_string() && change->get_ref<const std::string&>() == "gone") return true;

    Installation entry;
    entry.builds.fill(kUnknown);
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
    if (!namedField(object["source"], "", "source", kSources, sourceName, entry.source, problem) ||
        !namedField(object["status"], "", "status", kStatuses, statusName, entry.status, problem))
        return false;
    if (entry.status == Status::Error) {
        const JsonValue* error = object["error"];
        if (error == nullptr || !error->is_string()) {
            problem = expected("", "error", "the reason as a string", error);
            return false;
        }
        entry.error = textOf(error->get<std::string>());
    } else {
        entry.seenSource = entry.source;
        entry.seenStatus = entry.status;
        if (time != nullptr && time->is_string()) entry.seenTime = textOf(time->get<std::string>());
        if (!answered(object, entry, problem)) return false;
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
    if (!addApplications(reader, false, required, entry, problem)) return false;
    // An error that carries what was last seen of the installation: that is what it is
    // compared with when it answers.
    if (const JsonValue* lastSeen = object["last_seen"];
        entry.status == Status::Error && lastSeen != nullptr && !lastSeen->is_null()) {
        if (!lastSeen->is_object()) {
            problem = expected("", "last_seen", "an object", lastSeen);
            return false;
        }
        const auto& seen = reader.lastSeen;
        const JsonValue* seenTime = seen["scan_time"];
        if (seenTime == nullptr || !seenTime->is_string()) {
            problem = expected("last_seen: ", "scan_time", "a time as a string", seenTime);
            return false;
        }
        constexpr std::array<Status, 2> kAnswered{Status::Ok, Status::Findings};
        if (!namedField(seen["source"], "last_seen: ", "source", kSources, sourceName, entry.seenSource, problem) ||
            !namedField(seen["status"], "last_seen: ", "status", kAnswered, statusName, entry.seenStatus, problem))
            return false;
        const JsonValue* seenApplications = seen["applications"];
        if (seenApplications == nullptr || !seenApplications->is_array()) {
            problem = expected("last_seen: ", "applications", "an array", seenApplications);
            return false;
        }
        if (!answered(seen, entry, problem)) {
            problem = "last_seen: " + problem;
            return false;
        }
        entry.seenTime = textOf(seenTime->get<std::string>());
        if (!addApplications(reader, true, required, entry, problem)) return false;
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

LastSeen Baseline::lastSeenOf(const Installation& installation) const {
    LastSeen lastSeen;
    lastSeen.scanTime = texts_[installation.seenTime];
    lastSeen.source = installation.seenSource;
    lastSeen.status = installation.seenStatus;
    lastSeen.notFound = installation.notFound;
    lastSeen.damaged = installation.damaged;
    lastSeen.mixed = installation.mixed;
    lastSeen.checkerOutOfDate = installation.checkerOutOfDate;
    for (int position = 0; position < kApplicationCount; ++position) {
        const std::uint32_t known = installation.builds[static_cast<std::size_t>(position)];
        if (known == kUnknown) continue;
        const Build& build = builds_[known];
        ApplicationRecord application = catalogueApplication(position, build.state);
        if (build.state == ApplicationState::Block) {
            application.tag = build.tag;
            application.size = build.size;
            application.verdict = build.verdict;
        }
        application.policy = build.policy;
        lastSeen.applications.push_back(std::move(application));
    }
    return lastSeen;
}

void Baseline::compare(InstallationRecord& record) {
    const auto at = index_.find(keyOf(record.machine, record.installation));
    static const Installation kNone = [] {
        Installation none;
        none.builds.fill(kUnknown);
        return none;
    }();
    const Installation* before = at == index_.end() ? &kNone : &installations_[at->second];
    bool changed = false;
    for (ApplicationRecord& application : record.applications) {
        const bool finding = isFinding(application) || application.policy.has_value();
        const bool inCatalogue = application.position >= 0 && application.position < kApplicationCount;
        const std::uint32_t known =
            inCatalogue ? before->builds[static_cast<std::size_t>(application.position)] : kUnknown;
        if (known == kUnknown) {
            // Nothing to compare with: an installation added, or one never seen to answer.
            application.change = finding ? ApplicationChange::NewFinding : ApplicationChange::Unchanged;
        } else if (const Build& was = builds_[known]; was.finding != finding) {
            application.change = finding ? ApplicationChange::NewFinding : ApplicationChange::Fixed;
        } else {
            const bool block = application.state == ApplicationState::Block;
            const bool same = (was.state == ApplicationState::Block) == block &&
                              (!block || (was.tag == application.tag && was.size == application.size &&
                                          was.verdict == application.verdict));
            application.change = same ? ApplicationChange::Unchanged : ApplicationChange::Changed;
        }
        changed = changed || application.change != ApplicationChange::Unchanged;
    }
    if (at == index_.end()) {
        record.change = InstallationChange::Added;
        return;
    }
    installations_[at->second].seen = true;
    const std::string& error = before->status == Status::Error ? texts_[before->error] : std::string();
    record.previous = PreviousScan{before->source, before->status, error};
    if (record.status == Status::Error && before->seenTime != kUnknown) record.lastSeen = lastSeenOf(*before);
    changed = changed || before->status != record.status || before->source != record.source ||
              shownSafely(error) != shownSafely(record.error);
    record.change = changed ? InstallationChange::Changed : InstallationChange::Unchanged;
}

void Baseline::forEachGone(const std::function<void(const InstallationRecord&)>& take) const {
    for (const Installation& installation : installations_) {
        if (installation.seen) continue;
        InstallationRecord record;
        record.installation = installation.path;
        record.machine = installation.machine;
        record.source = installation.source;
        const std::string& error = installation.status == Status::Error ? texts_[installation.error] : std::string();
        record.previous = PreviousScan{installation.source, installation.status, error};
        if (installation.seenTime != kUnknown) record.lastSeen = lastSeenOf(installation);
        record.change = InstallationChange::Gone;
        take(record);
    }
}

}  // namespace vud::fleet
