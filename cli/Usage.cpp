#include "cli/Usage.h"
#include "protocol/Targets.h"
#include "cli/ExitCodes.h"

#include <string>

const char KORVANE_USAGE[] =
    "usage: korvane [--port DEVICE] [--fullscreen]   the dialog (--fullscreen: the window\n"
    "                                                fills the screen)\n"
    "       korvane flash (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                     [--json] [--quiet] FILE\n"
    "       korvane flash --recipe R [--unsigned] [--port DEVICE]... [--record FILE]\n"
    "                     [--json] [--quiet]\n"
    "       korvane station (--od | --stepper LIST) [--port DEVICE]...\n"
    "                       [--record FILE] [--wait-port] FILE\n"
    "       korvane station --recipe R [--unsigned] [--port DEVICE]...\n"
    "                       [--record FILE] [--wait-port]\n"
    "       korvane scan [--port DEVICE] [--json]\n"
    "       korvane ports [--all] [--json]\n"
    "       korvane recipe new (--od | --stepper LIST) --image FILE [--name N]\n"
    "                          [--revision R]\n"
    "       korvane recipe check [--unsigned] R\n"
    "       korvane serials (--recipe R | --journal URL --pool NAME) [--json]\n"
    "       korvane forward [--once]\n"
    "       korvane report [--json] [--html OUT] [FILE...]\n"
    "       korvane --version | --help\n"
    "\n"
    "  --port DEVICE   the device behind COM6: for this run\n"
    "                  (else CE_COM6, else /dev/ttyS5)\n"
    "\n"
    "Commands:\n"
    "  flash     flash FILE into the OD slave or the Stepper slaves given, no screen\n"
    "  station   flash board after board, each started by Enter or its port appearing\n"
    "  scan      ask slave 1 and every Stepper address for its status\n"
    "  ports     list this machine's serial ports\n"
    "  recipe    write a recipe to sign, or check one as this station would run it\n"
    "  serials   show a serial pool: numbers used, void, reserved, next and remaining\n"
    "  forward   send the record file to the station file's MQTT broker\n"
    "  report    yield, retries and times per image and port, from record files\n"
    "\n"
    "'korvane COMMAND --help' tells more of each.\n";

// The exit codes as one table, each meaning wrapped to fit 80 columns beside its code and name.
std::string ExitStatusHelp() {
    const size_t codeWidth = 5, nameWidth = 13, lineWidth = 79;
    const size_t indent = 2 + codeWidth + nameWidth;
    std::string text = "Exit status:\n";
    for (const EXIT_CODE& row : EXIT_CODES) {
        std::string line = "  " + std::to_string(row.code);
        line.resize(2 + codeWidth, ' ');
        line += row.name;
        line.resize(indent, ' ');
        size_t column = indent;
        const std::string meaning = row.meaning;
        for (size_t at = 0; at < meaning.size();) {
            size_t space = meaning.find(' ', at);
            if (space == std::string::npos)
                space = meaning.size();
            const std::string word = meaning.substr(at, space - at);
            if (column > indent && column + 1 + word.size() > lineWidth) {
                text += line + "\n";
                line.assign(indent, ' ');
                column = indent;
            }
            if (column > indent) {
                line += ' ';
                ++column;
            }
            line += word;
            column += word.size();
            at = space + 1;
        }
        text += line + "\n";
    }
    return text;
}

// Built once from the table, for the commands' --help.
static const std::string s_exitStatusHelp = ExitStatusHelp();
const char* const EXIT_STATUS_HELP = s_exitStatusHelp.c_str();

// The targets' slaves, as the table of targets has them.
static const std::string s_flashUsage =
    "usage: korvane flash (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                     [--json] [--quiet] FILE\n"
    "       korvane flash --recipe R [--unsigned] [--port DEVICE]... [--record FILE]\n"
    "                     [--json] [--quiet]\n"
    "\n"
    "Flashes FILE (Intel HEX) as the dialog's \"Flash!\" does, without a screen.\n"
    "\n"
    "  --od             the OD target, slave " +
    SlaveListText(g_odTarget) + "\n  --stepper LIST   Stepper slaves, comma-separated, from " +
    SlaveListText(g_stepperTarget) +
    "\n"
    "                   (hex with 0x, or decimal); each gets a whole update, in this order\n"
    "  --port DEVICE    the device behind COM6: for this run; given more than once, every\n"
    "                   port is flashed at once, one process each\n"
    "  --record FILE    append one JSON line per slave to FILE, synced before the next slave\n"
    "  --json           one JSON object per slave on standard output instead of the text\n"
    "  --quiet          no progress line on standard error\n"
    "  --recipe R       flash what the recipe R names (target, slaves, image), once its\n"
    "                   signature (R.minisig) verifies against the station's keys and the\n"
    "                   image's SHA-256 is the recipe's; none of --od, --stepper, FILE\n"
    "  --unsigned       take a recipe without a signature (a bench; refused on a station\n"
    "                   that runs approved recipes only)\n"
    "\n"
    "FILE is taken as the dialog's file field takes it: a path that begins with \\ lies in\n"
    "the device file system below CE_ROOT. A station whose /etc/korvane/station.toml says\n"
    "require_recipe = true refuses FILE (exit 7).\n"
    "\n";
const char* const FLASH_USAGE = s_flashUsage.c_str();

static const std::string s_scanUsage =
    "usage: korvane scan [--port DEVICE] [--json]\n"
    "\n"
    "Asks OD slave " +
    SlaveListText(g_odTarget) + " and the Stepper slaves " + SlaveListText(g_stepperTarget, "and") +
    "\nfor their status, one GetStatus each (up to three attempts, as every exchange), and\n"
    "prints one line per address. Exit status 0 when at least one slave answered, 1 when\n"
    "none did, 4 when the port does not open.\n";
const char* const SCAN_USAGE = s_scanUsage.c_str();

const char STATION_USAGE[] =
    "usage: korvane station (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                       [--wait-port] FILE\n"
    "       korvane station --recipe R [--unsigned] [--port DEVICE]... [--record FILE]\n"
    "                       [--wait-port]\n"
    "\n"
    "Flashes board after board: Enter (or a foot switch) starts the next board; with\n"
    "--wait-port each board brings its own adapter, and the station waits for the port to\n"
    "appear, flashes, and waits for it to go. q, Esc or the end of input ends the station.\n"
    "FILE is read afresh for every board. Exit status 0 when every board passed, else 1.\n"
    "\n"
    "  --recipe R   flash what the recipe R names; R, its signature and its image are\n"
    "               checked again before every board, and the station stops (exit 7) when\n"
    "               they no longer verify\n"
    "  --unsigned   take a recipe without a signature (a bench only)\n"
    "\n"
    "--od, --stepper, --port and --record are as for flash.\n";

const char RECIPE_NEW_USAGE[] =
    "usage: korvane recipe new (--od | --stepper LIST) --image FILE [--name N]\n"
    "                          [--revision R]\n"
    "\n"
    "new prints a recipe for the image with its SHA-256, ready to sign with\n"
    "'minisign -Sm R' (which writes R.minisig).\n"
    "  --od | --stepper LIST   the target, and the Stepper slaves in flashing order\n"
    "  --image FILE            the HEX image, written into the recipe as given\n"
    "  --name N                the recipe's name (default: the image's name)\n"
    "  --revision R            its revision (default: 1)\n";

const char RECIPE_CHECK_USAGE[] =
    "usage: korvane recipe check [--unsigned] R\n"
    "\n"
    "check verifies R as this station would before a flash, without a port: the station\n"
    "file, R's signature against the trusted keys, the image's hash. It prints the name,\n"
    "revision, target, slaves, image, hash and signer.\n"
    "  --unsigned              take R without a signature\n";

const char PORTS_USAGE[] =
    "usage: korvane ports [--all] [--json]\n"
    "\n"
    "Lists the serial ports of this machine, one line each: the device, its /dev/serial\n"
    "by-id and by-path names, the driver, the USB identity, whether this user may open it,\n"
    "whether a process holds it, and \"<- COM6:\" at the one COM6: opens now.\n"
    "\n"
    "  --all    also list UARTs that the kernel reserved with no hardware behind them\n"
    "  --json   one JSON array of objects with the keys device, by_id, by_path, driver,\n"
    "           vid, pid, manufacturer, product, serial, access, busy_pid and com6\n";

const char FORWARD_USAGE[] =
    "usage: korvane forward [--once]\n"
    "\n"
    "Publishes every record of the station's record file (the station file's record, else\n"
    "/var/lib/korvane/records.jsonl) to the MQTT broker of its [publish] table, in file\n"
    "order, QoS 1, then follows the file. RECORDS.cursor beside it holds the offset of the\n"
    "first record the broker has not acknowledged. An unreachable broker is tried again,\n"
    "at most 10 s apart; no record is lost, one may arrive twice (its id tells).\n"
    "\n"
    "  --once   send what the file holds, then end\n"
    "  --help   this text\n"
    "\n"
    "Exit status: 0 every record acknowledged (--once); 1 the broker could not be reached\n"
    "within 10 s or refused the login, or the station file or password file is refused (the\n"
    "records are kept); 2 usage.\n";

const char REPORT_USAGE[] =
    "usage: korvane report [--json] [--html OUT] [FILE...]\n"
    "\n"
    "Reads record files (the station file's record file when none is given; - is standard\n"
    "input) and prints, per image (file name and short hash) and per port: boards, passed,\n"
    "failed, yield, retries per thousand exchanges, the median and 90th percentile of the\n"
    "seconds a board takes; and boards per hour. A port that retries five times as often as\n"
    "the median of the others is flagged: a sick adapter or cable.\n"
    "\n"
    "  --json       the same as one JSON object\n"
    "  --html OUT   also write one self-contained page to OUT: yield per hour and retries\n"
    "               per port as pictures (SVG), no scripts\n"
    "  --help       this text\n"
    "\n"
    "Exit status: 0 done; 1 a file cannot be read; 2 usage.\n";

int UsageError(const char* command, const char* what) {
    const std::string name = command ? std::string("korvane ") + command : "korvane";
    std::fprintf(stderr, "%s: %s (see '%s --help')\n", name.c_str(), what, name.c_str());
    return EXIT_USAGE;
}
