#include "line/SerialBoard.h"

#include "line/SerialPatch.h"

namespace line {

const char kDefaultSerialJournal[] = "/var/lib/korvane/serials.db";

std::string SerialJournalOf(const StationSettings& station) {
    return station.serialJournal.empty() ? kDefaultSerialJournal : station.serialJournal;
}

Verdict PrepareSerial(Approval* approval, unsigned unit) {
    RecipeSerial& serial = approval->recipe.serial;
    if (!serial.present)
        return Verdict::Pass();
    const Verdict list = ReadSerialList(&serial);
    if (!list.Passed())
        return list;
    return CheckSerialPlace(approval->image, unit, serial);
}

SerialState OutcomeState(bool passed, bool programWritten, bool reuse) {
    if (passed)
        return SerialState::Used;
    return reuse && !programWritten ? SerialState::Returned : SerialState::Void;
}

std::unique_ptr<SerialJournal> OpenJournalAtStart(const std::string& where, Verdict* verdict,
                                                  std::vector<std::string>* reports) {
    reports->clear();
    std::unique_ptr<SerialJournal> journal = SerialJournal::Open(where, verdict);
    if (!journal)
        return nullptr;
    std::vector<SerialEntry> voided;
    *verdict = journal->VoidStale(&voided);
    if (!verdict->Passed())
        return nullptr;
    for (const SerialEntry& entry : voided)
        reports->push_back("serial " + entry.value + " of pool " + entry.pool +
                           " was reserved at " + entry.reservedAt + " by process " +
                           std::to_string(entry.holder.pid) + " on " + entry.holder.host +
                           ", which is gone: it is void and never given again");
    return journal;
}

} // namespace line
