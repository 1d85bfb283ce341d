// A fleet held to a reference build, run in process over folders on disk: the reference
// made from known-good media, a file with one byte changed (tag and size kept) found
// modified in every format and as a new finding against a baseline, builds the
// reference does not hold, saved reports, files that change while they are read, and
// the references vudfleet refuses to write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fleet/compare/reference.h"
#include "fleet/fleet_run.h"
#include "fleet/generated_installation.h"
#include "fleet/reference_fixture.h"
#include "fleet/input/file_digests.h"
#include "probe/memory_installation.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

std::string pageOf(const std::string& name) { return testing::readFile(name); }

// The reference file's own digest, which every record of a scan held to it carries.
std::string digestOfFile(const std::string& name) { return hexDigest(sha256Of(testing::readFile(name))); }

class FleetReference : public ::testing::Test {
protected:
    void SetUp() override {
        media = testing::wholeBuilds(11);
        testing::writeInto("media", media);
        const FleetRun made = runWith({"--write-reference", "reference.txt", "media"});
        ASSERT_EQ(0, made.status) << made.err;
        ASSERT_EQ("reference.txt: 41 builds of 1 installation\n", made.out);
        ASSERT_EQ("", made.err);
        digest = digestOfFile("reference.txt");
        // The workstation: vud_mcp.ma with its last byte changed, behind its tag.
        std::vector<testing::GeneratedFile> patched = media;
        patched[0].bytes.back() ^= 0x01;
        testing::writeInto("ws", patched);
    }

    testing::ScratchFolder scratch;
    std::vector<testing::GeneratedFile> media;
    std::string digest;
};

TEST_F(FleetReference, AFileWithOneByteChangedIsModifiedInEveryFormat) {
    const FleetRun text = runWith({"--reference", "reference.txt", "ws", "media"});
    EXPECT_EQ(1, text.status);
    EXPECT_EQ("", text.err);
    EXPECT_EQ("findings  11         41 of 41 correct  ws  1 modified\n"
              "ok        11         41 of 41 correct  media\n"
              "\nBy application, of 2 installations read:\n"
              "  vud_mcp.ma  2 correct; reference: 1 verified, 1 modified\n" +
                  testing::applicationTotalLines(1, "2 correct; reference: 2 verified") +
                  "\nBlocks against the reference (SHA-256 " + digest +
                  "): 81 verified, 1 modified, 0 unreferenced, 0 changed_while_read, 0 not_verifiable\n"
                  "2 installations: 1 ok, 1 with findings, 0 errors\n",
              text.out);

    const FleetRun csv = runWith({"--format", "csv", "--reference", "reference.txt", "ws"});
    EXPECT_EQ(1, csv.status);
    EXPECT_EQ(0u, csv.out.find("installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,"
                               "position,name,file,state,tag,size,generation,host,verdict,text,"
                               "machine,scan_time,vudfleet_version,checker_version,"
                               "reference_sha256,verified,modified,unreferenced,changed_while_read,not_verifiable,"
                               "reference\r\n"));
    // The first row, vud_mcp.ma's, and the second, vud_bsg.ma's, end so.
    const std::size_t first = csv.out.find("\r\n") + 2;
    const std::size_t second = csv.out.find("\r\n", first) + 2;
    const std::string counts = "," + digest + ",40,1,0,0,0,";
    EXPECT_EQ(counts + "modified\r\n", csv.out.substr(csv.out.find(counts, first), second - csv.out.find(counts, first)));
    EXPECT_EQ(counts + "verified\r\n", csv.out.substr(csv.out.find(counts, second), counts.size() + 10));

    const FleetRun json = runWith({"--format", "json", "--reference", "reference.txt", "ws"});
    EXPECT_EQ(1, json.status);
    EXPECT_NE(std::string::npos, json.out.find("\"file\":\"vud_mcp.ma\",\"state\":\"block\""));
    EXPECT_NE(std::string::npos, json.out.find("\"verdict\":\"correct\""));
    const std::size_t mcp = json.out.find("\"file\":\"vud_mcp.ma\"");
    EXPECT_NE(std::string::npos, json.out.find("\"reference\":\"modified\"}", mcp));
    EXPECT_EQ(json.out.find("\"reference\":\"modified\""), json.out.rfind("\"reference\":\"modified\""));
    EXPECT_EQ(",\"reference_sha256\":\"" + digest +
                  "\",\"reference_required\":false,\"reference_counts\":{\"verified\":40,\"modified\":1,"
                  "\"unreferenced\":0,\"changed_while_read\":0,\"not_verifiable\":0}}\n",
              json.out.substr(json.out.find(",\"reference_sha256\"")));

    const FleetRun totals = runWith({"--format", "totals", "--reference", "reference.txt", "ws"});
    EXPECT_NE(std::string::npos, totals.out.find(",not_found,no_tag,absent,verified,modified,unreferenced,"
                                                 "changed_while_read,not_verifiable\r\n"
                                                 "0,vud_mcp.ma,Member Copy Along Path,1,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0\r\n"));

    const FleetRun metrics = runWith({"--format", "metrics", "--reference", "reference.txt", "ws"});
    EXPECT_NE(std::string::npos, metrics.out.find("\nvudfleet_reference_info{sha256=\"" + digest +
                                                  "\",required=\"false\"} 1\n"));
    EXPECT_NE(std::string::npos, metrics.out.find("\nvudfleet_reference_installations{state=\"modified\"} 1\n"));
    EXPECT_NE(std::string::npos,
              metrics.out.find("\nvudfleet_reference_applications{application=\"vud_mcp.ma\",state=\"modified\"} 1\n"));
    EXPECT_NE(std::string::npos,
              metrics.out.find("\nvudfleet_reference_applications{application=\"vud_bsg.ma\",state=\"verified\"} 1\n"));

    const FleetRun dashboard = runWith({"--html", "fleet.html", "--reference", "reference.txt", "ws"});
    EXPECT_EQ(1, dashboard.status);
    const std::string page = pageOf("fleet.html");
    EXPECT_NE(std::string::npos, page.find("td.cell.modified::before{content:\"\\2260\"}\n"));
    EXPECT_NE(std::string::npos, page.find("<td class=\"cell correct modified\" title=\"vud_mcp.ma: "));
    EXPECT_NE(std::string::npos, page.find("\nagainst the reference: modified\"></td>"));
    EXPECT_NE(std::string::npos, page.find("\nagainst the reference: verified\"></td>"));
    EXPECT_NE(std::string::npos,
              page.find("<td class=\"status\">findings<span class=\"flag reference\" title=\"other bytes than the "
                        "reference build of the same version tag and size: corrupted, patched or replaced\">1 "
                        "modified</span></td>"));
    EXPECT_NE(std::string::npos, page.find("Held to the reference build of SHA-256 <code>" + digest + "</code>"));
    EXPECT_NE(std::string::npos, page.find("<tr><th scope=\"row\">modified</th><td>1</td></tr>\n"));
}

// Last night every file was the release's; tonight one is not: a new finding, though its
// tag, size and verdict are as they were.
TEST_F(FleetReference, AFileThatBecomesModifiedIsANewFindingAgainstTheBaseline) {
    const FleetRun lastNight = runWith({"--format", "json", "--reference", "reference.txt", "media"});
    ASSERT_EQ(0, lastNight.status) << lastNight.err;
    testing::writeFile("yesterday.json", lastNight.out);
    testing::writeFile("media/vud_mcp.ma", testing::readFile("ws/vud_mcp.ma"));
    const FleetRun tonight = runWith({"--baseline", "yesterday.json", "--reference", "reference.txt", "media"});
    EXPECT_EQ(1, tonight.status);
    EXPECT_EQ(0u, tonight.out.find("Changes since the baseline scan of "));
    EXPECT_NE(std::string::npos, tonight.out.find(":\n  changed  media  was ok, now findings; new finding: vud_mcp.ma\n"
                                                  "0 added, 0 gone, 1 changed, 0 unchanged\n"));
    // And the night after, still modified: no new finding any more.
    const FleetRun json = runWith({"--format", "json", "--reference", "reference.txt", "media"});
    testing::writeFile("tonight.json", json.out);
    const FleetRun after = runWith({"--baseline", "tonight.json", "--reference", "reference.txt", "media"});
    EXPECT_NE(std::string::npos, after.out.find(":\n0 added, 0 gone, 0 changed, 1 unchanged\n"));
}

// Builds the reference does not hold, and saved reports, are no findings unless every
// block must be verified.
TEST_F(FleetReference, UnreferencedAndNotVerifiableAreFindingsOnlyWhereRequired) {
    testing::writeInto("gen8", testing::correctInstallation(8));
    std::filesystem::current_path("media");
    const testing::CheckerResult report = testing::runChecker({});
    std::filesystem::current_path("..");
    ASSERT_EQ(0, report.status);
    testing::writeFile("media.txt", report.out);

    const FleetRun loose = runWith({"--reference", "reference.txt", "gen8", "media.txt"});
    EXPECT_EQ(0, loose.status) << loose.out;
    EXPECT_EQ("ok        8          41 of 41 correct  gen8\n"
              "ok        11         41 of 41 correct  media.txt\n",
              loose.out.substr(0, loose.out.find("\n\n") + 1));
    EXPECT_NE(std::string::npos,
              loose.out.find("): 0 verified, 0 modified, 41 unreferenced, 0 changed_while_read, 41 not_verifiable\n"));

    const FleetRun strict = runWith({"--reference", "reference.txt", "--require-reference", "gen8", "media.txt", "media"});
    EXPECT_EQ(1, strict.status);
    EXPECT_EQ("findings  8          41 of 41 correct  gen8  41 unreferenced\n"
              "findings  11         41 of 41 correct  media.txt  41 not verifiable\n"
              "ok        11         41 of 41 correct  media\n",
              strict.out.substr(0, strict.out.find("\n\n") + 1));
    EXPECT_NE(std::string::npos, strict.out.find("; every block required verified\n"));

    const FleetRun json = runWith({"--format", "json", "--reference", "reference.txt", "--require-reference", "-"},
                                  report.out);
    EXPECT_EQ(1, json.status);
    EXPECT_NE(std::string::npos, json.out.find("\"reference\":\"not_verifiable\"}"));
    EXPECT_NE(std::string::npos, json.out.find("\"reference_required\":true,\"reference_counts\":{\"verified\":0,"
                                               "\"modified\":0,\"unreferenced\":0,\"changed_while_read\":0,"
                                               "\"not_verifiable\":41}}"));
}

// A file that changed between the start and the end of its read is no modified file:
// its bytes may be of no version it ever had. A note, and a finding only where every
// block must be verified.
TEST(FleetReferenceRecords, AFileThatChangedWhileReadIsNeverModified) {
    const std::vector<testing::GeneratedFile> media = testing::wholeBuilds(11);
    MemoryInstallation known;
    testing::putInto(known, media);
    std::string problem;
    const std::optional<Reference> reference = testing::referenceOf(known, problem);
    ASSERT_TRUE(reference) << problem;

    // vud_mcp.ma reported its size at open, yet delivered other bytes, and more of them
    // (grown) or fewer (cut) by the end; vud_bsg.ma is patched and steady.
    for (const std::int64_t change : {+7, -7}) {
        SCOPED_TRACE(change);
        MemoryInstallation moving;
        testing::putInto(moving, media);
        std::string bytes = media[0].bytes;
        bytes.back() ^= 0x01;
        bytes.resize(static_cast<std::size_t>(static_cast<std::int64_t>(bytes.size()) + change), 'x');
        moving.put(0, bytes, media[0].byteCount);
        std::string patched = media[1].bytes;
        patched.back() ^= 0x01;
        moving.put(1, patched);
        for (const bool required : {false, true}) {
            const InstallationRecord record = scanAgainstReference(moving, "ws", *reference, required);
            EXPECT_EQ(ReferenceState::ChangedWhileRead, record.applications[0].reference);
            EXPECT_EQ(required, record.applications[0].referenceFinding);
            EXPECT_EQ(ReferenceState::Modified, record.applications[1].reference);
            EXPECT_TRUE(record.applications[1].referenceFinding);
            EXPECT_EQ(1, record.referenceCounts[static_cast<std::size_t>(ReferenceState::ChangedWhileRead)]);
            EXPECT_EQ(1, record.referenceCounts[static_cast<std::size_t>(ReferenceState::Modified)]);
            EXPECT_EQ(39, record.referenceCounts[static_cast<std::size_t>(ReferenceState::Verified)]);
            EXPECT_EQ(Status::Findings, record.status);
        }
        // Alone, the changing file leaves the installation ok.
        moving.put(1, media[1].bytes);
        EXPECT_EQ(Status::Ok, scanAgainstReference(moving, "ws", *reference, false).status);
        EXPECT_EQ(Status::Findings, scanAgainstReference(moving, "ws", *reference, true).status);
    }
}

TEST_F(FleetReference, AReferenceIsWrittenOnlyFromSteadyFoldersThatAgree) {
    testing::writeInto("gen8", testing::correctInstallation(8));
    const FleetRun both = runWith({"--write-reference", "both.txt", "media", "gen8"});
    EXPECT_EQ(0, both.status) << both.err;
    EXPECT_EQ("both.txt: 82 builds of 2 installations\n", both.out);
    // Every build once, whatever the order the folders came in.
    const FleetRun again = runWith({"--write-reference", "again.txt", "gen8", "media", "media/."});
    EXPECT_EQ(0, again.status) << again.err;
    EXPECT_EQ(testing::readFile("both.txt"), testing::readFile("again.txt"));
    EXPECT_EQ(0u, testing::readFile("both.txt").find("vudfleet-reference 1 vudfleet "));

    std::filesystem::create_directory("empty");
    testing::writeFile("report.txt", "");
    const struct {
        std::vector<std::string> folders;
        std::string err;
    } refusals[] = {
        {{"media", "ws"}, "vudfleet: vud_mcp.ma " + std::string(media[0].bytes.c_str() + media[0].bytes.find("ver ")) +
                              " of " + std::to_string(media[0].byteCount) + " bytes differs between media and ws\n"},
        {{"report.txt"}, "vudfleet: report.txt: a reference is made from installation folders, not from a saved report\n"},
        {{"missing"}, "vudfleet: missing: no such file or folder\n"},
        {{"empty"}, "vudfleet: no application file with a version tag in empty: no reference written\n"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.err);
        std::vector<std::string> arguments{"--write-reference", "refused.txt"};
        arguments.insert(arguments.end(), refusal.folders.begin(), refusal.folders.end());
        const FleetRun run = runWith(arguments);
        EXPECT_EQ(2, run.status);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(refusal.err, run.err);
        EXPECT_FALSE(std::filesystem::exists("refused.txt"));
    }

    // A reference that is none ends the scan before it starts.
    testing::writeFile("bad.txt", "vudfleet-reference 1\nnot a build\n");
    const FleetRun bad = runWith({"--reference", "bad.txt", "media"});
    EXPECT_EQ(2, bad.status);
    EXPECT_EQ("", bad.out);
    EXPECT_EQ("vudfleet: bad.txt: line 2: expected 4 fields separated by tabs (digest, size, tag, file), found 1\n",
              bad.err);
}

}  // namespace
}  // namespace vud::fleet
