#include "cli/Usage.h"
#include "cli/ExitCodes.h"

#include <string>

const char KORVANE_USAGE[] =
    "usage: korvane [--port DEVICE] [--fullscreen]   the dialog (--fullscreen: the window\n"
    "                                                fills the screen)\n"
    "       korvane flash (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                     [--json] [--quiet] FILE\n"
    "       korvane station (--od | --stepper LIST) [--port DEVICE]...\n"
    "                       [--record FILE] [--wait-port] FILE\n"
    "       korvane scan [--port DEVICE] [--json]\n"
    "       korvane ports [--all] [--json]\n"
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

const char FLASH_USAGE[] =
    "usage: korvane flash (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                     [--json] [--quiet] FILE\n"
    "\n"
    "Flashes FILE (Intel HEX) as the dialog's \"Flash!\" does, without a screen.\n"
    "\n"
    "  --od             the OD target, slave 1\n"
    "  --stepper LIST   Stepper slaves, comma-separated, from 0x14, 0x15, 0x18, 0x1C, 0x1D\n"
    "                   (hex with 0x, or decimal); each gets a whole update, in this order\n"
    "  --port DEVICE    the device behind COM6: for this run; given more than once, every\n"
    "                   port is flashed at once, one process each\n"
    "  --record FILE    append one JSON line per slave to FILE, synced before the next slave\n"
    "  --json           one JSON object per slave on standard output instead of the text\n"
    "  --quiet          no progress line on standard error\n"
    "\n"
    "FILE is taken as the dialog's file field takes it: a path that begins with \\ lies in\n"
    "the device file system below CE_ROOT.\n"
    "\n";

const char SCAN_USAGE[] =
    "usage: korvane scan [--port DEVICE] [--json]\n"
    "\n"
    "Asks slave 1 and the Stepper slaves 0x14, 0x15, 0x18, 0x1C and 0x1D for their status,\n"
    "one GetStatus each (up to three attempts, as every exchange), and prints one line per\n"
    "address. Exit status 0 when at least one slave answered, 1 when none did, 4 when the\n"
    "port does not open.\n";

const char STATION_USAGE[] =
    "usage: korvane station (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                       [--wait-port] FILE\n"
    "\n"
    "Flashes board after board: Enter (or a foot switch) starts the next board; with\n"
    "--wait-port each board brings its own adapter, and the station waits for the port to\n"
    "appear, flashes, and waits for it to go. q, Esc or the end of input ends the station.\n"
    "FILE is read afresh for every board. Exit status 0 when every board passed, else 1.\n";

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

int UsageError(const char* command, const char* what) {
    const std::string name = command ? std::string("korvane ") + command : "korvane";
    std::fprintf(stderr, "%s: %s (see '%s --help')\n", name.c_str(), what, name.c_str());
    return EXIT_USAGE;
}
