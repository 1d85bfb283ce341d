// The digests of application files: the published SHA-256 test vectors, fed whole and
// in uneven pieces, and sha256sum's digests of real files.
#include "fleet/input/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

struct DigestVector {
    const char* what;
    std::string message;
    const char* digest;
};

// FIPS 180-2's examples and NIST's long message.
const DigestVector kVectors[] = {
    {"the empty message", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"one block", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"448 bits, whose padding takes a block of its own",
     "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"one million 'a'", std::string(1000000, 'a'),
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(Sha256, PublishedVectorsWholeAndInUnevenPieces) {
    for (const DigestVector& v : kVectors) {
        SCOPED_TRACE(v.what);
        EXPECT_EQ(v.digest, hexDigest(sha256Of(v.message)));
        // Pieces of 1, 2, 3 ... bytes: the library's own blocks of 64 are crossed at every
        // offset.
        Sha256 pieces;
        std::size_t at = 0;
        for (std::size_t length = 1; at < v.message.size(); ++length) {
            const std::size_t count = std::min(length % 97, v.message.size() - at);
            pieces.add(std::string_view(v.message).substr(at, count));
            at += count;
        }
        EXPECT_EQ(v.digest, hexDigest(pieces.finish()));
    }
}

TEST(Sha256, FinishBeginsTheNextMessage) {
    Sha256 digest;
    digest.add("not this one");
    digest.finish();
    digest.add("abc");
    EXPECT_EQ(kVectors[1].digest, hexDigest(digest.finish()));
    EXPECT_EQ(kVectors[0].digest, hexDigest(digest.finish()));
}

TEST(Sha256, ThreadsThatStartTogetherGetTheSameDigests) {
    // The scan's threads each make digests from the first file on; the first use
    // initialises the library, whichever thread comes first.
    std::vector<std::string> results(8);
    std::vector<std::thread> threads;
    for (std::string& result : results)
        threads.emplace_back([&result] { result = hexDigest(sha256Of(kVectors[3].message)); });
    for (std::thread& thread : threads) thread.join();
    for (const std::string& result : results) EXPECT_EQ(kVectors[3].digest, result);
}

#ifndef _WIN32
TEST(Sha256, RealFilesAsSha256sumDigestsThem) {
    if (!testing::onPath("sha256sum")) GTEST_SKIP() << "no sha256sum on PATH";
    const testing::ScratchFolder folder;
    // Sizes around the library's block and far beyond the loader's image.
    const std::size_t sizes[] = {0, 1, 55, 56, 63, 64, 65, 4096, 400001, 3000017};
    std::vector<std::string> arguments{"sha256sum"};
    std::vector<std::string> contents;
    for (const std::size_t size : sizes) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + size) >> 3);
        const std::string name = "file" + std::to_string(size);
        testing::writeFile(name, bytes);
        arguments.push_back(name);
        contents.push_back(std::move(bytes));
    }
    const testing::ChildEnd end = testing::runChild(arguments, {"sums.txt"}, std::chrono::seconds(60));
    ASSERT_EQ(0, end.exitStatus());
    const std::string sums = testing::readFile("sums.txt");
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(arguments[i + 1]);
        const std::size_t lineEnd = sums.find('\n', lineStart);
        ASSERT_NE(std::string::npos, lineEnd);
        const std::string line = sums.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        EXPECT_EQ(line, hexDigest(sha256Of(contents[i])) + "  " + arguments[i + 1]);
    }
}
#endif

}  // namespace
}  // namespace vud::fleet
