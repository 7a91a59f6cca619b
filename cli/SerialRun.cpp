#include "cli/SerialRun.h"

#include "cli/ExitCodes.h"
#include "cli/RecipeRun.h"
#include "line/SerialBoard.h"
#include "line/SerialPatch.h"
#include "platform/host/process.h"

#include <cstdio>

const char SERIAL_VALUES_VARIABLE[] = "KORVANE_SERIAL_VALUES";

int ReserveForGang(CSerialRun& serial, size_t ports, size_t slaves,
                   std::vector<std::string>* byPort, std::vector<std::string>* all) {
    byPort->assign(ports, "");
    const int refused = serial.Reserve(ports * slaves, all);
    if (refused >= 0)
        return refused;
    for (size_t i = 0; i < all->size(); ++i)
        (*byPort)[i / slaves] += ((*byPort)[i / slaves].empty() ? "" : ",") + (*all)[i];
    return -1;
}

bool NoProgramWritten(const FLASH_RECORD& record) {
    return record.exit == EXIT_FILE || record.exit == EXIT_PORT || record.exit == EXIT_ERASE;
}

int CSerialRun::Fail(const line::Verdict& verdict) const {
    return SayRefused(m_command.c_str(), verdict);
}

int CSerialRun::Open(const char* command, line::Approval* approval, const TARGET_KIND& target) {
    m_command = command;
    m_approval = approval;
    m_unit = target.addressUnit;
    if (!approval->recipe.serial.present)
        return -1;
    line::Verdict verdict = line::PrepareSerial(approval, m_unit);
    if (!verdict.Passed())
        return Fail(verdict);
    line::StationSettings station;
    verdict = LoadThisStation(&station);
    if (!verdict.Passed())
        return Fail(verdict);
    std::vector<std::string> reports;
    m_journal = line::OpenJournalAtStart(line::SerialJournalOf(station), &verdict, &reports);
    for (const std::string& report : reports)
        std::fprintf(stderr, "korvane %s: %s\n", command, report.c_str());
    return m_journal ? -1 : Fail(verdict);
}

int CSerialRun::Reserve(size_t count, std::vector<std::string>* values) {
    const line::Verdict verdict = m_journal->Reserve(m_approval->recipe.serial, count, values);
    return verdict.Passed() ? -1 : Fail(verdict);
}

int CSerialRun::TakeGiven(const std::string& given, size_t count,
                          std::vector<std::string>* values) {
    values->clear();
    size_t start = 0;
    while (start <= given.size() && !given.empty()) {
        const size_t comma = given.find(',', start);
        values->push_back(given.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const std::string& pool = m_approval->recipe.serial.pool;
    if (values->size() != count)
        return Fail(line::Verdict::Refuse(
            line::kJournalError, "the gang gave " + std::to_string(values->size()) +
                                     " serial numbers for " + std::to_string(count) + " slaves"));
    // A number is only written when the journal shows it reserved by the parent, so that a
    // variable set by hand cannot give a board a number that is not its own.
    const host::ProcessIdentity parent = host::ParentProcess();
    for (const std::string& value : *values) {
        line::SerialEntry entry;
        const line::Verdict verdict = m_journal->Find(pool, value, &entry);
        if (!verdict.Passed())
            return Fail(verdict);
        if (entry.state != "reserved" || entry.holder.pid != parent.pid ||
            entry.holder.boot != parent.boot || entry.holder.started != parent.started ||
            entry.holder.host != parent.host)
            return Fail(line::Verdict::Refuse(
                line::kJournalError, "serial " + value + " of pool " + pool +
                                         " is not reserved for this run (" +
                                         (entry.state.empty() ? "unknown" : entry.state) + ")"));
    }
    return -1;
}

std::vector<uint8_t> CSerialRun::Patched(const std::string& value) const {
    const line::RecipeSerial& serial = m_approval->recipe.serial;
    std::string patched;
    // Open checked the place, so the patch cannot be refused here.
    line::PatchSerial(m_approval->image, m_unit, serial, line::SerialBytes(serial, value),
                      &patched);
    return std::vector<uint8_t>(patched.begin(), patched.end());
}

bool CSerialRun::Settle(const std::string& value, FLASH_RECORD* record) {
    const line::RecipeSerial& serial = m_approval->recipe.serial;
    const line::SerialState outcome =
        line::OutcomeState(record->exit == EXIT_UPDATED, !NoProgramWritten(*record), serial.reuse);
    SERIAL_RECORD serialRecord{serial.pool, value, !serial.isList, "void"};
    std::string now;
    const line::Verdict verdict = m_journal->Settle(serial.pool, value, outcome, &now);
    if (verdict.Passed())
        serialRecord.state = now;
    record->serial = serialRecord;
    if (!verdict.Passed()) {
        // Left reserved by a process that ends now: the next start turns it void, as the record
        // says.
        Fail(verdict);
        if (record->exit == EXIT_UPDATED)
            record->exit = EXIT_JOURNAL;
        return false;
    }
    return true;
}

void CSerialRun::Release(const std::vector<std::string>& values, bool sent) {
    const line::RecipeSerial& serial = m_approval->recipe.serial;
    const line::SerialState state =
        serial.reuse && !sent ? line::SerialState::Returned : line::SerialState::Void;
    std::string now;
    for (const std::string& value : values)
        m_journal->Settle(serial.pool, value, state, &now);
}
