// Arbitrary public key and signature files through the minisign readers and the verifier: they
// must stay inside their input, refuse with a reason, and never take a malformed file.
#include "line/Minisign.h"

#include <sodium.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Base64(const uint8_t* data, size_t size) {
    std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1); // the terminating zero
    return text;
}

// Renders bytes as the lines of a signature, so that the fuzzer passes the base64 and reaches
// the algorithm, the key ids and the verification: 74 bytes of signature line, a comment of the
// length the next byte says, 64 bytes of global signature.
std::string RenderSignature(const uint8_t* data, size_t size) {
    if (size < 74 + 1)
        return std::string(reinterpret_cast<const char*>(data), size);
    std::string text = "untrusted comment: fuzz\n" + Base64(data, 74) + "\n";
    data += 74, size -= 74;
    const size_t comment = std::min<size_t>(data[0], size - 1);
    text += "trusted comment: " + std::string(reinterpret_cast<const char*>(data + 1), comment);
    data += 1 + comment, size -= 1 + comment;
    return text + "\n" + Base64(data, std::min<size_t>(size, 64)) + "\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    ++data, --size;
    const std::string raw(reinterpret_cast<const char*>(data), size);

    line::MinisignPublicKey key;
    std::string error;
    if (line::ParseMinisignPublicKey(raw, &key, &error)) {
        if (line::MinisignKeyIdHex(key.id).size() != 16)
            abort();
    } else if (error.empty()) {
        abort();
    }

    // Odd modes render a well-formed signature from the bytes; a trusted key of the
    // signature's key id (made from the same bytes) lets the verifier run to its end.
    const std::string signatureText = (mode & 1) ? RenderSignature(data, size) : raw;
    line::MinisignSignature signature;
    line::MinisignCheck check = line::MinisignCheck::Verified;
    if (line::ParseMinisignSignature(signatureText, &signature, &check, &error)) {
        if (signature.trustedComment.find('\n') != std::string::npos)
            abort();
    } else if (check != line::MinisignCheck::Malformed &&
               check != line::MinisignCheck::UnknownAlgorithm) {
        abort();
    }

    std::vector<line::MinisignPublicKey> trusted;
    if (mode & 2) {
        line::MinisignPublicKey known;
        known.id = signature.keyId;
        for (size_t i = 0; i < known.key.size() && i < size; ++i)
            known.key[i] = data[size - 1 - i];
        trusted.push_back(known);
    }
    const line::MinisignResult result = line::VerifyMinisign(raw, signatureText, trusted);
    if (result.check == line::MinisignCheck::Missing)
        abort();
    return 0;
}
