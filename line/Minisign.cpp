#include "line/Minisign.h"

#include <sodium.h>

#include <cstdio>
#include <cstring>

namespace line {

namespace {

const std::string_view kUntrusted = "untrusted comment: ";
const std::string_view kTrusted = "trusted comment: ";

// The text's lines without their ends (LF or CRLF). Empty lines at the end are dropped, so a
// file may end with or without a line break.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Decodes standard base64 (with its padding) into exactly `size` bytes: nothing more, nothing
// less, and no character that is not base64.
bool DecodeExactly(std::string_view text, unsigned char* out, size_t size) {
    if (sodium_init() < 0)
        return false;
    size_t decoded = 0;
    const char* end = nullptr;
    // One byte of room beyond `size` tells a longer text from an exact one.
    std::vector<unsigned char> room(size + 1);
    if (sodium_base642bin(room.data(), room.size(), text.data(), text.size(), nullptr, &decoded,
                          &end, sodium_base64_VARIANT_ORIGINAL) != 0)
        return false;
    if (end != text.data() + text.size() || decoded != size)
        return false;
    std::memcpy(out, room.data(), size);
    return true;
}

} // namespace

const char* MinisignCheckText(MinisignCheck check) {
    switch (check) {
    case MinisignCheck::Verified:
        return "the signature verifies";
    case MinisignCheck::Missing:
        return "the signature file is missing";
    case MinisignCheck::Malformed:
        return "the signature file is not a minisign signature";
    case MinisignCheck::UnknownAlgorithm:
        return "the signature's algorithm is unknown";
    case MinisignCheck::UntrustedKey:
        return "the signing key is not trusted here";
    case MinisignCheck::BadSignature:
        return "the signature does not verify";
    case MinisignCheck::BadTrustedComment:
        return "the trusted comment does not verify";
    }
    return "the signature check failed";
}

std::string MinisignKeyIdHex(const MinisignKeyId& id) {
    std::string hex;
    char digits[3];
    for (size_t i = id.size(); i-- > 0;) {
        std::snprintf(digits, sizeof digits, "%02X", id[i]);
        hex += digits;
    }
    return hex;
}

bool ParseMinisignPublicKey(std::string_view text, MinisignPublicKey* key, std::string* error) {
    const std::vector<std::string_view> lines = Lines(text);
    if (lines.size() != 2 || !StartsWith(lines[0], kUntrusted)) {
        *error = "not an untrusted comment line and a key line";
        return false;
    }
    unsigned char raw[2 + 8 + 32];
    if (!DecodeExactly(lines[1], raw, sizeof raw)) {
        *error = "the key line is not the base64 of 42 bytes";
        return false;
    }
    if (raw[0] != 'E' || raw[1] != 'd') {
        *error = "the key's algorithm is not Ed";
        return false;
    }
    std::memcpy(key->id.data(), raw + 2, 8);
    std::memcpy(key->key.data(), raw + 10, 32);
    return true;
}

bool ParseMinisignSignature(std::string_view text, MinisignSignature* signature,
                            MinisignCheck* check, std::string* error) {
    *check = MinisignCheck::Malformed;
    const std::vector<std::string_view> lines = Lines(text);
    if (lines.size() != 4 || !StartsWith(lines[0], kUntrusted) || !StartsWith(lines[2], kTrusted)) {
        *error = "not the four lines of a signature";
        return false;
    }
    unsigned char raw[2 + 8 + 64];
    if (!DecodeExactly(lines[1], raw, sizeof raw)) {
        *error = "the signature line is not the base64 of 74 bytes";
        return false;
    }
    if (!DecodeExactly(lines[3], signature->globalSignature.data(), 64)) {
        *error = "the global signature line is not the base64 of 64 bytes";
        return false;
    }
    if (raw[0] == 'E' && raw[1] == 'd')
        signature->prehashed = false;
    else if (raw[0] == 'E' && raw[1] == 'D')
        signature->prehashed = true;
    else {
        *check = MinisignCheck::UnknownAlgorithm;
        *error = "the algorithm is neither Ed nor ED";
        return false;
    }
    std::memcpy(signature->keyId.data(), raw + 2, 8);
    std::memcpy(signature->signature.data(), raw + 10, 64);
    signature->trustedComment = std::string(lines[2].substr(kTrusted.size()));
    return true;
}

MinisignResult VerifyMinisign(std::string_view message, std::string_view signatureText,
                              const std::vector<MinisignPublicKey>& trusted) {
    MinisignResult result;
    MinisignSignature signature;
    if (!ParseMinisignSignature(signatureText, &signature, &result.check, &result.detail))
        return result;
    result.keyId = MinisignKeyIdHex(signature.keyId);
    result.trustedComment = signature.trustedComment;
    if (sodium_init() < 0) {
        result.check = MinisignCheck::BadSignature;
        return result;
    }

    unsigned char hash[crypto_generichash_BYTES_MAX];
    const unsigned char* signedBytes = reinterpret_cast<const unsigned char*>(message.data());
    size_t signedSize = message.size();
    if (signature.prehashed) {
        crypto_generichash(hash, sizeof hash, signedBytes, signedSize, nullptr, 0);
        signedBytes = hash;
        signedSize = sizeof hash;
    }
    // The global signature covers the file's signature and the trusted comment's text.
    std::string global(reinterpret_cast<const char*>(signature.signature.data()), 64);
    global += signature.trustedComment;

    result.check = MinisignCheck::UntrustedKey;
    for (const MinisignPublicKey& key : trusted) {
        if (key.id != signature.keyId)
            continue;
        if (crypto_sign_verify_detached(signature.signature.data(), signedBytes, signedSize,
                                        key.key.data()) != 0) {
            result.check = MinisignCheck::BadSignature;
            continue;
        }
        result.check =
            crypto_sign_verify_detached(signature.globalSignature.data(),
                                        reinterpret_cast<const unsigned char*>(global.data()),
                                        global.size(), key.key.data()) == 0
                ? MinisignCheck::Verified
                : MinisignCheck::BadTrustedComment;
        if (result.check == MinisignCheck::Verified)
            break;
    }
    return result;
}

} // namespace line
