// `korvane serials`: what a serial pool has given out, what stands reserved, and what comes
// next. It changes nothing: it turns no stale reservation void (the next flash does), and it
// reads a recipe without checking its signature.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/RecipeRun.h"
#include "cli/Usage.h"
#include "line/SerialBoard.h"
#include "platform/host/process.h"
#include "platform/host/files.h"

#include <cstdio>

namespace {

const char SERIALS_USAGE[] =
    "usage: korvane serials (--recipe R | --journal URL --pool NAME) [--json]\n"
    "\n"
    "Shows a serial pool: how many numbers are used, void, returned and reserved, the\n"
    "reservations standing (and whether their process is gone), the next number and how many\n"
    "remain. It changes nothing, and reads R without checking its signature.\n"
    "  --recipe R       R's pool, in this station's journal (serial_journal in the station\n"
    "                   file; default /var/lib/korvane/serials.db)\n"
    "  --journal URL    a SQLite file or a postgresql:// URL, with --pool NAME\n"
    "  --json           one JSON object\n";

int Refused(const line::Verdict& verdict) {
    return SayRefused("serials", verdict);
}

} // namespace

int SerialsCommand(int argc, char** argv) {
    enum { OPTION_RECIPE = 0x200, OPTION_JOURNAL, OPTION_POOL, OPTION_JSON };
    const option known[] = {HELP_OPTION,
                            {"recipe", required_argument, nullptr, OPTION_RECIPE},
                            {"journal", required_argument, nullptr, OPTION_JOURNAL},
                            {"pool", required_argument, nullptr, OPTION_POOL},
                            {"json", no_argument, nullptr, OPTION_JSON},
                            {}};
    bool help = false, json = false;
    std::string recipeFile, journal, pool;
    std::vector<std::string> operands;
    std::string what = ReadOptions(
        argc, argv, known,
        [&](int id, const std::string& value) -> std::string {
            if (id == 'h')
                help = true;
            else if (id == OPTION_JSON)
                json = true;
            else
                (id == OPTION_RECIPE ? recipeFile : id == OPTION_JOURNAL ? journal : pool) = value;
            return "";
        },
        &operands);
    if (help) {
        Out("%s\n%s", SERIALS_USAGE, EXIT_STATUS_HELP);
        return EXIT_UPDATED;
    }
    if (what.empty() && !operands.empty())
        what = "unexpected argument '" + operands[0] + "'";
    if (what.empty() && recipeFile.empty() == (journal.empty() && pool.empty()))
        what = "give --recipe R, or --journal URL and --pool NAME";
    if (what.empty() && recipeFile.empty() && (journal.empty() || pool.empty()))
        what = journal.empty() ? "--pool needs --journal" : "--journal needs --pool";
    if (!what.empty())
        return UsageError("serials", what.c_str());

    line::Recipe recipe;
    if (!recipeFile.empty()) {
        std::string text, error;
        host::FileFacts facts;
        if (host::ReadWholeFile(recipeFile, 1 << 20, &text, &facts, &error) !=
            host::ReadStatus::Read)
            return Refused(line::Verdict::Refuse(line::kUsageError,
                                                 recipeFile + ": cannot be read: " + error));
        line::Verdict verdict = line::ParseRecipe(recipeFile, text, &recipe);
        if (verdict.Passed() && !recipe.serial.present)
            verdict = line::Verdict::Refuse(line::kUsageError, recipeFile + ": has no [serial]");
        if (verdict.Passed())
            verdict = line::ReadSerialList(&recipe.serial);
        line::StationSettings station;
        if (verdict.Passed())
            verdict = LoadThisStation(&station);
        if (!verdict.Passed())
            return Refused(verdict);
        journal = line::SerialJournalOf(station);
        pool = recipe.serial.pool;
    }

    // Looking creates nothing: a station's journal that does not exist yet is not made here.
    if (!line::IsPostgresJournal(journal) && !host::NameExists(journal))
        return Refused(line::Verdict::Refuse(line::kJournalError,
                                             "serial journal " + journal + ": no such file"));
    line::Verdict verdict;
    std::unique_ptr<line::SerialJournal> opened = line::SerialJournal::Open(journal, &verdict);
    line::SerialPoolView view;
    if (opened)
        verdict = opened->View(pool, recipeFile.empty() ? nullptr : &recipe.serial, &view);
    if (!verdict.Passed())
        return Refused(verdict);

    const bool numbers = !recipe.serial.isList;
    if (json) {
        Json out;
        out["pool"] = pool;
        out["journal"] = journal;
        out["used"] = view.used;
        out["void"] = view.voided;
        out["returned"] = view.returned;
        out["reserved"] = view.reserved;
        out["held"] = Json::array();
        for (const line::SerialEntry& entry : view.held)
            out["held"].push_back(
                {{"value", entry.value},
                 {"host", entry.holder.host},
                 {"pid", entry.holder.pid},
                 {"since", entry.reservedAt},
                 {"stale", host::JudgeProcess(entry.holder) == host::Liveness::Gone}});
        if (view.known && !view.next.empty())
            out["next"] = numbers ? Json(std::stoull(view.next)) : Json(view.next);
        else
            out["next"] = nullptr;
        out["remaining"] = view.known ? Json(view.remaining) : Json(nullptr);
        OutLine(JsonText(out));
    } else {
        Out("pool %s (journal %s)\n", Printable(pool).c_str(), Printable(journal).c_str());
        Out("used %zu, void %zu, returned %zu, reserved %zu\n", view.used, view.voided,
            view.returned, view.reserved);
        for (const line::SerialEntry& entry : view.held) {
            const host::Liveness liveness = host::JudgeProcess(entry.holder);
            Out("reserved %s by process %lld on %s since %s%s\n", entry.value.c_str(),
                entry.holder.pid, Printable(entry.holder.host).c_str(), entry.reservedAt.c_str(),
                liveness == host::Liveness::Gone ? " (stale: the process is gone; the next "
                                                   "flash turns it void)"
                                                 : "");
        }
        if (view.known)
            Out("next %s, %llu remaining\n", view.next.empty() ? "none" : view.next.c_str(),
                view.remaining);
    }
    return StdoutLost() ? EXIT_FILE : EXIT_UPDATED;
}
