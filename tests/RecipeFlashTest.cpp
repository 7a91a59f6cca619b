// `korvane flash --recipe` and the station's lock, as a line runs them against korvane-sim:
// recipes signed by the real minisign, every file in the test's own folder. A recipe that is
// not approved sends nothing, not even OD's Reset.
#include "FlashRig.h"
#include "tests/support/KorvaneRun.h"
#include "tests/support/Recipes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>

namespace flashtest {
namespace {

namespace fs = std::filesystem;
using runtest::Finished;
using runtest::RunKorvane;
using testsupport::WriteText;
using Strings = std::vector<std::string>;

using simtest::Sha256Sum;

// One bench: a station (keys/A.pub, station.toml) and an image with its recipe, signed by A.
struct Bench {
    std::string dir, keys;
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string Recipe() const { return Path("recipe.toml"); }
    void Sign(const std::string& file, const std::string& key = "A",
              const std::string& options = "-t 'released by QA'") const {
        ASSERT_TRUE(testsupport::MinisignSign(keys + "/" + key + ".sec", file, options));
    }
    void Edit(const std::string& file, const std::string& from, const std::string& to) const {
        ASSERT_TRUE(testsupport::ReplaceInFile(Path(file), from, to)) << from;
    }
    // Writes the image and a recipe for it ("" for OD's slaves), and signs it.
    void Make(const std::string& image, const std::string& target, const std::string& slaves) {
        WriteText(Path("image.hex"), image);
        WriteText(Recipe(), "name = \"Main board\"\nrevision = \"3\"\ntarget = \"" + target +
                                "\"\n" + (slaves.empty() ? "" : "slaves = " + slaves + "\n") +
                                "image = \"image.hex\"\nimage_sha256 = \"" +
                                Sha256Sum(Path("image.hex")) + "\"\n");
        Sign(Recipe());
    }
};

class RecipeFlash : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_keys = testsupport::MakeTempDir("korvane-recipe-keys");
        for (const char* key : {"A", "B"})
            ASSERT_TRUE(testsupport::MakeMinisignKey(s_keys, key));
    }
    static void TearDownTestSuite() { fs::remove_all(s_keys); }
    void SetUp() override {
        // The system's station file would win over the tests' own.
        if (fs::exists("/etc/korvane/station.toml"))
            GTEST_SKIP() << "/etc/korvane/station.toml exists on this machine";
    }
    void TearDown() override {
        for (const Bench& bench : m_benches)
            fs::remove_all(bench.dir);
    }
    Bench& Fresh() {
        m_benches.push_back({testsupport::MakeTempDir("korvane-recipe"), s_keys});
        EXPECT_TRUE(testsupport::MakeRecipeStation(m_benches.back().dir, s_keys + "/A.pub"));
        return m_benches.back();
    }
    static std::string s_keys;
    std::vector<Bench> m_benches;
};

std::string RecipeFlash::s_keys;

// Signed recipes of both targets (and an unsigned one on a bench): the slaves in the recipe's
// order, the approved image, and the record's recipe.
TEST_F(RecipeFlash, ApprovedRecipesAreFlashedAndRecorded) {
    const struct {
        const char* name;
        std::string image, target, slaves;
        bool signedRecipe;
        Strings recorded; // each record's slave
    } kCases[] = {
        {"OD", HexFile(0, Pattern(200), 1), "OD", "", true, {"1"}},
        {"Stepper", HexFile(0, Pattern(300), 2), "Stepper", "[0x1D, 0x14]", true, {"29", "20"}},
        {"unsigned", HexFile(0, Pattern(100), 2), "Stepper", "[0x15]", false, {"21"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FlashRig rig;
        ASSERT_TRUE(rig.Ok());
        Bench& bench = Fresh();
        bench.Make(c.image, c.target, c.slaves);
        Strings args = {"flash", "--recipe", bench.Recipe(), "--port", rig.Sim().Path(), "--json"};
        if (!c.signedRecipe) {
            fs::remove(bench.Recipe() + ".minisig");
            args.push_back("--unsigned");
        }
        const Finished run = RunKorvane(args, {testsupport::StationFileSetting(bench.dir)});
        EXPECT_EQ(run.exit, 0) << run.err;
        const Strings records = runtest::Lines(run.out);
        ASSERT_EQ(records.size(), c.recorded.size()) << run.out << run.err;
        for (size_t i = 0; i < records.size(); ++i) {
            const auto record = nlohmann::json::parse(records[i]);
            EXPECT_EQ(record["target"], c.target);
            EXPECT_EQ(std::to_string(record["slave"].get<int>()), c.recorded[i]);
            EXPECT_EQ(record["file"], bench.Path("image.hex"));
            EXPECT_EQ(record["file_sha256"], Sha256Sum(bench.Path("image.hex")));
            EXPECT_EQ(record["result"], "Update sucessfully completed");
            const auto& recipe = record["recipe"];
            EXPECT_EQ(recipe["name"], "Main board");
            EXPECT_EQ(recipe["revision"], "3");
            EXPECT_EQ(recipe["sha256"], Sha256Sum(bench.Recipe()));
            if (c.signedRecipe)
                EXPECT_EQ(recipe["signer"], testsupport::MinisignKeyIdOf(s_keys + "/A.pub"));
            else
                EXPECT_TRUE(recipe["signer"].is_null());
        }
        rig.StopSim();
        EXPECT_FALSE(Commands(rig.Sim()).empty());
    }
}

// A gang: each port's run gets the recipe (and approves it again), so each record names it.
TEST_F(RecipeFlash, GangRunsTakeTheRecipe) {
    Bench& bench = Fresh();
    bench.Make(HexFile(0, Pattern(128), 2), "Stepper", "[0x18]");
    simtest::Sim first({}, false), second({}, false);
    ASSERT_TRUE(first.Ok() && second.Ok());
    const std::string record = bench.Path("records.jsonl");
    const Finished run = RunKorvane({"flash", "--recipe", bench.Recipe(), "--port", first.Path(),
                                     "--port", second.Path(), "--record", record},
                                    {testsupport::StationFileSetting(bench.dir)});
    EXPECT_EQ(run.exit, 0) << run.out << run.err;
    const Strings records = runtest::Lines(testsupport::Slurp(record));
    ASSERT_EQ(records.size(), 2u) << run.out << run.err;
    for (const std::string& line : records) {
        const auto json = nlohmann::json::parse(line);
        EXPECT_EQ(json["slave"], 0x18);
        EXPECT_EQ(json["recipe"]["sha256"], Sha256Sum(bench.Recipe()));
    }
}

// `recipe new` writes what `recipe check` approves once signed; check says what it found.
TEST_F(RecipeFlash, NewThenCheck) {
    Bench& bench = Fresh();
    WriteText(bench.Path("image.hex"), HexFile(0, Pattern(64), 2));
    const std::string station = testsupport::StationFileSetting(bench.dir);
    const Finished made =
        RunKorvane({"recipe", "new", "--stepper", "0x1C,0x14", "--image", bench.Path("image.hex"),
                    "--name", "Rear axis", "--revision", "7"});
    ASSERT_EQ(made.exit, 0) << made.err;
    WriteText(bench.Recipe(), made.out);
    bench.Sign(bench.Recipe(), "A", "-t 'QA \x1b[2J batch 7'");
    const Finished check = RunKorvane({"recipe", "check", bench.Recipe()}, {station});
    EXPECT_EQ(check.exit, 0) << check.err;
    EXPECT_EQ(check.out, "name: Rear axis\nrevision: 7\ntarget: Stepper\nslaves: 0x1C,0x14\n"
                         "image: " +
                             bench.Path("image.hex") +
                             "\nsha256: " + Sha256Sum(bench.Path("image.hex")) +
                             "\nsigner: " + testsupport::MinisignKeyIdOf(s_keys + "/A.pub") +
                             " QA \\x1B[2J batch 7\n");
    EXPECT_EQ(RunKorvane({"recipe", "new", "--od", "--image", bench.Path("none.hex")}).exit, 3);
    EXPECT_EQ(RunKorvane({"recipe", "new", "--image", bench.Path("image.hex")}).exit, 2);
    bench.Sign(bench.Recipe(), "B");
    EXPECT_EQ(RunKorvane({"recipe", "check", bench.Recipe()}, {station}).exit, 7);
}

// Every input that must not run: its exit status, one line on standard error that says what
// failed and names the file, and nothing on the wire.
TEST_F(RecipeFlash, RefusedInputsSendNothing) {
    enum Run { RECIPE, FREE_FLASH, DIALOG };
    const struct {
        const char* what;
        std::function<void(Bench&)> prepare;
        int exit;
        std::string says;
        Run run = RECIPE;
    } kCases[] = {
        {"TOML syntax error", [](Bench& b) { b.Edit("recipe.toml", "\"3\"", "\"3"); }, 2,
         "recipe.toml:2:"},
        {"unknown key", [](Bench& b) { b.Edit("recipe.toml", "target", "colour = 1\ntarget"); }, 2,
         "recipe.toml:3:1: unknown key colour"},
        {"missing key", [](Bench& b) { b.Edit("recipe.toml", "revision = \"3\"\n", ""); }, 2,
         "missing key revision"},
        {"bad target", [](Bench& b) { b.Edit("recipe.toml", "\"OD\"", "\"Servo\""); }, 2,
         "recipe.toml:3:10: target must be"},
        {"address outside the five",
         [](Bench& b) { b.Edit("recipe.toml", "\"OD\"", "\"Stepper\"\nslaves = [0x16]"); }, 2,
         "slave address 0x16 is not one of"},
        {"slaves for OD",
         [](Bench& b) { b.Edit("recipe.toml", "image =", "slaves = [0x14]\nimage ="); }, 2,
         "slaves are for a Stepper recipe only"},
        {"hash not 64 hex digits",
         [](Bench& b) { b.Edit("recipe.toml", "image_sha256 = \"", "image_sha256 = \"g"); }, 2,
         "image_sha256 must be 64 hex digits"},
        {"image missing", [](Bench& b) { fs::remove(b.Path("image.hex")); }, 3,
         "image.hex cannot be read"},
        {"image one byte off", [](Bench& b) { b.Edit("image.hex", ":10", ":11"); }, 7,
         "image.hex does not match"},
        {"signature over another file",
         [](Bench& b) {
             fs::copy_file(b.Recipe(), b.Path("other.toml"));
             b.Edit("other.toml", "\"3\"", "\"4\"");
             b.Sign(b.Path("other.toml"));
             fs::rename(b.Path("other.toml.minisig"), b.Recipe() + ".minisig");
         },
         7, "recipe.toml.minisig: the signature does not verify"},
        {"recipe changed after signing", [](Bench& b) { b.Edit("recipe.toml", "\"3\"", "\"4\""); },
         7, "recipe.toml.minisig: the signature does not verify"},
        {"trusted comment changed",
         [](Bench& b) { b.Edit("recipe.toml.minisig", "released by QA", "released by Q&A"); }, 7,
         "recipe.toml.minisig: the trusted comment does not verify"},
        {"untrusted key id", [](Bench& b) { b.Sign(b.Recipe(), "B"); }, 7,
         "recipe.toml.minisig: the signing key is not trusted here"},
        {"signature truncated",
         [](Bench& b) {
             const std::string text = testsupport::Slurp(b.Recipe() + ".minisig");
             WriteText(b.Recipe() + ".minisig", text.substr(0, text.size() / 2));
         },
         7, "recipe.toml.minisig: the signature file is not a minisign signature"},
        {"empty key folder", [](Bench& b) { fs::remove(b.Path("keys/A.pub")); }, 7,
         "keys holds no public key"},
        {"station file others can write",
         [](Bench& b) { fs::permissions(b.Path("station.toml"), fs::perms(0666)); }, 7,
         "station.toml is not trusted: others than its owner can write it"},
        {"unsigned on a locked station",
         [](Bench& b) { WriteText(b.Path("station.toml"), "require_recipe = true\n"); }, 7,
         "station.toml): --unsigned is refused"},
        {"free flash on a locked station",
         [](Bench& b) { WriteText(b.Path("station.toml"), "require_recipe = true\n"); }, 7,
         "station.toml): a free flash is refused", FREE_FLASH},
        {"the dialog on a locked station",
         [](Bench& b) { WriteText(b.Path("station.toml"), "require_recipe = true\n"); }, 7,
         "station.toml): the dialog is refused", DIALOG},
    };
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        Bench& bench = Fresh();
        bench.Make(HexFile(0, Pattern(64), 1), "OD", "");
        c.prepare(bench);
        Strings args = {"flash", "--recipe", bench.Recipe(), "--port", rig.Sim().Path()};
        if (c.what == std::string("unsigned on a locked station"))
            args.push_back("--unsigned");
        if (c.run == FREE_FLASH)
            args = {"flash", "--od", "--port", rig.Sim().Path(), bench.Path("image.hex")};
        if (c.run == DIALOG)
            args = {"--port", rig.Sim().Path()};
        const std::string log = bench.Path("korvane.log");
        const Finished run = RunKorvane(
            args, {testsupport::StationFileSetting(bench.dir), "KORVANE_LOG=" + log}, 10000);
        EXPECT_EQ(run.exit, c.exit) << run.err;
        const Strings lines = runtest::Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_NE(lines[0].find(c.says), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(bench.dir), std::string::npos) << lines[0];
        EXPECT_EQ(run.out, "");
        if (c.run == DIALOG) {
            EXPECT_NE(testsupport::Slurp(log).find(lines[0]), std::string::npos);
        }
        EXPECT_EQ(rig.Sim().Requests(), Strings{});
    }
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()), Strings{});
}

} // namespace
} // namespace flashtest
