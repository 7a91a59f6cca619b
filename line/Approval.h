// Approval: whether a recipe may run on this station, and the exact bytes it runs.
//
//     station file -> recipe (read once, parsed) -> signature (R.minisig) against the trusted
//     keys -> image (read once, hashed) -> the approved bytes
//
// Every file is read afresh on each call, so a station that approves before each board notices
// a recipe or image replaced between two boards.
#pragma once

#include "line/Recipe.h"
#include "line/StationFile.h"
#include "line/Verdict.h"

#include <string>

namespace line {

struct Approval {
    Verdict verdict;   // passed, or the exit class and the one line that refuses it
    Recipe recipe;     // as parsed (once it could be)
    std::string image; // the image's bytes, read once and hashed: the bytes to flash
    std::string recipeSha256;
    bool signedRecipe = false;  // false only for an unsigned recipe allowed by --unsigned
    std::string signer;         // the key id in hex, "" when unsigned
    std::string trustedComment; // verified with the signature
    std::string signatureFile;  // R.minisig
};

// The signature file of a recipe: the recipe's path with ".minisig" added.
std::string SignatureFileOf(const std::string& recipeFile);

// Approves recipeFile on the station whose settings were loaded (LoadStation). allowUnsigned
// (--unsigned) takes a recipe without checking a signature, where the station does not require
// recipes. user is the user running the program (host::CurrentUser()).
Approval ApproveRecipe(const StationSettings& station, const std::string& recipeFile,
                       bool allowUnsigned, unsigned user);

} // namespace line
