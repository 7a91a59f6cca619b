// A recipe: one file that an engineer approves (signs) and that pins what a line flashes.
//
//     name = "OD main board"
//     revision = "3"
//     target = "OD"                  # or "Stepper"
//     slaves = [0x14, 0x15]          # Stepper only: from 0x14 0x15 0x18 0x1C 0x1D, in this order
//     image = "od-main-3.hex"        # relative to the recipe's folder, or absolute
//     image_sha256 = "9f2c..."       # 64 hex digits
//
//     [serial]                       # optional: each board its own number (RecipeSerial.h)
//
// Every key is required (slaves only for Stepper; [serial] optional) and no other key is allowed: a
// recipe that an engineer got wrong must not run half-understood.
#pragma once

#include "line/RecipeSerial.h"
#include "line/Verdict.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace line {

enum class RecipeTarget { OD, Stepper };

// "OD" or "Stepper".
const char* RecipeTargetName(RecipeTarget target);

struct Recipe {
    std::string file; // the recipe file
    std::string name;
    std::string revision;
    RecipeTarget target = RecipeTarget::OD;
    std::vector<unsigned> slaves; // Stepper: the addresses in flashing order; OD: empty
    std::string image;            // as written in the recipe
    std::string imagePath;        // resolved against the recipe's folder
    std::string imageSha256;      // 64 lower-case hex digits
    RecipeSerial serial;          // serial.present only with a [serial] table
};

// The most an image may hold: it is read whole into memory.
const size_t kMaxImageBytes = 64u << 20;

// Reads a recipe's text. Refuses with exit class 2 and "FILE:LINE:COLUMN: what is wrong".
Verdict ParseRecipe(const std::string& file, std::string_view text, Recipe* recipe);

// Whether address may be flashed as a Stepper slave: one of the five.
bool IsStepperAddress(unsigned address);

// Reads the recipe's image once into *bytes and compares its hash: exit class 3 when it cannot
// be read (or is larger than kMaxImageBytes), 7 when its hash differs.
Verdict ReadRecipeImage(const Recipe& recipe, std::string* bytes);

// What `korvane recipe new` is asked for.
struct RecipeDraft {
    RecipeTarget target = RecipeTarget::OD;
    std::vector<unsigned> slaves; // Stepper only
    std::string image;            // written into the recipe as given
    std::string name;             // "" for the image's file name without its extension
    std::string revision;         // "" for "1"
};

// A recipe for the draft with the image's hash, ready to sign, into *text. Exit class 2 for a
// draft that breaks a rule, 3 for an image that cannot be read.
Verdict RecipeNew(const RecipeDraft& draft, std::string* text);

} // namespace line
