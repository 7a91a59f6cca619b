// Serial numbers through the real program against korvane-sim: each slave's number in its
// memory and in its record, the journal's state in the record, and a pool that cannot serve
// (exhausted, or its journal on a full disk) ending the run with exit 8 and nothing sent.
#include "FlashRig.h"
#include "tests/support/KorvaneRun.h"
#include "tests/support/Recipes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <unistd.h>

namespace flashtest {
namespace {

namespace fs = std::filesystem;
using runtest::Finished;
using runtest::RunKorvane;
using testsupport::WriteText;
using Strings = std::vector<std::string>;

using simtest::Sha256Sum;

class SerialFlash : public ::testing::Test {
protected:
    void SetUp() override {
        if (fs::exists("/etc/korvane/station.toml"))
            GTEST_SKIP() << "/etc/korvane/station.toml exists on this machine";
        m_dir = testsupport::MakeTempDir("korvane-serial-flash");
        ASSERT_TRUE(testsupport::MakeMinisignKey(m_dir, "A"));
        ASSERT_TRUE(testsupport::MakeRecipeStation(m_dir, m_dir + "/A.pub"));
        Journal(m_dir + "/serials.db");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    void Journal(const std::string& where) {
        WriteText(Path("station.toml"), "keys = \"keys\"\nserial_journal = \"" + where + "\"\n");
    }
    // The image, a recipe for it with the [serial] table given, signed by A.
    void Make(const std::string& image, const std::string& head, const std::string& serial) {
        WriteText(Path("image.hex"), image);
        WriteText(Path("recipe.toml"), head + "image = \"image.hex\"\nimage_sha256 = \"" +
                                           Sha256Sum(Path("image.hex")) + "\"\n[serial]\n" +
                                           serial);
        ASSERT_TRUE(testsupport::MinisignSign(Path("A.sec"), Path("recipe.toml")));
    }
    Finished Korvane(Strings args) {
        return RunKorvane(args, {testsupport::StationFileSetting(m_dir)});
    }
    std::string m_dir;
};

// Bytes `at` (an image byte position) of a slave's memory.
Bytes Read(FlashRig& rig, uint8_t slave, unsigned unit, uint32_t at, size_t count) {
    const std::map<uint32_t, uint8_t> memory = rig.Memory(slave, unit);
    Bytes bytes;
    for (size_t i = 0; i < count; ++i) {
        const auto found = memory.find(at + uint32_t(i));
        bytes.push_back(found == memory.end() ? 0xFF : found->second);
    }
    return bytes;
}

TEST_F(SerialFlash, CounterInStepperAndListInOdReachEachSlave) {
    {
        SCOPED_TRACE("Stepper counter");
        // Word 0x0010 is byte 0x20 of the image.
        Make(HexFile(0, Pattern(128), 2),
             "name = \"S\"\nrevision = \"1\"\ntarget = \"Stepper\"\nslaves = [0x14, 0x1C]\n",
             "pool = \"stepper\"\naddress = 0x0010\nbytes = 4\nformat = \"le\"\n"
             "first = 100000\nlast = 199999\n");
        FlashRig rig;
        ASSERT_TRUE(rig.Ok());
        const Finished run = Korvane(
            {"flash", "--recipe", Path("recipe.toml"), "--port", rig.Sim().Path(), "--json"});
        ASSERT_EQ(run.exit, 0) << run.err;
        const Strings records = runtest::Lines(run.out);
        ASSERT_EQ(records.size(), 2u) << run.out;
        for (size_t i = 0; i < 2; ++i) {
            const auto serial = nlohmann::json::parse(records[i])["serial"];
            EXPECT_EQ(serial,
                      nlohmann::json::parse(R"({"pool":"stepper","value":)" +
                                            std::to_string(100000 + i) + R"(,"state":"used"})"));
        }
        EXPECT_EQ(Read(rig, 0x14, 2, 0x20, 4), (Bytes{0xA0, 0x86, 0x01, 0x00}));
        EXPECT_EQ(Read(rig, 0x1C, 2, 0x20, 4), (Bytes{0xA1, 0x86, 0x01, 0x00}));
        // Nothing else of the image changed.
        Bytes image = Pattern(128);
        const Bytes read = Read(rig, 0x14, 2, 0x24, 4);
        EXPECT_EQ(read, Bytes(image.begin() + 0x24, image.begin() + 0x28));

        const Finished view = Korvane({"serials", "--recipe", Path("recipe.toml"), "--json"});
        ASSERT_EQ(view.exit, 0) << view.err;
        const auto totals = nlohmann::json::parse(view.out);
        EXPECT_EQ(totals["used"], 2);
        EXPECT_EQ(totals["reserved"], 0);
        EXPECT_EQ(totals["next"], 100002);
        EXPECT_EQ(totals["remaining"], 99998);
    }
    {
        SCOPED_TRACE("OD list");
        WriteText(Path("macs.txt"), "0050C2000001\n0050C2000002\n");
        Make(HexFile(0, Pattern(64), 1), "name = \"O\"\nrevision = \"1\"\ntarget = \"OD\"\n",
             "pool = \"macs\"\naddress = 0x0008\nbytes = 6\nlist = \"macs.txt\"\nlist_sha256 = \"" +
                 Sha256Sum(Path("macs.txt")) + "\"\n");
        FlashRig rig;
        ASSERT_TRUE(rig.Ok());
        const Finished run = Korvane(
            {"flash", "--recipe", Path("recipe.toml"), "--port", rig.Sim().Path(), "--json"});
        ASSERT_EQ(run.exit, 0) << run.err;
        const auto record = nlohmann::json::parse(run.out);
        EXPECT_EQ(record["serial"]["value"], "0050c2000001");
        EXPECT_EQ(record["serial"]["state"], "used");
        EXPECT_EQ(Read(rig, 1, 1, 0x08, 6), (Bytes{0x00, 0x50, 0xC2, 0x00, 0x00, 0x01}));
    }
}

TEST_F(SerialFlash, PoolThatCannotServeEndsWithEightAndNothingSent) {
    Make(HexFile(0, Pattern(64), 1), "name = \"O\"\nrevision = \"1\"\ntarget = \"OD\"\n",
         "pool = \"small\"\naddress = 0x0004\nbytes = 2\nformat = \"be\"\nfirst = 1\nlast = 3\n");
    {
        FlashRig rig;
        ASSERT_TRUE(rig.Ok());
        ASSERT_EQ(
            Korvane({"flash", "--recipe", Path("recipe.toml"), "--port", rig.Sim().Path()}).exit,
            0);
    }
    // Two numbers left, a gang of three ports: nothing is reserved, nothing sent.
    std::vector<std::unique_ptr<FlashRig>> rigs;
    Strings args = {"flash", "--recipe", Path("recipe.toml")};
    for (int i = 0; i < 3; ++i) {
        rigs.push_back(std::make_unique<FlashRig>());
        ASSERT_TRUE(rigs.back()->Ok());
        args.insert(args.end(), {"--port", rigs.back()->Sim().Path()});
    }
    Finished run = Korvane(args);
    EXPECT_EQ(run.exit, 8) << run.err;
    EXPECT_EQ(runtest::Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find("serial pool small is exhausted: 2 left, 3 needed"), std::string::npos)
        << run.err;
    for (auto& rig : rigs) {
        rig->StopSim();
        EXPECT_EQ(Commands(rig->Sim()), Strings{});
    }
    const Finished view = Korvane({"serials", "--journal", Path("serials.db"), "--pool", "small"});
    EXPECT_EQ(view.exit, 0) << view.err;
    EXPECT_NE(view.out.find("used 1, void 0, returned 0, reserved 0"), std::string::npos)
        << view.out;

    // The journal on a full disk (a small tmpfs, which needs root): exit 8, nothing sent.
    if (getuid() != 0)
        return;
    const std::string full = Path("full");
    fs::create_directories(full);
    ASSERT_EQ(testsupport::QuietShell("mount -t tmpfs -o size=64k tmpfs " + full), 0);
    testsupport::QuietShell("dd if=/dev/zero of=" + full + "/filler bs=4k");
    Journal(full + "/serials.db");
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    run = Korvane({"flash", "--recipe", Path("recipe.toml"), "--port", rig.Sim().Path()});
    EXPECT_EQ(run.exit, 8) << run.err;
    EXPECT_NE(run.err.find("serial journal " + full), std::string::npos) << run.err;
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()), Strings{});
    testsupport::QuietShell("umount " + full);
}

} // namespace
} // namespace flashtest
