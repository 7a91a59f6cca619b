// Approving a recipe on a station: keys and signatures made by the real minisign tool, every
// file in a temporary folder, each bad input one row with its exit class and its one line.
#include "line/Approval.h"
#include "line/Minisign.h"
#include "line/Sha256.h"
#include "line/StationFile.h"
#include "platform/host/files.h"
#include "tests/support/Files.h"
#include "tests/support/Recipes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace {

namespace fs = std::filesystem;

using testsupport::WriteText;

// Replaces the first `from` in the file with `to`.
void Edit(const std::string& path, const std::string& from, const std::string& to) {
    ASSERT_TRUE(testsupport::ReplaceInFile(path, from, to)) << from << " in " << path;
}

int Shell(const std::string& command) {
    return testsupport::QuietShell(command);
}

const std::string kImage = ":0400000001020304F2\n:00000001FF\n";
const std::string kRecipe = "name = \"OD main board\"\n"
                            "revision = \"3\"\n"
                            "target = \"OD\"\n"
                            "image = \"od.hex\"\n"
                            "image_sha256 = \"" +
                            line::Sha256Hex(kImage) + "\"\n";

// One case's folder: a station file naming keys/ (holding key A), od.hex, recipe.toml signed
// by key A.
struct Bench {
    std::string dir, suite;
    std::string systemStation; // the station file at the system's place; absent by default
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string Recipe() const { return Path("recipe.toml"); }
    std::string Signature() const { return Path("recipe.toml.minisig"); }
    // Signs with key (A, B) and minisign's options (-l legacy, -t comment).
    void Sign(const std::string& file, const std::string& key = "A",
              const std::string& options = "") const {
        ASSERT_TRUE(testsupport::MinisignSign(suite + "/" + key + ".sec", file, options));
    }
};

enum class Action { Approve, ApproveUnsigned, FreeFlash };

struct Case {
    const char* what;
    std::function<void(Bench&)> prepare;
    int exitClass;
    std::string says; // part of the one line, which names the file
    Action action = Action::Approve;
};

class RecipeApproval : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_suite = testsupport::MakeTempDir("korvane-recipes");
        ASSERT_FALSE(s_suite.empty());
        for (const char* key : {"A", "B"})
            ASSERT_TRUE(testsupport::MakeMinisignKey(s_suite, key));
    }
    static void TearDownTestSuite() { fs::remove_all(s_suite); }

    static Bench Fresh(const std::string& name) {
        Bench bench{s_suite + "/" + name, s_suite, ""};
        EXPECT_TRUE(testsupport::MakeRecipeStation(bench.dir, s_suite + "/A.pub"));
        WriteText(bench.Path("od.hex"), kImage);
        WriteText(bench.Recipe(), kRecipe);
        bench.Sign(bench.Recipe(), "A", "-t 'released by QA'");
        return bench;
    }

    // The key id that `minisign -G` wrote into the public key's comment.
    static std::string PrintedKeyId(const std::string& key) {
        return testsupport::MinisignKeyIdOf(s_suite + "/" + key + ".pub");
    }

    static std::string s_suite;
};

std::string RecipeApproval::s_suite;

TEST_F(RecipeApproval, EachInputHasItsExitClassAndOneLine) {
    const std::string stepper = "name = \"Stepper\"\nrevision = \"1\"\ntarget = \"Stepper\"\n"
                                "slaves = [0x1D, 0x14]\nimage = \"od.hex\"\nimage_sha256 = \"" +
                                line::Sha256Hex(kImage) + "\"\n";
    const bool root = host::CurrentUser() == 0;
    std::vector<Case> cases = {
        {"signed (ED, minisign's default)", [](Bench&) {}, 0, ""},
        {"signed in the legacy format (Ed)",
         [&](Bench& b) {
             WriteText(b.Recipe(), stepper);
             b.Sign(b.Recipe(), "A", "-l");
         },
         0, ""},
        {"TOML syntax error",
         [](Bench& b) { Edit(b.Recipe(), "revision = \"3\"", "revision = \"3"); }, 2,
         "recipe.toml:2:"},
        {"unknown key", [](Bench& b) { Edit(b.Recipe(), "target", "colour = \"red\"\ntarget"); }, 2,
         "recipe.toml:3:1: unknown key colour"},
        {"missing key", [](Bench& b) { Edit(b.Recipe(), "revision = \"3\"\n", ""); }, 2,
         "recipe.toml:1:1: missing key revision"},
        {"target neither OD nor Stepper", [](Bench& b) { Edit(b.Recipe(), "\"OD\"", "\"Servo\""); },
         2, "recipe.toml:3:10: target must be \"OD\" or \"Stepper\""},
        {"Stepper address outside the five",
         [&](Bench& b) {
             WriteText(b.Recipe(), stepper);
             Edit(b.Recipe(), "0x1D", "0x16");
         },
         2, "recipe.toml:4:10: slave address 0x16 is not one of"},
        {"Stepper without slaves",
         [&](Bench& b) {
             WriteText(b.Recipe(), stepper);
             Edit(b.Recipe(), "slaves", "# slaves");
         },
         2, "missing key slaves"},
        {"slaves for OD", [](Bench& b) { Edit(b.Recipe(), "image =", "slaves = [0x14]\nimage ="); },
         2, "recipe.toml:4:10: slaves are for a Stepper recipe only"},
        {"hash not 64 hex digits",
         [](Bench& b) { Edit(b.Recipe(), "image_sha256 = \"", "image_sha256 = \"g"); }, 2,
         "recipe.toml:5:16: image_sha256 must be 64 hex digits"},
        {"image missing", [](Bench& b) { fs::remove(b.Path("od.hex")); }, 3,
         "od.hex cannot be read"},
        {"image one byte off", [](Bench& b) { Edit(b.Path("od.hex"), "01020304", "01020305"); }, 7,
         "od.hex does not match"},
        {"signature over another file",
         [](Bench& b) {
             WriteText(b.Path("other.toml"), kRecipe + "\n");
             b.Sign(b.Path("other.toml"));
             fs::copy_file(b.Path("other.toml.minisig"), b.Signature(),
                           fs::copy_options::overwrite_existing);
         },
         7, "recipe.toml.minisig: the signature does not verify"},
        {"recipe changed by one byte after signing",
         [](Bench& b) { Edit(b.Recipe(), "\"3\"", "\"4\""); }, 7,
         "recipe.toml.minisig: the signature does not verify"},
        {"trusted comment changed",
         [](Bench& b) { Edit(b.Signature(), "released by QA", "released by Q&A"); }, 7,
         "recipe.toml.minisig: the trusted comment does not verify"},
        {"key id that no trusted key has", [](Bench& b) { b.Sign(b.Recipe(), "B"); }, 7,
         "recipe.toml.minisig: the signing key is not trusted here (key " + PrintedKeyId("B")},
        {"signature truncated",
         [](Bench& b) {
             const std::string text = testsupport::Slurp(b.Signature());
             WriteText(b.Signature(), text.substr(0, text.size() / 2));
         },
         7, "recipe.toml.minisig: the signature file is not a minisign signature"},
        {"signature not base64",
         [](Bench& b) {
             std::string text = testsupport::Slurp(b.Signature());
             text[text.find('\n') + 5] = '*';
             WriteText(b.Signature(), text);
         },
         7, "recipe.toml.minisig: the signature file is not a minisign signature"},
        {"signature of an unknown algorithm",
         [](Bench& b) {
             // The signature line decoded, its algorithm "ED" made "EX", encoded again.
             const std::string sig = b.Signature();
             ASSERT_EQ(Shell("{ sed -n 1p " + sig + "; sed -n 2p " + sig +
                             " | base64 -d | { printf EX; tail -c +3; } | base64 -w0; echo; "
                             "sed -n 3,4p " +
                             sig + "; } >" + sig + ".new && mv " + sig + ".new " + sig),
                       0);
         },
         7, "recipe.toml.minisig: the signature's algorithm is unknown"},
        {"signature missing", [](Bench& b) { fs::remove(b.Signature()); }, 7,
         "recipe.toml.minisig: the signature file is missing"},
        {"key folder with no keys", [](Bench& b) { fs::remove(b.Path("keys/A.pub")); }, 7,
         "keys holds no public key"},
        {"key folder others can write",
         [](Bench& b) { fs::permissions(b.Path("keys"), fs::perms(0777)); }, 7,
         "keys is not trusted: others than its owner can write it"},
        {"key file that is no key", [](Bench& b) { WriteText(b.Path("keys/B.pub"), "B\n"); }, 7,
         "keys/B.pub is not a minisign public key"},
        {"station file others can write",
         [](Bench& b) { fs::permissions(b.Path("station.toml"), fs::perms(0666)); }, 7,
         "station.toml is not trusted: others than its owner can write it"},
        {"station file with an unknown key",
         [](Bench& b) { WriteText(b.Path("station.toml"), "keys = \"keys\"\nlocked = true\n"); }, 7,
         "station.toml:2:1: unknown key locked"},
        {"station file with the later parts' keys",
         [](Bench& b) {
             WriteText(b.Path("station.toml"),
                       "keys = \"keys\"\nname = \"line 4\"\nrecord = \"r\"\n"
                       "serial_journal = \"j\"\n[publish]\nbroker = \"b\"\n");
         },
         0, ""},
        {"unsigned on a station that allows it", [](Bench& b) { fs::remove(b.Signature()); }, 0, "",
         Action::ApproveUnsigned},
        {"unsigned on a locked station",
         [](Bench& b) { WriteText(b.Path("station.toml"), "require_recipe = true\n"); }, 7,
         "station.toml): --unsigned is refused", Action::ApproveUnsigned},
        {"free flash on a locked station",
         [](Bench& b) { WriteText(b.Path("station.toml"), "require_recipe = true\n"); }, 7,
         "station.toml): a free flash is refused", Action::FreeFlash},
        {"free flash on a station that allows it", [](Bench&) {}, 0, "", Action::FreeFlash},
        {"the system's station file wins over the variable",
         [](Bench& b) {
             b.systemStation = b.Path("system.toml");
             WriteText(b.systemStation, "require_recipe = true\n");
             fs::permissions(b.systemStation, fs::perms(0644));
         },
         7, "system.toml): a free flash is refused", Action::FreeFlash},
    };
    if (root)
        cases.push_back(
            {"station file owned by another user",
             [](Bench& b) { ASSERT_EQ(Shell("chown 65534 " + b.Path("station.toml")), 0); }, 7,
             "station.toml is not trusted: its owner (user 65534)"});

    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench bench = Fresh("case" + std::to_string(index++));
        c.prepare(bench);
        const std::string system =
            bench.systemStation.empty() ? bench.Path("no-system.toml") : bench.systemStation;
        const std::string variable = bench.Path("station.toml");

        line::StationSettings station;
        line::Approval approval;
        line::Verdict verdict =
            line::LoadStation(system, variable.c_str(), host::CurrentUser(), &station);
        if (verdict.Passed() && c.action == Action::FreeFlash)
            verdict = line::RefuseUnapproved(station, "a free flash");
        else if (verdict.Passed()) {
            approval = line::ApproveRecipe(
                station, bench.Recipe(), c.action == Action::ApproveUnsigned, host::CurrentUser());
            verdict = approval.verdict;
        }

        EXPECT_EQ(verdict.exitClass, c.exitClass) << verdict.message;
        if (c.exitClass != 0) {
            EXPECT_NE(verdict.message.find(c.says), std::string::npos) << verdict.message;
            EXPECT_NE(verdict.message.find(bench.dir), std::string::npos) << verdict.message;
            EXPECT_EQ(verdict.message.find('\n'), std::string::npos) << verdict.message;
            EXPECT_TRUE(approval.image.empty()) << "no image bytes for a refused recipe";
        } else if (c.action != Action::FreeFlash) {
            EXPECT_EQ(approval.image, kImage);
            EXPECT_EQ(approval.recipeSha256, line::Sha256Hex(testsupport::Slurp(bench.Recipe())));
            const bool signedRecipe = c.action == Action::Approve;
            EXPECT_EQ(approval.signedRecipe, signedRecipe);
            EXPECT_EQ(approval.signer, signedRecipe ? PrintedKeyId("A") : "");
        }
    }
}

TEST_F(RecipeApproval, TrustedCommentAndStepperOrderComeThrough) {
    Bench bench = Fresh("stepper");
    WriteText(bench.Recipe(), "name = \"S\"\nrevision = \"2\"\ntarget = \"Stepper\"\n"
                              "slaves = [0x1D, 0x14, 0x18]\nimage = \"" +
                                  bench.Path("od.hex") + "\"\nimage_sha256 = \"" +
                                  line::Sha256Hex(kImage) + "\"\n");
    bench.Sign(bench.Recipe(), "A", "-t 'QA 2026-12-08 batch 7'");
    line::StationSettings station;
    ASSERT_TRUE(
        line::ReadStationFile(bench.Path("station.toml"), host::CurrentUser(), &station).Passed());
    const line::Approval approval =
        line::ApproveRecipe(station, bench.Recipe(), false, host::CurrentUser());
    ASSERT_TRUE(approval.verdict.Passed()) << approval.verdict.message;
    EXPECT_EQ(approval.trustedComment, "QA 2026-12-08 batch 7");
    EXPECT_EQ(approval.recipe.slaves, (std::vector<unsigned>{0x1D, 0x14, 0x18}));
    EXPECT_EQ(approval.recipe.target, line::RecipeTarget::Stepper);
}

TEST_F(RecipeApproval, NewRecipeReadsBackAndVerifiesOnceSigned) {
    Bench bench = Fresh("new");
    line::RecipeDraft draft;
    draft.target = line::RecipeTarget::Stepper;
    draft.slaves = {0x18, 0x14};
    draft.image = bench.Path("od.hex");
    draft.name = "Stepper \"rear\" \\ axis";
    std::string text;
    ASSERT_TRUE(line::RecipeNew(draft, &text).Passed());
    WriteText(bench.Recipe(), text);
    bench.Sign(bench.Recipe());

    line::StationSettings station;
    ASSERT_TRUE(
        line::ReadStationFile(bench.Path("station.toml"), host::CurrentUser(), &station).Passed());
    const line::Approval approval =
        line::ApproveRecipe(station, bench.Recipe(), false, host::CurrentUser());
    ASSERT_TRUE(approval.verdict.Passed()) << approval.verdict.message << "\n" << text;
    EXPECT_EQ(approval.recipe.name, draft.name);
    EXPECT_EQ(approval.recipe.revision, "1");
    EXPECT_EQ(approval.recipe.slaves, draft.slaves);

    draft.slaves = {0x16};
    EXPECT_EQ(line::RecipeNew(draft, &text).exitClass, line::kUsageError);
    draft.slaves = {0x14};
    draft.image = bench.Path("missing.hex");
    EXPECT_EQ(line::RecipeNew(draft, &text).exitClass, line::kFileError);
}

} // namespace
