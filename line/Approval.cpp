#include "line/Approval.h"

#include "line/Minisign.h"
#include "line/Sha256.h"
#include "line/TrustedKeys.h"
#include "platform/host/files.h"

namespace line {

namespace {

// A recipe is a few lines and a signature four; larger files are refused unread.
const size_t kMaxRecipeBytes = 1 << 20;
const size_t kMaxSignatureBytes = 1 << 16;

} // namespace

std::string SignatureFileOf(const std::string& recipeFile) {
    return recipeFile + ".minisig";
}

Approval ApproveRecipe(const StationSettings& station, const std::string& recipeFile,
                       bool allowUnsigned, unsigned user) {
    Approval approval;
    approval.signatureFile = SignatureFileOf(recipeFile);
    if (allowUnsigned) {
        approval.verdict = RefuseUnapproved(station, "--unsigned");
        if (!approval.verdict.Passed())
            return approval;
    }

    // The bytes parsed are the bytes whose signature is checked.
    std::string text, error;
    host::FileFacts facts;
    if (host::ReadWholeFile(recipeFile, kMaxRecipeBytes, &text, &facts, &error) !=
        host::ReadStatus::Read) {
        approval.verdict = Verdict::Refuse(kUsageError, recipeFile + ": cannot be read: " + error);
        return approval;
    }
    approval.verdict = ParseRecipe(recipeFile, text, &approval.recipe);
    if (!approval.verdict.Passed())
        return approval;
    approval.recipeSha256 = Sha256Hex(text);

    if (!allowUnsigned) {
        std::string signature;
        const host::ReadStatus read = host::ReadWholeFile(
            approval.signatureFile, kMaxSignatureBytes, &signature, &facts, &error);
        if (read == host::ReadStatus::Missing) {
            approval.verdict =
                Verdict::Refuse(kNotApproved, approval.signatureFile + ": " +
                                                  MinisignCheckText(MinisignCheck::Missing));
            return approval;
        }
        if (read != host::ReadStatus::Read) {
            approval.verdict = Verdict::Refuse(kNotApproved, approval.signatureFile +
                                                                 ": cannot be read: " + error);
            return approval;
        }
        std::vector<TrustedKey> keys;
        approval.verdict = LoadTrustedKeys(station.keys, user, &keys);
        if (!approval.verdict.Passed())
            return approval;
        const MinisignResult result = VerifyMinisign(text, signature, KeysOf(keys));
        if (result.check != MinisignCheck::Verified) {
            std::string line = approval.signatureFile + ": " + MinisignCheckText(result.check);
            if (!result.detail.empty())
                line += " (" + result.detail + ")";
            else if (!result.keyId.empty())
                line += " (key " + result.keyId + ")";
            approval.verdict = Verdict::Refuse(kNotApproved, line);
            return approval;
        }
        approval.signedRecipe = true;
        approval.signer = result.keyId;
        approval.trustedComment = result.trustedComment;
    }

    approval.verdict = ReadRecipeImage(approval.recipe, &approval.image);
    return approval;
}

} // namespace line
