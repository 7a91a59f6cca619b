#include "line/TrustedKeys.h"

#include "line/TrustRule.h"
#include "platform/host/files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace line {

namespace {

// A public key file is two short lines; anything larger is not one.
const size_t kMaxKeyFileBytes = 4096;

Verdict Refuse(const std::string& what) {
    return Verdict::Refuse(kNotApproved, what);
}

} // namespace

Verdict LoadTrustedKeys(const std::string& folder, unsigned user, std::vector<TrustedKey>* keys) {
    keys->clear();
    host::FileFacts facts;
    std::string error;
    if (!host::FolderFacts(folder, &facts, &error))
        return Refuse("key folder " + folder + " cannot be read: " + error);
    const std::string why = Untrusted(facts, user);
    if (!why.empty())
        return Refuse("key folder " + folder + " is not trusted: " + why);

    std::vector<std::string> files;
    std::error_code failure;
    std::filesystem::directory_iterator entry(folder, failure), end;
    for (; !failure && entry != end; entry.increment(failure)) {
        const std::filesystem::path& path = entry->path();
        if (path.extension() == ".pub")
            files.push_back(path.string());
    }
    if (failure)
        return Refuse("key folder " + folder + " cannot be read: " + failure.message());
    std::sort(files.begin(), files.end());

    for (const std::string& file : files) {
        std::string text;
        if (host::ReadWholeFile(file, kMaxKeyFileBytes, &text, &facts, &error) !=
            host::ReadStatus::Read)
            return Refuse("key file " + file + " cannot be read: " + error);
        const std::string whyKey = Untrusted(facts, user);
        if (!whyKey.empty())
            return Refuse("key file " + file + " is not trusted: " + whyKey);
        TrustedKey key{file, {}};
        if (!ParseMinisignPublicKey(text, &key.key, &error))
            return Refuse("key file " + file + " is not a minisign public key: " + error);
        keys->push_back(key);
    }
    if (keys->empty())
        return Refuse("key folder " + folder + " holds no public key (*.pub)");
    return Verdict::Pass();
}

std::vector<MinisignPublicKey> KeysOf(const std::vector<TrustedKey>& keys) {
    std::vector<MinisignPublicKey> plain;
    for (const TrustedKey& key : keys)
        plain.push_back(key.key);
    return plain;
}

} // namespace line
