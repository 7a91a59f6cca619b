// The keys a station trusts: every *.pub file in its key folder, each as `minisign -G` writes
// it. The folder and each key must pass the trust rule (TrustRule.h); a key file that is not
// a public key refuses the folder rather than being passed over, so a broken key is noticed.
#pragma once

#include "line/Minisign.h"
#include "line/Verdict.h"

#include <string>
#include <vector>

namespace line {

struct TrustedKey {
    std::string file; // the key file it came from
    MinisignPublicKey key;
};

// Loads the folder's keys, in file name order, into *keys. Refuses (exit class 7) a folder that
// cannot be read, is not trusted, holds an untrusted or unreadable key, or holds no key.
Verdict LoadTrustedKeys(const std::string& folder, unsigned user, std::vector<TrustedKey>* keys);

std::vector<MinisignPublicKey> KeysOf(const std::vector<TrustedKey>& keys);

} // namespace line
