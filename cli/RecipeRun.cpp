#include "cli/RecipeRun.h"

#include "platform/host/files.h"

#include <cstdio>
#include <cstdlib>

line::Verdict LoadThisStation(line::StationSettings* settings) {
    return line::LoadStation(line::kSystemStationFile, std::getenv(line::kStationFileVariable),
                             host::CurrentUser(), settings);
}

line::Approval ApproveHere(const std::string& recipe, bool allowUnsigned) {
    line::StationSettings station;
    line::Approval approval;
    approval.verdict = LoadThisStation(&station);
    if (approval.verdict.Passed())
        approval = line::ApproveRecipe(station, recipe, allowUnsigned, host::CurrentUser());
    return approval;
}

int SayRefused(const char* command, const line::Verdict& verdict) {
    std::fprintf(stderr, "korvane%s%s: %s\n", command ? " " : "", command ? command : "",
                 verdict.message.c_str());
    return verdict.exitClass;
}

void TakeRecipeTarget(const line::Recipe& recipe, FLASH_OPTIONS* options) {
    options->slaves.clear();
    if (recipe.target == line::RecipeTarget::OD) {
        options->target = &g_odTarget;
        options->slaves.assign(g_odTarget.slaves, g_odTarget.slaves + g_odTarget.slaveCount);
    } else {
        options->target = &g_stepperTarget;
        for (unsigned slave : recipe.slaves)
            options->slaves.push_back(static_cast<uint8_t>(slave));
    }
}

RECIPE_RECORD RecipeRecordOf(const line::Approval& approval) {
    RECIPE_RECORD record;
    record.name = approval.recipe.name;
    record.revision = approval.recipe.revision;
    record.sha256 = approval.recipeSha256;
    if (approval.signedRecipe)
        record.signer = approval.signer;
    return record;
}

APPROVED_IMAGE ApprovedImageOf(const line::Approval& approval) {
    APPROVED_IMAGE image;
    image.file = approval.recipe.imagePath;
    image.bytes.assign(approval.image.begin(), approval.image.end());
    image.recipe = RecipeRecordOf(approval);
    return image;
}
