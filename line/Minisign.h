// The minisign format, read and verified here so that engineers sign with the standard tool.
//
// A public key file is an "untrusted comment: " line and the base64 of "Ed", the key id (8
// bytes) and the Ed25519 key (32 bytes). A signature file is an "untrusted comment: " line, the
// base64 of the algorithm (2 bytes), the key id and the Ed25519 signature (64 bytes), a
// "trusted comment: " line, and the base64 of the global signature (64 bytes) over the
// signature followed by the trusted comment's text. Algorithm "Ed" signs the file itself, "ED"
// its BLAKE2b-512 hash (minisign's default).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace line {

using MinisignKeyId = std::array<unsigned char, 8>;

struct MinisignPublicKey {
    MinisignKeyId id{};
    std::array<unsigned char, 32> key{};
};

struct MinisignSignature {
    bool prehashed = false; // "ED"
    MinisignKeyId keyId{};
    std::array<unsigned char, 64> signature{};
    std::string trustedComment;
    std::array<unsigned char, 64> globalSignature{};
};

enum class MinisignCheck {
    Verified,
    Missing,           // no signature file (for the callers that read it)
    Malformed,         // truncated, not base64, lines missing or of the wrong kind
    UnknownAlgorithm,  // neither "Ed" nor "ED"
    UntrustedKey,      // signed with a key that no trusted key file holds
    BadSignature,      // the file's signature does not verify
    BadTrustedComment, // the global signature over the trusted comment does not verify
};

// What each check's failure says: "the signature does not verify".
const char* MinisignCheckText(MinisignCheck check);

// The key id as minisign prints it: the 8 bytes as one little-endian number, 16 upper-case hex
// digits.
std::string MinisignKeyIdHex(const MinisignKeyId& id);

// Reads a public key file's text. False with *error when it is not one.
bool ParseMinisignPublicKey(std::string_view text, MinisignPublicKey* key, std::string* error);

// Reads a signature file's text. False with *check (Malformed or UnknownAlgorithm) and *error.
bool ParseMinisignSignature(std::string_view text, MinisignSignature* signature,
                            MinisignCheck* check, std::string* error);

struct MinisignResult {
    MinisignCheck check = MinisignCheck::Malformed;
    std::string detail;         // for Malformed and UnknownAlgorithm: what is wrong
    std::string keyId;          // the signer's key id, once the signature file could be read
    std::string trustedComment; // its trusted comment, once read (verified only with Verified)
};

// Verifies message against the signature file's text with the trusted keys that carry the
// signature's key id.
MinisignResult VerifyMinisign(std::string_view message, std::string_view signatureText,
                              const std::vector<MinisignPublicKey>& trusted);

} // namespace line
