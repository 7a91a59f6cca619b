#include "FlashRig.h"

#include "app/Korvane.h"
#include "app/KorvaneRes.h"
#include "link/SlaveLink.h"
#include "protocol/FrameTransport.h"
#include "protocol/SlaveProtocol.h"
#include "tests/support/Files.h"
#include "tests/support/Stack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace flashtest {

std::string HexRecord(uint16_t address, uint8_t type, const Bytes& data) {
    Bytes record = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                    static_cast<uint8_t>(address), type};
    record.insert(record.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : record)
        sum += b;
    record.push_back(static_cast<uint8_t>(0x100 - (sum & 0xFF)));
    std::string line = ":";
    char hex[3];
    for (uint8_t b : record) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line + "\n";
}

std::string HexFile(uint16_t address, const Bytes& data, unsigned unit, size_t recordLength) {
    std::string text;
    for (size_t at = 0; at < data.size(); at += recordLength) {
        const size_t n = std::min(recordLength, data.size() - at);
        text += HexRecord(static_cast<uint16_t>(address + at / unit), 0,
                          Bytes(data.begin() + static_cast<std::ptrdiff_t>(at),
                                data.begin() + static_cast<std::ptrdiff_t>(at + n)));
    }
    return text + HexRecord(0, 1, {});
}

Bytes Pattern(size_t count, uint8_t seed) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>((i * 7 + seed) % 0xFF); // never 0xFF
    return bytes;
}

std::vector<std::string> Commands(const simtest::Sim& sim) {
    std::vector<std::string> out;
    for (const std::string& line : sim.Requests()) {
        std::string text = simtest::Field(line, "command") + " " + simtest::Field(line, "slave");
        const std::string address = simtest::Field(line, "address");
        const std::string command = simtest::Field(line, "command");
        if (!address.empty() && (command == "Erase" || command == "Program")) {
            char hex[16];
            std::snprintf(hex, sizeof hex, " 0x%04lX", std::stoul(address));
            text += hex;
        }
        out.push_back(text);
    }
    return out;
}

void ExpectProgrammed(const std::map<uint32_t, uint8_t>& memory, uint32_t start, const Bytes& data,
                      size_t blocks, size_t blockLength) {
    ASSERT_EQ(memory.size(), blocks * blockLength);
    for (size_t i = 0; i < blocks * blockLength; ++i) {
        const auto it = memory.find(start + static_cast<uint32_t>(i));
        ASSERT_NE(it, memory.end()) << i;
        EXPECT_EQ(it->second, i < data.size() ? data[i] : 0xFF) << "byte " << i;
    }
}

FlashRig::FlashRig(const std::vector<std::string>& simArgs, bool withSim) {
    TearDownStack();
    AfxSetResourceHandle(&g_korvaneModule);
    const char* com6 = std::getenv("CE_COM6");
    m_hadCom6 = com6 != nullptr;
    m_oldCom6 = com6 ? com6 : "";
    m_dir = testsupport::MakeTempDir("korvane-flashtest");
    if (withSim)
        StartSim(simArgs);
    else
        setenv("CE_COM6", (m_dir + "/no-such-port").c_str(), 1);
}

FlashRig::~FlashRig() {
    TearDownStack();
    m_sim.reset();
    if (m_hadCom6)
        setenv("CE_COM6", m_oldCom6.c_str(), 1);
    else
        unsetenv("CE_COM6");
    if (!m_dir.empty())
        std::system(("rm -rf '" + m_dir + "'").c_str());
}

bool FlashRig::StartSim(const std::vector<std::string>& simArgs) {
    m_sim = std::make_unique<simtest::Sim>(simArgs, false);
    m_simStopped = false;
    if (!m_sim->Ok())
        return false;
    setenv("CE_COM6", m_sim->Path().c_str(), 1);
    return true;
}

std::wstring FlashRig::WriteFile(const std::string& name, const std::string& text) {
    const std::string path = m_dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return std::wstring(path.begin(), path.end());
}

INT_PTR FlashRig::Run(const std::function<void(CKorvaneDlg&, CScriptedBackEnd&)>& script) {
    EXPECT_EQ(AfxGetApp(), &theApp);
    CKorvaneDlg dlg;
    ui.OnNextDialog([&](CScriptedBackEnd& s) { script(dlg, s); });
    return dlg.DoModal();
}

void FlashRig::Flash(const std::wstring& path, bool od, int comboIndex) {
    Run([&](CKorvaneDlg&, CScriptedBackEnd& s) {
        EXPECT_TRUE(s.Type(IDC_FILENAME, path));
        if (od) {
            EXPECT_TRUE(s.Click(IDC_OD));
        } else {
            EXPECT_TRUE(s.Click(IDC_STEPPER));
            EXPECT_TRUE(s.Select(IDC_SLAVE_ADDRESS, comboIndex));
        }
        EXPECT_TRUE(s.Click(IDC_FLASH));
    });
}

void FlashRig::WaitForRequests(size_t count) {
    for (int waited = 0; waited < 2000 && m_sim->Requests().size() < count; waited += 5)
        usleep(5000);
    usleep(50000);
}

void FlashRig::StopSim() {
    if (!m_sim || m_simStopped)
        return;
    TearDownStack();
    EXPECT_EQ(m_sim->Stop(), 0);
    m_simStopped = true;
}

std::map<uint32_t, uint8_t> FlashRig::Memory(uint8_t slave, unsigned unit) {
    StopSim();
    bool ok = false;
    std::map<uint32_t, uint8_t> memory = simtest::LoadHex(m_sim->DumpPath(slave), unit, &ok);
    EXPECT_TRUE(ok) << "no dump of slave " << int(slave);
    return memory;
}

} // namespace flashtest
