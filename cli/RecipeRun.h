// What the commands take from line/ around a run: this station's settings, a refusal said in
// one line, and an approved recipe turned into the run's target, slaves and record.
#pragma once

#include "cli/FlashOptions.h"
#include "cli/FlashRecord.h"
#include "cli/HeadlessFlash.h"
#include "line/Approval.h"

#include <string>

// The settings of the station this program runs on (/etc/korvane/station.toml, or the file
// KORVANE_STATION_FILE names where that one does not exist), for the user running it.
line::Verdict LoadThisStation(line::StationSettings* settings);

// Approves the recipe on this station (LoadThisStation, then line::ApproveRecipe): every file
// read afresh. The approval's verdict says whether it passed.
line::Approval ApproveHere(const std::string& recipe, bool allowUnsigned);

// Says the verdict's one line on standard error ("korvane flash: ...") and returns its exit
// status.
int SayRefused(const char* command, const line::Verdict& verdict);

// The approved recipe's target and slaves, in its order, as the run's.
void TakeRecipeTarget(const line::Recipe& recipe, FLASH_OPTIONS* options);

// What each record says of the recipe.
RECIPE_RECORD RecipeRecordOf(const line::Approval& approval);

// The approved image as a run flashes it.
APPROVED_IMAGE ApprovedImageOf(const line::Approval& approval);
