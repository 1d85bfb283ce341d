// The reference build a scan is held to: its reader (each malformed line refused with
// its line and reason), the judgement of a file against it, and the reference made from
// known-good installations, by vudfleet and from sha256sum output.
#include "fleet/compare/reference.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/generated_installation.h"
#include "fleet/reference_fixture.h"
#include "fleet/input/file_digests.h"
#include "probe/installed_folder.h"
#include "verify/verification.h"
#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

using namespace std::string_literals;

const std::string kDigestA(64, 'a');
const std::string kDigestB = "0123456789ABCDEF" + std::string(48, 'b');

std::string build(const std::string& digest, const std::string& size, const std::string& tag, const std::string& file) {
    return digest + "\t" + size + "\t" + tag + "\t" + file + "\n";
}

const std::string kFormatLine = "vudfleet-reference 1 vudfleet 2.3.0\n";
const std::string kGoodBuild = build(kDigestA, "117762", "ver 8.1.3", "vud_mcp.ma");

struct Refusal {
    const char* what;
    std::string text;
    std::string problem;
};

TEST(ReferenceReader, EachMalformedLineIsRefusedWithItsLineAndReason) {
    const std::string longLine = "# " + std::string(511, 'x') + "\n";
    const Refusal refusals[] = {
        {"empty file", "", "line 1: not a vudfleet reference: its first line begins with \"vudfleet-reference 1\""},
        {"sha256sum output alone", kDigestA + "  vud_mcp.ma\n",
         "line 1: not a vudfleet reference: its first line begins with \"vudfleet-reference 1\""},
        {"a later format", "vudfleet-reference 2\n" + kGoodBuild,
         "line 1: the format \"2\" is not one this vudfleet reads (\"vudfleet-reference 1\")"},
        {"format word run on", "vudfleet-reference 10\n" + kGoodBuild,
         "line 1: the format \"10\" is not one this vudfleet reads (\"vudfleet-reference 1\")"},
        {"UTF-16, as Windows PowerShell 5.1 writes with >", "\xFF\xFEv\0u\0"s,
         "line 1: UTF-16 text: a reference is ASCII or UTF-8 (PowerShell: Out-File -Encoding ascii)"},
        {"format line only", kFormatLine, "no build in it: a line for each application file follows the format line"},
        {"comments only", kFormatLine + "# nothing yet\n\n",
         "no build in it: a line for each application file follows the format line"},
        {"three fields", kFormatLine + kDigestA + "\t117762\tver 8.1.3\n",
         "line 2: expected 4 fields separated by tabs (digest, size, tag, file), found 3"},
        {"five fields", kFormatLine + kGoodBuild.substr(0, kGoodBuild.size() - 1) + "\textra\n",
         "line 2: expected 4 fields separated by tabs (digest, size, tag, file), found 5"},
        {"sha256sum's two spaces", kFormatLine + kDigestA + "  vud_mcp.ma\n",
         "line 2: expected 4 fields separated by tabs (digest, size, tag, file), found 1"},
        {"digest one digit short", kFormatLine + build(kDigestA.substr(1), "117762", "ver 8.1.3", "vud_mcp.ma"),
         "line 2: the digest \"" + kDigestA.substr(1, 40) + "...\" is not 64 hexadecimal digits"},
        {"digest with a letter past f", kFormatLine + build("g" + kDigestA.substr(1), "117762", "ver 8.1.3", "vud_mcp.ma"),
         "line 2: the digest \"g" + kDigestA.substr(1, 39) + "...\" is not 64 hexadecimal digits"},
        {"size with a sign", kFormatLine + build(kDigestA, "+117762", "ver 8.1.3", "vud_mcp.ma"),
         "line 2: the size \"+117762\" is not a number of bytes"},
        {"size with a leading zero", kFormatLine + build(kDigestA, "0117762", "ver 8.1.3", "vud_mcp.ma"),
         "line 2: the size \"0117762\" is not a number of bytes"},
        {"size empty", kFormatLine + build(kDigestA, "", "ver 8.1.3", "vud_mcp.ma"),
         "line 2: the size \"\" is not a number of bytes"},
        {"size beyond 18 digits", kFormatLine + build(kDigestA, "1000000000000000000", "ver 8.1.3", "vud_mcp.ma"),
         "line 2: the size \"1000000000000000000\" is not a number of bytes"},
        {"size in kilobytes", kFormatLine + build(kDigestA, "115k", "ver 8.1.3", "vud_mcp.ma"),
         "line 2: the size \"115k\" is not a number of bytes"},
        {"tag without its marker", kFormatLine + build(kDigestA, "117762", "8.1.3", "vud_mcp.ma"),
         "line 2: the tag \"8.1.3\" does not begin with \"ver \""},
        {"tag in capitals", kFormatLine + build(kDigestA, "117762", "VER 8.1.3", "vud_mcp.ma"),
         "line 2: the tag \"VER 8.1.3\" does not begin with \"ver \""},
        {"tag of 13 characters", kFormatLine + build(kDigestA, "117762", "ver 8.1.3.456", "vud_mcp.ma"),
         "line 2: the tag \"ver 8.1.3.456\" is longer than 12 characters"},
        {"tag with a high byte", kFormatLine + build(kDigestA, "117762", "ver 8.1\xE9", "vud_mcp.ma"),
         "line 2: the tag \"ver 8.1?\" holds a character outside printable ASCII (the report shows it as '?')"},
        {"file name of no application", kFormatLine + build(kDigestA, "117762", "ver 8.1.3", "vud_xyz.ma"),
         "line 2: \"vud_xyz.ma\" is not the file name of an application"},
        {"file name in capitals", kFormatLine + build(kDigestA, "117762", "ver 8.1.3", "VUD_MCP.MA"),
         "line 2: \"VUD_MCP.MA\" is not the file name of an application"},
        {"file name with a folder", kFormatLine + build(kDigestA, "117762", "ver 8.1.3", "apps/vud_mcp.ma"),
         "line 2: \"apps/vud_mcp.ma\" is not the file name of an application"},
        {"file name with a space behind", kFormatLine + build(kDigestA, "117762", "ver 8.1.3", "vud_mcp.ma "),
         "line 2: \"vud_mcp.ma \" is not the file name of an application"},
        {"a line too long, after a comment and a blank line", kFormatLine + "# media of March\n\n" + longLine,
         "line 4: longer than 512 bytes"},
        {"a build repeated", kFormatLine + kGoodBuild + "# again\n" + kGoodBuild, "line 4: repeats line 2"},
        {"one build with two digests, the second in other case",
         kFormatLine + kGoodBuild + build(kDigestB, "117762", "ver 8.1.3", "vud_mcp.ma"),
         "line 3: the same file, tag and size as line 2, with another digest"},
        {"CR LF lines count as lines", "vudfleet-reference 1\r\n" + kGoodBuild + "\r\nbroken\r\n",
         "line 4: expected 4 fields separated by tabs (digest, size, tag, file), found 1"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        std::string problem;
        EXPECT_FALSE(Reference::parse(r.text, problem));
        EXPECT_EQ(r.problem, problem);
    }
}

TEST(ReferenceReader, LongestLinesAndBuildsOfEveryKindAreRead) {
    const std::string longest = "# " + std::string(510, 'x');
    const std::string text = "\xEF\xBB\xBFvudfleet-reference 1\r\n" + longest + "\r\n" + longest + "\n\n" +
                             build(kDigestB, "117762", "ver 8.1.3", "vud_mcp.ma") +
                             build(kDigestA, "117762", "ver 9.1.3", "vud_mcp.ma") +
                             build(kDigestA, "117763", "ver 8.1.3", "vud_mcp.ma") +
                             build(kDigestA, "0", "ver ", "vud_bsg.ma") +
                             build(kDigestA, "999999999999999999", "ver 8.1.3  ", "vud_cbp.ma") +
                             "# no end of line behind the last build\n" +
                             kDigestA + "\t5\tver ?\tvud_abl.ma";
    std::string problem;
    const std::optional<Reference> reference = Reference::parse(text, problem);
    ASSERT_TRUE(reference) << problem;
    EXPECT_EQ(6u, reference->buildCount());
    EXPECT_EQ(sha256Of(text), reference->fileDigest());
    const Sha256Digest* upper = reference->find("vud_mcp.ma", "ver 8.1.3", 117762);
    ASSERT_NE(nullptr, upper);
    EXPECT_EQ(kDigestB.substr(0, 16), [&] {
        std::string hex = hexDigest(*upper).substr(0, 16);
        for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return hex;
    }());
    EXPECT_NE(nullptr, reference->find("vud_cbp.ma", "ver 8.1.3  ", 999999999999999999));
    EXPECT_NE(nullptr, reference->find("vud_abl.ma", "ver ?", 5));
    EXPECT_EQ(nullptr, reference->find("vud_cbp.ma", "ver 8.1.3", 999999999999999999));
    EXPECT_EQ(nullptr, reference->find("vud_mcp.ma", "ver 8.1.3", 117764));
    EXPECT_EQ(nullptr, reference->find("vud_bsg.ma", "ver 8.1.3", 117762));
}

TEST(ReferenceJudgement, EachStateFromTheReadAndTheReference) {
    std::string problem;
    const std::optional<Reference> reference = Reference::parse(kFormatLine + kGoodBuild, problem);
    ASSERT_TRUE(reference) << problem;
    const Sha256Digest same = *reference->find("vud_mcp.ma", "ver 8.1.3", 117762);
    Sha256Digest other = same;
    other[31] ^= 1;
    struct Case {
        const char* what;
        const char* tag;
        std::int64_t size;
        std::optional<FileDigest> read;
        ReferenceState state;
    };
    const Case cases[] = {
        {"the reference's bytes", "ver 8.1.3", 117762, FileDigest{same, WholeRead::Steady}, ReferenceState::Verified},
        {"one bit other", "ver 8.1.3", 117762, FileDigest{other, WholeRead::Steady}, ReferenceState::Modified},
        {"another size, not read", "ver 8.1.3", 117763, std::nullopt, ReferenceState::Unreferenced},
        {"another tag, not read", "ver 8.1.4", 117762, std::nullopt, ReferenceState::Unreferenced},
        {"changed while read", "ver 8.1.3", 117762, FileDigest{other, WholeRead::ChangedWhileRead},
         ReferenceState::ChangedWhileRead},
        {"grown while read past any reference size", "ver 8.1.3", 200000,
         FileDigest{other, WholeRead::ChangedWhileRead}, ReferenceState::ChangedWhileRead},
        {"reported another size at open than it had at the end", "ver 8.1.3", 117762, std::nullopt,
         ReferenceState::ChangedWhileRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.state, reference->judge("vud_mcp.ma", c.tag, c.size, c.read));
    }
    const std::pair<ReferenceState, const char*> names[] = {
        {ReferenceState::Verified, "verified"},
        {ReferenceState::Modified, "modified"},
        {ReferenceState::Unreferenced, "unreferenced"},
        {ReferenceState::ChangedWhileRead, "changed_while_read"},
        {ReferenceState::NotVerifiable, "not_verifiable"},
    };
    for (const auto& [state, name] : names) EXPECT_EQ(name, referenceStateName(state));
}

// Correct builds of `generation`, the first `count` applications, each file's bytes
// padded to its size as writeInto() pads them.
using testing::wholeBuilds;

// The line the writer makes of one generated file.
std::string buildLine(const testing::GeneratedFile& file, const std::string& tag) {
    return hexDigest(sha256Of(file.bytes)) + "\t" + std::to_string(file.byteCount) + "\t" + tag + "\t" +
           kApplicationCatalogue[file.position].fileName + "\n";
}

TEST(ReferenceMaker, BuildsOfEveryInstallationOnceEachInOrder) {
    // Generation 8 builds of two applications; the second installation has a generation
    // 9 build of the first and the same build of the second.
    const std::vector<testing::GeneratedFile> eight = wholeBuilds(8, 2);
    const std::vector<testing::GeneratedFile> nine = wholeBuilds(9, 1);
    MemoryInstallation first;
    testing::putInto(first, eight);
    MemoryInstallation second;
    testing::putInto(second, {nine[0], eight[1]});
    ReferenceMaker maker;
    std::string problem;
    ASSERT_TRUE(addToReference(first, "media", maker, problem)) << problem;
    ASSERT_TRUE(addToReference(second, "workstation", maker, problem)) << problem;
    std::ostringstream out;
    maker.write(out, "vudfleet 2.3.0");
    // Catalogue positions 0 and 1 are vud_mcp.ma and vud_bsg.ma: bsg's lines come first.
    const auto tagOf = [](const testing::GeneratedFile& file) {
        return std::string(file.bytes.c_str() + file.bytes.find("ver "));
    };
    EXPECT_EQ("vudfleet-reference 1 vudfleet 2.3.0\n" + buildLine(eight[1], tagOf(eight[1])) +
                  buildLine(eight[0], tagOf(eight[0])) + buildLine(nine[0], tagOf(nine[0])),
              out.str());
    // And it reads back.
    EXPECT_TRUE(Reference::parse(out.str(), problem)) << problem;
}

TEST(ReferenceMaker, InstallationsThatDisagreeOnABuildAreRefusedWithBothNamed) {
    std::vector<testing::GeneratedFile> files = wholeBuilds(8, 1);
    MemoryInstallation good;
    testing::putInto(good, files);
    files[0].bytes.back() ^= 1;  // tag and size kept
    MemoryInstallation patched;
    testing::putInto(patched, files);
    ReferenceMaker maker;
    std::string problem;
    ASSERT_TRUE(addToReference(good, "D:\\media", maker, problem)) << problem;
    EXPECT_FALSE(addToReference(patched, "\\\\ws042\\apps", maker, problem));
    const std::string tag(files[0].bytes.c_str() + files[0].bytes.find("ver "));
    EXPECT_EQ("vud_mcp.ma " + tag + " of " + std::to_string(files[0].byteCount) +
                  " bytes differs between D:\\media and \\\\ws042\\apps",
              problem);

    // A file that changes as it is read makes no reference.
    MemoryInstallation moving;
    moving.put(0, files[0].bytes, files[0].byteCount + 1);
    EXPECT_FALSE(addToReference(moving, "ws043", maker, problem));
    EXPECT_EQ("ws043: vud_mcp.ma changed while it was read; make the reference again", problem);
}

TEST(ReferenceCheck, ScanOfAFolderFindsEachStateAndReadsOnlyReferenceBuildsWhole) {
    const testing::ScratchFolder scratch;
    std::vector<testing::GeneratedFile> files = wholeBuilds(8, 4);
    testing::writeInto("media", files);
    InstalledFolder media("media");
    std::string problem;
    const std::optional<Reference> reference = testing::referenceOf(media, problem);
    ASSERT_TRUE(reference) << problem;

    // The workstation: the first file as on the media, the second with one byte
    // changed, the third one byte longer, the fourth with another tag.
    files[1].bytes.back() ^= 0x20;
    files[2].bytes += 'x';
    ++files[2].byteCount;
    files[3].bytes.replace(files[3].bytes.find("ver ") + 4, 1, "7");
    testing::writeInto("ws", files);
    InstalledFolder workstation("ws");
    std::vector<std::optional<FileDigest>> reads;
    FileDigests digests([&reference](std::string_view file, std::string_view tag, std::int64_t size) {
        return reference->find(file, tag, size) != nullptr;
    });
    DigestedInstallation digested(workstation, digests);
    std::vector<ReferenceState> states;
    verifyInstallation(digested, [&](const ApplicationOutcome& outcome) {
        if (outcome.state != ApplicationOutcome::State::Judged) return;
        reads.push_back(digests.last());
        states.push_back(reference->judge(kApplicationCatalogue[outcome.position].fileName,
                                          printableTag(outcome.tag), outcome.byteCount, digests.last()));
    });
    EXPECT_EQ((std::vector<ReferenceState>{ReferenceState::Verified, ReferenceState::Modified,
                                           ReferenceState::Unreferenced, ReferenceState::Unreferenced}),
              states);
    ASSERT_EQ(4u, reads.size());
    EXPECT_TRUE(reads[0] && reads[1]);
    EXPECT_FALSE(reads[2] || reads[3]);  // no reference build of their tag and size
}

#ifndef _WIN32
// The doc's recipe, run as it is written, makes the reference vudfleet makes.
TEST(ReferenceMaker, TheManualsRecipeFromSha256sumMakesTheSameReference) {
    for (const char* program : {"sh", "sha256sum", "grep", "stat"})
        if (!testing::onPath(program)) GTEST_SKIP() << "no " << program << " on PATH";
    std::ifstream doc(VUD_REFERENCE_DOC, std::ios::binary);
    std::stringstream text;
    text << doc.rdbuf();
    const std::string page = text.str();
    const std::size_t marker = page.find("<!-- reference-from-sha256sum -->\n```sh\n");
    ASSERT_NE(std::string::npos, marker);
    const std::size_t start = page.find('\n', page.find("```sh", marker)) + 1;
    const std::string recipe = page.substr(start, page.find("```\n", start) - start);

    const testing::ScratchFolder scratch;
    std::vector<testing::GeneratedFile> files = wholeBuilds(10, 6);
    files[5].bytes.replace(files[5].bytes.find("ver "), 4, "VER ");  // no tag: left out
    testing::writeInto(".", files);
    testing::writeFile("recipe.sh", recipe);
    const testing::ChildEnd end = testing::runChild({"sh", "recipe.sh"}, {}, std::chrono::seconds(60));
    ASSERT_EQ(0, end.exitStatus());

    std::string problem;
    const std::optional<Reference> fromRecipe = Reference::parse(testing::readFile("reference.txt"), problem);
    ASSERT_TRUE(fromRecipe) << problem;
    InstalledFolder here;
    ReferenceMaker maker;
    ASSERT_TRUE(addToReference(here, ".", maker, problem)) << problem;
    std::ostringstream out;
    maker.write(out, "vudfleet");
    const std::optional<Reference> fromVudfleet = Reference::parse(out.str(), problem);
    ASSERT_TRUE(fromVudfleet) << problem;
    EXPECT_EQ(5u, fromRecipe->buildCount());
    EXPECT_EQ(fromVudfleet->buildCount(), fromRecipe->buildCount());
    fromVudfleet->forEachBuild([&](const std::string& file, const std::string& tag, std::int64_t size,
                                   const Sha256Digest& digest) {
        const Sha256Digest* found = fromRecipe->find(file, tag, size);
        ASSERT_NE(nullptr, found) << file << " " << tag;
        EXPECT_EQ(hexDigest(digest), hexDigest(*found));
    });
}
#endif

}  // namespace
}  // namespace vud::fleet
