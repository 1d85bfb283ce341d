#include "fleet/input/sha256.h"

#include <cstring>
#include <new>

#include <gcrypt.h>

namespace vud::fleet {
namespace {

// The library wants its version check before any other call, once a process and before
// threads use it; the scan's threads each make digests, so the first of them to need
// one does it, under the guard of a static's initialisation. The digests protect no
// secret, so the library's locked memory for secrets is not set up at all.
bool initialiseDigestLibrary() {
    gcry_check_version(GCRYPT_VERSION);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
}

void ensureDigestLibrary() {
    [[maybe_unused]] static const bool initialised = initialiseDigestLibrary();
}

gcry_md_hd_t handleOf(void* handle) { return static_cast<gcry_md_hd_t>(handle); }

}  // namespace

Sha256::Sha256() : handle_(nullptr) {
    ensureDigestLibrary();
    gcry_md_hd_t handle = nullptr;
    // SHA-256 is built into every configuration of the library, so opening it fails
    // only for want of memory.
    if (gcry_md_open(&handle, GCRY_MD_SHA256, 0) != 0) throw std::bad_alloc();
    handle_ = handle;
}

Sha256::~Sha256() { gcry_md_close(handleOf(handle_)); }

void Sha256::add(const unsigned char* bytes, std::size_t count) {
    if (count != 0) gcry_md_write(handleOf(handle_), bytes, count);
}

Sha256Digest Sha256::finish() {
    Sha256Digest digest;
    std::memcpy(digest.data(), gcry_md_read(handleOf(handle_), GCRY_MD_SHA256), digest.size());
    gcry_md_reset(handleOf(handle_));
    return digest;
}

std::string hexDigest(const Sha256Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * digest.size());
    for (const unsigned char byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xf];
    }
    return text;
}

Sha256Digest sha256Of(std::string_view bytes) {
    Sha256 digest;
    digest.add(bytes);
    return digest.finish();
}

}  // namespace vud::fleet
