#include "fleet/compare/baseline.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "fleet/input/inputs.h"
#include "fleet/input/installation_names.h"
#include "fleet/input/report_parser.h"
#include "fleet/run/runner.h"
#include "text/utf8.h"

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

// The fields a line is read for; any other is passed over unkept.
constexpr std::array<std::string_view, 8> kInstallationKeys{"installation", "machine",   "source", "status",
                                                            "error",        "change",    "scan_time",
                                                            "applications"};
constexpr std::array<std::string_view, 6> kApplicationKeys{"file", "state", "tag", "size", "verdict", "policy"};

// The kept fields of an object: a scalar as it is, an object or an array as an empty
// one of its type.
template <std::size_t N>
struct Fields {
    const std::array<std::string_view, N>* keys;
    std::array<std::optional<Json>, N> values;

    int indexOf(std::string_view key) const {
        // The first characters first: keys of a line that are not kept are as many, and
        // many of the same length.
        const auto at = std::find_if(keys->begin(), keys->end(), [key](std::string_view kept) {
            return !key.empty() && kept.front() == key.front() && kept == key;
        });
        return at == keys->end() ? -1 : static_cast<int>(at - keys->begin());
    }
};

template <std::size_t N>
const Json* field(const Fields<N>& object, std::string_view name) {
    const int index = object.indexOf(name);
    return index < 0 || !object.values[static_cast<std::size_t>(index)] ? nullptr
                                                                       : &*object.values[static_cast<std::size_t>(index)];
}

struct Element {
    Json::value_t type = Json::value_t::null;
    Fields<kApplicationKeys.size()> fields{&kApplicationKeys, {}};
};

}  // namespace

// One line read as its parser's events, keeping only the fields a baseline is read
// for: no document of every field is built, which costs some three times the reading.
class LineFields final : public nlohmann::json_sax<Json> {
public:
    // False, and the byte where the text stops being JSON, when it is not JSON.
    bool read(std::string_view line, std::size_t& wrongByte);

    // Back to before the first event of a line.
    void reset() {
        depth_ = 0;
        type_ = Json::value_t::discarded;
        installation.values = {};
        applications.clear();
        inApplications_ = false;
    }

    Json::value_t type() const { return type_; }

    Fields<kInstallationKeys.size()> installation{&kInstallationKeys, {}};
    std::vector<Element> applications;

    bool null() override { return value(Json()); }
    bool boolean(bool value) override { return this->value(Json(value)); }
    bool number_integer(number_integer_t value) override { return this->value(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return this->value(Json(value)); }
    bool number_float(number_float_t value, const string_t& /*text*/) override { return this->value(Json(value)); }
    bool string(string_t& value) override { return kept() ? this->value(Json(std::move(value))) : true; }
    bool binary(binary_t& /*value*/) override { return true; }
    bool start_object(std::size_t /*elements*/) override { return start(Json::value_t::object); }
    bool start_array(std::size_t /*elements*/) override { return start(Json::value_t::array); }
    bool end_object() override { return end(); }
    bool end_array() override { return end(); }
    bool key(string_t& key) override {
        keyText(key);
        return true;
    }
    void keyText(std::string_view key) {
        if (depth_ == 1) installationKey_ = installation.indexOf(key);
        else if (depth_ == 3 && inApplications_) applicationKey_ = applications.back().fields.indexOf(key);
    }
    bool parse_error(std::size_t position, const std::string& /*token*/, const nlohmann::detail::exception& /*error*/) override {
        wrongByte_ = position;
        return false;
    }

    // Whether a value here is one of the kept fields.
    bool kept() const {
        return depth_ == 0 || (depth_ == 1 && installationKey_ >= 0) || (depth_ == 2 && inApplications_) ||
               (depth_ == 3 && inApplications_ && applicationKey_ >= 0 &&
                applications.back().type == Json::value_t::object);
    }

private:
    bool value(Json value) {
        if (!kept()) return true;
        if (depth_ == 0) type_ = value.type();
        else if (depth_ == 1) installation.values[static_cast<std::size_t>(installationKey_)] = std::move(value);
        else if (depth_ == 2) applications.push_back({value.type(), {&kApplicationKeys, {}}});
        else applications.back().fields.values[static_cast<std::size_t>(applicationKey_)] = std::move(value);
        return true;
    }

    bool start(Json::value_t type) {
        value(Json(type));
        if (depth_ == 1 && installationKey_ == static_cast<int>(kInstallationKeys.size()) - 1 &&
            type == Json::value_t::array) {
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
    Json::value_t type_ = Json::value_t::discarded;
    int installationKey_ = -1;
    int applicationKey_ = -1;
    bool inApplications_ = false;
    std::size_t wrongByte_ = 0;
};

namespace {

// A line as vudfleet writes it, read straight from its bytes into the events the JSON
// parser gives, with the text of a field not kept passed over unbuilt. The parser builds
// every string a byte at a time and keeps each byte for its messages: read so, the
// baseline of a thousand installations cost a quarter of their scan. Whatever this reader
// is not sure of (an escaped code point, a number to convert, deep nesting, text that is
// not JSON) it leaves to the parser, which reads the line again from its start and words
// the refusal, so that the same lines are taken and refused, with the same message.
class PlainLine {
public:
    PlainLine(std::string_view line, LineFields& reader)
        : at_(line.data()), end_(line.data() + line.size()), reader_(reader) {}

    // True when the line was read whole; false when the parser is to read it.
    bool read() {
        space();
        if (at_ == end_ || *at_ != '{') return false;
        std::array<char, kDeepest> closers{};
        std::size_t depth = 0;
        while (true) {
            if (at_ == end_) return false;
            const char opening = *at_;
            if (opening == '{' || opening == '[') {
                if (depth == closers.size()) return false;
                ++at_;
                closers[depth++] = opening == '{' ? '}' : ']';
                if (opening == '{') reader_.start_object(kUnknownSize);
                else reader_.start_array(kUnknownSize);
                space();
                if (at_ == end_ || *at_ != closers[depth - 1]) {
                    if (opening == '{' && !key()) return false;
                    continue;  // its first value
                }
            } else if (!scalar()) {
                return false;
            }
            // After a value: the next one, or the end of what holds it.
            while (true) {
                space();
                if (depth == 0) return at_ == end_;
                if (at_ == end_) return false;
                if (*at_ == ',') {
                    ++at_;
                    space();
                    if (closers[depth - 1] == '}' && !key()) return false;
                    break;
                }
                if (*at_ != closers[depth - 1]) return false;
                ++at_;
                if (closers[--depth] == '}') reader_.end_object();
                else reader_.end_array();
            }
        }
    }

private:
    // A line of an installation nests three deep.
    static constexpr std::size_t kDeepest = 16;
    static constexpr std::size_t kUnknownSize = static_cast<std::size_t>(-1);

    // The bytes a string holds as they are: ASCII, neither a control character nor the
    // quote or backslash.
    static constexpr std::array<bool, 256> kAsIs = [] {
        std::array<bool, 256> asIs{};
        for (std::size_t byte = 0x20; byte < 0x80; ++byte) asIs[byte] = byte != '"' && byte != '\\';
        return asIs;
    }();

    static bool digit(char c) { return c >= '0' && c <= '9'; }

    void space() {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\n' || *at_ == '\r')) ++at_;
    }

    bool digits() {
        if (at_ == end_ || !digit(*at_)) return false;
        while (at_ != end_ && digit(*at_)) ++at_;
        return true;
    }

    bool key() {
        if (at_ == end_ || *at_ != '"') return false;
        ++at_;
        std::string_view text;
        if (!string(text, true)) return false;
        reader_.keyText(text);
        space();
        if (at_ == end_ || *at_ != ':') return false;
        ++at_;
        space();
        return true;
    }

    bool scalar() {
        const bool kept = reader_.kept();
        switch (*at_) {
            case '"': {
                ++at_;
                std::string_view text;
                if (!string(text, kept)) return false;
                if (!kept) return true;
                std::string value(text);
                return reader_.string(value);
            }
            case 't': return word("true") && (!kept || reader_.boolean(true));
            case 'f': return word("false") && (!kept || reader_.boolean(false));
            case 'n': return word("null") && (!kept || reader_.null());
            default: return number(kept);
        }
    }

    bool word(std::string_view text) {
        if (std::string_view(at_, static_cast<std::size_t>(end_ - at_)).substr(0, text.size()) != text) return false;
        at_ += text.size();
        return true;
    }

    // A number with an exponent or of many digits may be too large for the parser,
    // which refuses it: such a number is the parser's to judge. One kept is given to the
    // reader only when whole, as the parser would give it.
    bool number(bool kept) {
        const bool negative = at_ != end_ && *at_ == '-';
        if (negative) ++at_;
        const char* const first = at_;
        if (at_ != end_ && *at_ == '0') ++at_;
        else if (!digits()) return false;
        const auto count = static_cast<std::size_t>(at_ - first);
        bool whole = true;
        if (at_ != end_ && *at_ == '.') {
            whole = false;
            ++at_;
            if (!digits()) return false;
        }
        if (count > 18 || (at_ != end_ && (*at_ == 'e' || *at_ == 'E'))) return false;
        if (!kept) return true;
        if (!whole) return false;
        std::int64_t value = 0;
        for (const char* at = first; at != first + count; ++at) value = value * 10 + (*at - '0');
        return negative ? reader_.number_integer(-value) : reader_.number_unsigned(static_cast<std::uint64_t>(value));
    }

    // A string whose opening quote is read, up to and past its closing one: `text` views
    // the line, or when it holds escapes and is `wanted`, their meaning.
    bool string(std::string_view& text, bool wanted) {
        const char* const first = at_;
        bool escaped = false;
        while (true) {
            while (at_ != end_ && kAsIs[static_cast<unsigned char>(*at_)]) ++at_;
            if (at_ == end_) return false;
            const auto byte = static_cast<unsigned char>(*at_);
            if (byte == '"') break;
            if (byte == '\\') {
                // An escaped code point (a backslash and u) is the parser's to read.
                if (end_ - at_ < 2 || std::string_view("\"\\/bfnrt").find(at_[1]) == std::string_view::npos)
                    return false;
                escaped = true;
                at_ += 2;
            } else if (byte < 0x20 || !utf8()) {
                return false;  // a control character, or no UTF-8
            }
        }
        text = std::string_view(first, static_cast<std::size_t>(at_ - first));
        ++at_;
        if (escaped && wanted) {
            scratch_.clear();
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] != '\\') {
                    scratch_ += text[i];
                    continue;
                }
                const char meant = text[++i];
                scratch_ += meant == 'b' ? '\b' : meant == 'f' ? '\f' : meant == 'n' ? '\n' : meant == 'r' ? '\r'
                                                 : meant == 't' ? '\t' : meant;
            }
            text = scratch_;
        }
        return true;
    }

    // One character of UTF-8 beyond ASCII, as the parser takes it: in its shortest
    // form, no surrogate.
    bool utf8() {
        const std::size_t length = utf8SequenceLength(std::string_view(at_, static_cast<std::size_t>(end_ - at_)), 0);
        at_ += length;
        return length != 0;
    }

    const char* at_;
    const char* end_;
    LineFields& reader_;
    std::string scratch_;
};

}  // namespace

bool LineFields::read(std::string_view line, std::size_t& wrongByte) {
    reset();
    if (PlainLine(line, *this).read()) return true;
    reset();
    const bool json = Json::sax_parse(line.begin(), line.end(), this);
    wrongByte = wrongByte_;
    return json;
}

namespace {

std::string expected(const std::string& where, const char* name, const std::string& what, const Json* value) {
    return where + "expected \"" + name + "\" to be " + what + ", found " + found(value);
}

// The value of `name`, one of the `names` given by `nameOf` in the spelling of format 3
// or of format 2, as its index; none when it is none of them.
template <typename Enum, std::size_t N>
std::optional<Enum> named(const Json* value, const std::array<Enum, N>& values, std::string_view (*nameOf)(Enum)) {
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

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

}  // namespace

std::string Baseline::keyOf(std::string_view machine, const std::string& path) {
    // Machine names are the same in any case; paths are compared as spelled, and as every
    // output shows them, which a baseline written before names were shown so holds raw.
    return lowerCase(shownSafely(machine)) + '\n' + installationKey(shownSafely(path));
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
        problem = errno == ENOENT ? "no such file or folder"
                  : errno != 0    ? std::error_code(errno, std::generic_category()).message()
                                  : "cannot be opened";
        return std::nullopt;
    }
    // Read a piece at a time, each line as it is complete: a baseline of thousands of
    // installations is never held whole, and no memory is filled only to be copied.
    constexpr std::size_t kPiece = std::size_t{2} << 20;
    const std::size_t capacity = kPiece + kLargestBaselineLine + 1;
    const std::unique_ptr<char[]> buffer(new char[capacity]);  // NOLINT: filled by each read, never cleared
    std::size_t held = 0;
    std::size_t total = 0;
    Baseline baseline;
    int number = 0;
    bool first = true;
    while (true) {
        // No more than a piece at a time: the buffer's pages past it are touched only
        // by a line left over that long.
        file.read(buffer.get() + held, static_cast<std::streamsize>(kPiece));
        const auto got = static_cast<std::size_t>(file.gcount());
        held += got;
        total += got;
        if (file.bad()) {
            problem = "read error";
            return std::nullopt;
        }
        if (total > kLargestBaseline) {
            problem = "larger than " + std::to_string(kLargestBaseline >> 20) + " MiB";
            return std::nullopt;
        }
        std::string_view text(buffer.get(), held);
        if (first) {
            first = false;
            // Text in UTF-16, as Windows PowerShell 5.1 saves it: read whole and converted.
            if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
                std::string bytes;
                if (!readWholeFile(path, kLargestBaseline, bytes, problem)) return std::nullopt;
                return parse(bytes, problem);
            }
            if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        }
        const bool ended = got == 0;
        std::vector<Line> lines;
        std::size_t start = 0;
        for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', start)) {
            if (!takeLine(text.substr(start, end - start), ++number, lines, problem)) return std::nullopt;
            start = end + 1;
        }
        if (ended && start < text.size()) {
            if (!takeLine(text.substr(start), ++number, lines, problem)) return std::nullopt;
            start = text.size();
        }
        if (!baseline.addLines(lines, problem)) return std::nullopt;
        text.remove_prefix(start);
        if (ended) break;
        // A line with no end in sight: no line of an installation is this long.
        if (text.size() > kLargestBaselineLine && !takeLine(text, number + 1, lines, problem)) return std::nullopt;
        std::copy(text.begin(), text.end(), buffer.get());
        held = text.size();
    }
    if (!baseline.complete(number, problem)) return std::nullopt;
    return baseline;
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
    std::vector<Line> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        if (!takeLine(bytes.substr(start, end - start), ++number, lines, problem)) return std::nullopt;
        start = end + 1;
    }
    if (!baseline.addLines(lines, problem) || !baseline.complete(number, problem)) return std::nullopt;
    return baseline;
}

bool Baseline::takeLine(std::string_view line, int number, std::vector<Line>& lines, std::string& problem) {
    if (line.size() > kLargestBaselineLine) {
        problem = "line " + std::to_string(number) + ": expected " + kWhatALineIs + ", found a line longer than " +
                  std::to_string(kLargestBaselineLine >> 20) + " MiB";
        return false;
    }
    if (line.find_first_not_of(" \t\r") != std::string_view::npos) lines.push_back({line, number});
    return true;
}

bool Baseline::complete(int lines, std::string& problem) const {
    if (lines > 0 && (!installations_.empty() || !scanTime_.empty())) return true;
    problem = "line " + std::to_string(std::max(lines, 1)) + ": expected " + kWhatALineIs + ", found no installation";
    return false;
}

bool Baseline::readLine(LineFields& reader, std::string_view line, int number, Installation& entry, bool& kept,
                        std::string& scanTime, std::string& problem) {
    std::size_t wrongByte = 0;
    if (!reader.read(line, wrongByte)) {
        problem = std::string("expected ") + kWhatALineIs + ", found text that is not JSON (at byte " +
                  std::to_string(wrongByte) + ")";
        return false;
    }
    if (reader.type() != Json::value_t::object) {
        problem = std::string("expected ") + kWhatALineIs + ", found " + typeOf(Json(reader.type()));
        return false;
    }
    const auto& object = reader.installation;
    const Json* installation = field(object, "installation");
    if (installation == nullptr || !installation->is_string()) {
        problem = expected("", "installation", "the path as a string", installation);
        return false;
    }
    const Json* time = field(object, "scan_time");
    if (time != nullptr && time->is_string() && scanTime.empty()) scanTime = time->get<std::string>();
    // A line of an earlier comparison for an installation that was gone then: not in
    // that scan, so not in this baseline.
    const Json* change = field(object, "change");
    if (change != nullptr && change->is_string() && change->get_ref<const std::string&>() == "gone") return true;

    kept = true;
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
    for (std::size_t i = 0; i < reader.applications.size(); ++i) {
        const Element& element = reader.applications[i];
        const auto& application = element.fields;
        if (element.type != Json::value_t::object) {
            problem = "applications[" + std::to_string(i) + "]: expected an object, found " + typeOf(Json(element.type));
            return false;
        }
        const auto where = [i] { return "applications[" + std::to_string(i) + "]: "; };
        const Json* file = field(application, "file");
        const auto position = std::find_if(std::begin(kApplicationCatalogue), std::end(kApplicationCatalogue),
                                           [file](const ApplicationEntry& catalogued) {
                                               return file != nullptr && file->is_string() &&
                                                      file->get_ref<const std::string&>() == catalogued.fileName;
                                           }) -
                              std::begin(kApplicationCatalogue);
        if (position == kApplicationCount) {
            problem = expected(where(), "file", "the file name of a catalogue application", file);
            return false;
        }
        Application& known = entry.applications[static_cast<std::size_t>(position)];
        if (known.known) {
            problem = where() + "expected each application once, found " + file->dump() + " again";
            return false;
        }
        known.known = true;
        const Json* state = field(application, "state");
        const std::optional<ApplicationState> stateValue = named(state, kStates, stateName);
        if (!stateValue) {
            problem = expected(where(), "state", oneOf(kStates, stateName), state);
            return false;
        }
        known.state = *stateValue;
        if (known.state == ApplicationState::Block) {
            const Json* tag = field(application, "tag");
            if (tag == nullptr || !tag->is_string()) {
                problem = expected(where(), "tag", "the version tag as a string", tag);
                return false;
            }
            known.tag = tag->get<std::string>();
            const Json* size = field(application, "size");
            if (size == nullptr || !size->is_number_integer()) {
                problem = expected(where(), "size", "the size in bytes as a whole number", size);
                return false;
            }
            known.size = size->get<std::int64_t>();
            const Json* verdict = field(application, "verdict");
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
        // A rule of the rollout broken in the baseline's scan is a finding as well.
        const Json* policy = field(application, "policy");
        known.finding = isFinding(record) || (policy != nullptr && policy->is_string());
    }
    return true;
}

bool Baseline::addLines(const std::vector<Line>& lines, std::string& problem) {
    // Lines are read apart from each other, on up to as many threads as the scan starts
    // by default (or the machine runs at once, if more), and taken in the file's order:
    // reading a baseline of thousands of installations delays the scan little, also
    // on a machine busy with other work, where a process's share follows its threads.
    struct Part {
        std::size_t from = 0;
        std::size_t to = 0;
        std::vector<Installation> read;
        std::string scanTime;
        std::size_t wrong = 0;  // the first line refused, `to` when none
        std::string problem;
    };
    const unsigned threads =
        std::clamp(std::thread::hardware_concurrency(), static_cast<unsigned>(kDefaultJobs), 64U);
    // A part of fewer lines costs its thread more time than the thread saves.
    constexpr std::size_t kFewestLinesAPart = 64;
    const std::size_t count = std::clamp<std::size_t>(lines.size() / kFewestLinesAPart, 1, threads);
    std::vector<Part> parts(count);
    for (std::size_t i = 0; i < count; ++i) {
        parts[i].from = lines.size() * i / count;
        parts[i].to = lines.size() * (i + 1) / count;
    }
    const auto readPart = [&lines](Part& part) {
        part.wrong = part.to;
        part.read.reserve(part.to - part.from);
        // A reader of each part's own, made and gone with its thread.
        LineFields reader;
        for (std::size_t i = part.from; i < part.to; ++i) {
            bool kept = false;
            if (!readLine(reader, lines[i].text, lines[i].number, part.read.emplace_back(), kept, part.scanTime,
                          part.problem)) {
                part.read.pop_back();
                part.wrong = i;
                return;
            }
            if (!kept) part.read.pop_back();
        }
    };
    std::vector<std::thread> started;
    for (std::size_t i = 1; i < count; ++i) {
        try {
            started.emplace_back(readPart, std::ref(parts[i]));
        } catch (const std::system_error&) {
            readPart(parts[i]);  // no thread to spare: read here
        }
    }
    readPart(parts[0]);
    for (std::thread& thread : started) thread.join();

    for (Part& part : parts) {
        if (scanTime_.empty()) scanTime_ = part.scanTime;
        for (Installation& entry : part.read) {
            const auto [at, added] = index_.emplace(keyOf(entry.machine, entry.path), installations_.size());
            if (!added) {
                problem = "line " + std::to_string(entry.line) +
                          ": expected each installation once, found the installation of line " +
                          std::to_string(installations_[at->second].line) + " again";
                return false;
            }
            installations_.push_back(std::move(entry));
        }
        if (part.wrong < part.to) {
            problem = "line " + std::to_string(lines[part.wrong].number) + ": " + part.problem;
            return false;
        }
    }
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
