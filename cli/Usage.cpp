#include "cli/Usage.h"
#include "cli/ExitCodes.h"

#include <string>

const char KORVANE_USAGE[] =
    "usage: korvane [--port DEVICE]                  the dialog\n"
    "       korvane flash (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                     [--json] [--quiet] FILE\n"
    "       korvane station (--od | --stepper LIST) [--port DEVICE]... [--record FILE]\n"
    "                     [--wait-port] FILE\n"
    "       korvane scan [--port DEVICE] [--json]\n"
    "       korvane ports [--all] [--json]\n"
    "       korvane --version | --help\n"
    "\n"
    "  --port DEVICE   the device behind COM6: for this run (else CE_COM6, else /dev/ttyS5)\n"
    "\n"
    "Commands:\n"
    "  flash     flash FILE into the OD slave or the Stepper slaves given, without a screen\n"
    "  station   flash board after board, each started by Enter or by its port appearing\n"
    "  scan      ask slave 1 and every Stepper address for its status\n"
    "  ports     list this machine's serial ports\n"
    "\n"
    "'korvane COMMAND --help' tells more of each.\n";

const char EXIT_STATUS_HELP[] =
    "Exit status:\n"
    "  0    every slave ended with \"Update sucessfully completed\"\n"
    "  1    \"Update failed! Error N\": GetStatus failed, or the slave's status is not 0\n"
    "  2    usage: an unknown option, no target or two, an address outside the five, no\n"
    "       FILE, a record file that cannot be appended to\n"
    "  3    the file: \"Error opening file\", \"Error reading file\", \"Checksum error\",\n"
    "       \"Address out of range\"\n"
    "  4    the port: \"Error opening port\"\n"
    "  5    \"Error Erasing\"\n"
    "  6    \"Programming error\"\n"
    "  130  interrupted by SIGINT or SIGTERM\n";

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
