// JSON Lines: one object a line per installation, its applications inside, for scripts
// that read the fleet one installation at a time. Keys keep the order of the records.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>

#include "fleet/output/record_writer.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

using Json = nlohmann::ordered_json;

Json applicationObject(const ApplicationRecord& application, bool policy, bool reference) {
    Json object;
    object["position"] = application.position;
    object["name"] = application.name;
    object["file"] = application.file;
    object["state"] = stateName(application.state);
    if (application.state == ApplicationState::Block) {
        object["tag"] = application.tag;
        object["size"] = application.size;
        object["generation"] = application.generation ? Json(std::to_string(*application.generation)) : Json();
        object["host"] = application.host;
        object["verdict"] = verdictName(application.verdict);
        object["text"] = application.text;
    } else {
        for (const char* key : {"tag", "size", "generation", "host", "verdict", "text"}) object[key] = nullptr;
    }
    if (application.change != ApplicationChange::None) object["change"] = changeName(application.change);
    if (policy) object["policy"] = application.policy ? Json(policyRuleName(*application.policy)) : Json();
    if (reference) object["reference"] = application.reference ? Json(referenceStateName(*application.reference)) : Json();
    return object;
}

// The rollout's rules, so that each line says what it was held to, and how many
// applications broke each; `findings` null where nothing was checked (an error, an
// installation gone since the baseline).
Json policyObject(const RolloutPolicy& policy, const InstallationRecord& record, bool checked) {
    Json object;
    Json generations = Json::array();
    std::transform(policy.expectedGenerations.begin(), policy.expectedGenerations.end(),
                   std::back_inserter(generations), [](int generation) { return std::to_string(generation); });
    object["expected_generations"] = std::move(generations);
    object["require_all"] = policy.requireAll;
    if (!checked) {
        object["findings"] = nullptr;
        return object;
    }
    Json findings = Json::object();
    for (const PolicyRule rule : kPolicyRules)
        findings[std::string(policyRuleName(rule))] = record.policyFindings[static_cast<std::size_t>(rule)];
    object["findings"] = std::move(findings);
    return object;
}

// What was last known of an installation that did not answer: its applications with
// the fields a later scan compares, so that it is compared with them when it answers.
Json lastSeenObject(const LastSeen& lastSeen) {
    Json object;
    object["scan_time"] = lastSeen.scanTime;
    object["source"] = sourceName(lastSeen.source);
    object["status"] = statusName(lastSeen.status);
    Json counts = Json::object();
    const VerdictCounts byKind = countsOf(lastSeen.applications);
    for (int kind = 0; kind < kVerdictKindCount; ++kind)
        counts[std::string(verdictName(static_cast<VerdictKind>(kind)))] = byKind[static_cast<std::size_t>(kind)];
    object["counts"] = std::move(counts);
    object["not_found"] = lastSeen.notFound;
    object["damaged"] = lastSeen.damaged;
    object["mixed"] = lastSeen.mixed;
    object["checker_out_of_date"] = lastSeen.checkerOutOfDate;
    Json applications = Json::array();
    for (const ApplicationRecord& application : lastSeen.applications) {
        Json entry;
        entry["position"] = application.position;
        entry["file"] = application.file;
        entry["state"] = stateName(application.state);
        const bool block = application.state == ApplicationState::Block;
        entry["tag"] = block ? Json(application.tag) : Json();
        entry["size"] = block ? Json(application.size) : Json();
        entry["verdict"] = block ? Json(verdictName(application.verdict)) : Json();
        entry["policy"] = application.policy ? Json(policyRuleName(*application.policy)) : Json();
        applications.push_back(std::move(entry));
    }
    object["applications"] = std::move(applications);
    return object;
}

class JsonWriter : public RecordWriter {
public:
    JsonWriter(std::ostream& out, const ScanMetadata& scan, const WriterOptions& options)
        : out_(out), scanTime_(isoTime(scan.time)), scan_(scan), options_(options) {}

    void write(const InstallationRecord& record) override {
        if (options_.findingsOnly && record.status == Status::Ok) return;
        const bool policy = options_.policy.inForce();
        const bool reference = !scan_.referenceDigest.empty();
        Json object;
        object["format"] = options_.recordFormat;
        object["installation"] = shownSafely(record.installation);
        object["machine"] = shownSafely(record.machine);
        object["scan_time"] = scanTime_;
        object["vudfleet_version"] = scan_.vudfleetVersion;
        object["checker_version"] = scan_.checkerVersion;
        object["source"] = sourceName(record.source);
        // An installation gone since the baseline was not checked: it has no status.
        const bool gone = record.change == InstallationChange::Gone;
        object["status"] = gone ? Json() : Json(statusName(record.status));
        const bool error = record.status == Status::Error && !gone;
        object["error"] = error ? Json(shownSafely(record.error)) : Json();
        if (record.change != InstallationChange::None) object["change"] = changeName(record.change);
        if (error || gone) {
            for (const char* key : {"counts", "not_found", "damaged", "mixed", "checker_out_of_date"})
                object[key] = nullptr;
            if (policy) object["policy"] = policyObject(options_.policy, record, false);
            object["applications"] = Json::array();
        } else {
            Json counts = Json::object();
            for (int kind = 0; kind < kVerdictKindCount; ++kind)
                counts[std::string(verdictName(static_cast<VerdictKind>(kind)))] = record.counts[kind];
            object["counts"] = std::move(counts);
            object["not_found"] = record.notFound;
            object["damaged"] = record.damaged;
            object["mixed"] = record.mixed;
            object["checker_out_of_date"] = record.checkerOutOfDate;
            if (policy) object["policy"] = policyObject(options_.policy, record, true);
            Json applications = Json::array();
            std::transform(record.applications.begin(), record.applications.end(), std::back_inserter(applications),
                           [policy, reference](const ApplicationRecord& application) {
                               return applicationObject(application, policy, reference);
                           });
            object["applications"] = std::move(applications);
        }
        // A report's time wherever it is known; with --max-report-age, on every line.
        const bool reportAge = options_.maxReportAgeDays.has_value();
        if (record.reportTime || reportAge)
            object["report_time"] = record.reportTime ? Json(isoTime(*record.reportTime)) : Json();
        if (reportAge) object["stale_report"] = error || gone ? Json() : Json(record.staleReport);
        // Held to a reference build: which one, by its own digest, whether every block
        // had to be verified, and how many blocks are in each state (null where nothing
        // was checked).
        if (reference) {
            object["reference_sha256"] = scan_.referenceDigest;
            object["reference_required"] = scan_.referenceRequired;
            Json counts = Json::object();
            for (const ReferenceState state : kReferenceStates)
                counts[std::string(referenceStateName(state))] = record.referenceCounts[static_cast<std::size_t>(state)];
            object["reference_counts"] = error || gone ? Json() : std::move(counts);
        }
        if (record.lastSeen) object["last_seen"] = lastSeenObject(*record.lastSeen);
        // So that no later run takes a list of findings for a whole scan of the fleet.
        if (options_.findingsOnly) object["findings_only"] = true;
        line(object);
        ++written_;
    }

    // A scan kept as state ends with a line that says so and how many came before it:
    // a file without it, or with another count, was cut short.
    void finish() override {
        if (options_.recordFormat < kStateRecordFormat) return;
        Json object;
        object["format"] = options_.recordFormat;
        object["end"] = true;
        object["scan_time"] = scanTime_;
        object["vudfleet_version"] = scan_.vudfleetVersion;
        object["checker_version"] = scan_.checkerVersion;
        object["installations"] = written_;
        object["findings_only"] = options_.findingsOnly;
        line(object);
    }

private:
    void line(const Json& object) {
        // Names and errors are shown by the rule of every output, so no byte that is not
        // UTF-8 is left to replace; were one to slip through, it would not end the run.
        out_ << object.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    }

    std::ostream& out_;
    std::int64_t written_ = 0;
    std::string scanTime_;
    ScanMetadata scan_;
    WriterOptions options_;
};

}  // namespace

std::unique_ptr<RecordWriter> makeJsonWriter(std::ostream& out, const ScanMetadata& scan,
                                             const WriterOptions& options) {
    return std::make_unique<JsonWriter>(out, scan, options);
}

}  // namespace vud::fleet
