#include "line/Sha256.h"

#include <sodium.h>

#include <cstdlib>

namespace line {

std::string Sha256Hex(std::string_view bytes) {
    // libsodium, which checks the recipes' signatures too: one crypto library in the program.
    // It fails to start only without a source of randomness, which hashing never needs.
    static const int s_ready = sodium_init();
    (void)s_ready;
    unsigned char digest[crypto_hash_sha256_BYTES];
    if (crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()),
                           bytes.size()) != 0)
        std::abort();
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

} // namespace line
