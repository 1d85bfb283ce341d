// SHA-256 of an application file's bytes, fed piece by piece as they are read, for
// the comparison with a reference build.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vud::fleet {

inline constexpr std::size_t kSha256Size = 32;
using Sha256Digest = std::array<unsigned char, kSha256Size>;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Adds the next `count` bytes of the message.
    void add(const unsigned char* bytes, std::size_t count);
    void add(std::string_view bytes) {
        add(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }

    // The digest of every byte added since construction or the last finish(); the next
    // add() begins a new message.
    Sha256Digest finish();

private:
    void* handle_;  // the digest library's context
};

// The digest as 64 lower-case hexadecimal digits, as sha256sum prints it.
std::string hexDigest(const Sha256Digest& digest);

// The digest of `bytes` at once.
Sha256Digest sha256Of(std::string_view bytes);

}  // namespace vud::fleet
