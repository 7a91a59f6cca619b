#include "line/Sha256.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

namespace line {

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    // SHA-256 of memory fails only when the library cannot allocate: nothing sound is left then.
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1 ||
        size != 32)
        std::abort();
    std::string hex;
    char digits[3];
    for (unsigned i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", digest[i]);
        hex += digits;
    }
    return hex;
}

} // namespace line
