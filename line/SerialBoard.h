// A board's serial number around its update: which journal the station keeps, the checks a
// recipe's [serial] passes before any board is touched, and the state an outcome gives.
#pragma once

#include "line/Approval.h"
#include "line/SerialJournal.h"
#include "line/StationFile.h"

#include <memory>
#include <string>
#include <vector>

namespace line {

extern const char kDefaultSerialJournal[]; // /var/lib/korvane/serials.db

// The station's journal: its serial_journal, or the default.
std::string SerialJournalOf(const StationSettings& station);

// Reads a list serial's list and checks that the image's data records hold the value's place
// (unit: the target's bytes per address, 1 for OD, 2 for Stepper). Nothing to do without
// [serial]. Exit classes as ReadSerialList and CheckSerialPlace give them.
Verdict PrepareSerial(Approval* approval, unsigned unit);

// The state a board's number takes from its outcome: used when it passed; returned when it
// failed before any Program request was written to it and the recipe reuses such numbers;
// void otherwise.
SerialState OutcomeState(bool passed, bool programWritten, bool reuse);

// Opens the journal and turns this machine's stale reservations void: one line for each into
// *reports ("serial 100042 of pool od-main was reserved by process 4242 on line4, which is gone:
// it is void"). Exit class 8 when the journal cannot serve.
std::unique_ptr<SerialJournal> OpenJournalAtStart(const std::string& where, Verdict* verdict,
                                                  std::vector<std::string>* reports);

} // namespace line
