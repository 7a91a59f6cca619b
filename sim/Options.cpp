#include "sim/Options.h"

#include "link/SlaveLink.h"
#include "protocol/Targets.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <getopt.h>

namespace ksim {

namespace {

enum OptionId {
    kLink = 256,
    kDevice,
    kBaud,
    kPacketUs,
    kEraseMs,
    kProgramMs,
    kFrameGap,
    kLog,
    kHexDir,
    kExitOnClose,
    kSeed,
    kLose,
    kCorruptByte,
    kCorruptFcs,
    kNoise,
    kNoiseBytes,
    kSplit,
    kSplitMs,
    kDelay,
    kDelayMs,
    kSilentAfter,
    kRefuseErase,
    kStatus,
    kBabbleAfter,
    kOnlySlave,
    kHelp,
    kVersion,
};

const option kOptions[] = {
    {"link", required_argument, nullptr, kLink},
    {"device", required_argument, nullptr, kDevice},
    {"baud", required_argument, nullptr, kBaud},
    {"packet-us", required_argument, nullptr, kPacketUs},
    {"erase-ms", required_argument, nullptr, kEraseMs},
    {"program-ms", required_argument, nullptr, kProgramMs},
    {"frame-gap", required_argument, nullptr, kFrameGap},
    {"log", required_argument, nullptr, kLog},
    {"hex-dir", required_argument, nullptr, kHexDir},
    {"exit-on-close", no_argument, nullptr, kExitOnClose},
    {"seed", required_argument, nullptr, kSeed},
    {"lose", required_argument, nullptr, kLose},
    {"corrupt-byte", required_argument, nullptr, kCorruptByte},
    {"corrupt-fcs", required_argument, nullptr, kCorruptFcs},
    {"noise", required_argument, nullptr, kNoise},
    {"noise-bytes", required_argument, nullptr, kNoiseBytes},
    {"split", required_argument, nullptr, kSplit},
    {"split-ms", required_argument, nullptr, kSplitMs},
    {"delay", required_argument, nullptr, kDelay},
    {"delay-ms", required_argument, nullptr, kDelayMs},
    {"silent-after", required_argument, nullptr, kSilentAfter},
    {"refuse-erase", required_argument, nullptr, kRefuseErase},
    {"status", required_argument, nullptr, kStatus},
    {"babble-after", required_argument, nullptr, kBabbleAfter},
    {"only-slave", required_argument, nullptr, kOnlySlave},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// A whole number in decimal or, with 0x, hexadecimal, within [low, high].
bool Whole(const char* name, const char* text, unsigned long long low, unsigned long long high,
           unsigned long long* value, std::string* error) {
    const char* digits = text;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        digits = text + 2;
        base = 16;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(digits, &end, base);
    if (*digits == '\0' || *digits == '-' || *digits == '+' || *end != '\0' || errno != 0 ||
        v < low || v > high) {
        *error = std::string("--") + name + " takes a whole number from " + std::to_string(low) +
                 " to " + std::to_string(high) + ", not \"" + text + "\"";
        return false;
    }
    *value = v;
    return true;
}

bool Percent(const char* name, const char* text, double* value, std::string* error) {
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !std::isfinite(v) || v < 0 || v > 100) {
        *error =
            std::string("--") + name + " takes a percentage from 0 to 100, not \"" + text + "\"";
        return false;
    }
    *value = v;
    return true;
}

} // namespace

bool ParseOptions(int argc, char** argv, SimOptions* o, std::string* error) {
    optind = 1;
    opterr = 0;
    unsigned long long n = 0;
    int id;
    while ((id = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1) {
        const char* name = optind > 0 && optind <= argc ? argv[optind - 1] : "";
        const char* arg = optarg;
        bool ok = true;
        switch (id) {
        case kLink:
            o->link = arg;
            break;
        case kDevice:
            o->device = arg;
            break;
        case kBaud:
            ok = Whole("baud", arg, 0, 4000000, &n, error) && (o->baud = unsigned(n), true);
            if (ok && n != 0 && n < 50) {
                *error = "--baud takes 0 (no pacing) or a rate from 50 to 4000000";
                ok = false;
            }
            break;
        case kPacketUs:
            ok = Whole("packet-us", arg, 0, 100000, &n, error) && (o->packetUs = unsigned(n), true);
            break;
        case kEraseMs:
            ok = Whole("erase-ms", arg, 0, 60000, &n, error) && (o->eraseMs = unsigned(n), true);
            break;
        case kProgramMs:
            ok =
                Whole("program-ms", arg, 0, 60000, &n, error) && (o->programMs = unsigned(n), true);
            break;
        case kFrameGap:
            ok =
                Whole("frame-gap", arg, 0, 60000, &n, error) && (o->frameGapMs = unsigned(n), true);
            break;
        case kLog:
            o->logPath = arg;
            break;
        case kHexDir:
            o->hexDir = arg;
            break;
        case kExitOnClose:
            o->exitOnClose = true;
            break;
        case kSeed:
            ok = Whole("seed", arg, 0, ~0ull, &n, error) && (o->faults.seed = n, true);
            break;
        case kLose:
            ok = Percent("lose", arg, &o->faults.losePercent, error);
            break;
        case kCorruptByte:
            ok = Percent("corrupt-byte", arg, &o->faults.corruptBytePercent, error);
            break;
        case kCorruptFcs:
            ok = Percent("corrupt-fcs", arg, &o->faults.corruptFcsPercent, error);
            break;
        case kNoise:
            ok = Percent("noise", arg, &o->faults.noisePercent, error);
            break;
        case kNoiseBytes:
            ok = Whole("noise-bytes", arg, 1, 64, &n, error) &&
                 (o->faults.noiseMax = unsigned(n), true);
            break;
        case kSplit:
            ok = Percent("split", arg, &o->faults.splitPercent, error);
            break;
        case kSplitMs:
            // The host gives up on a reply after its byte gap without a byte; a shorter pause
            // would disturb nothing.
            ok = Whole("split-ms", arg, SLAVE_NEXT_BYTE_TIMEOUT_MS + 1, 60000, &n, error) &&
                 (o->faults.splitMs = unsigned(n), true);
            break;
        case kDelay:
            ok = Percent("delay", arg, &o->faults.delayPercent, error);
            break;
        case kDelayMs:
            ok = Whole("delay-ms", arg, 1, 600000, &n, error) &&
                 (o->faults.delayMs = unsigned(n), true);
            break;
        case kSilentAfter:
            ok = Whole("silent-after", arg, 0, 1000000000, &n, error) &&
                 (o->faults.silentAfter = long(n), true);
            break;
        case kRefuseErase:
            ok = Whole("refuse-erase", arg, 1, 0xffff, &n, error) &&
                 (o->behaviour.eraseAnswer = uint16_t(n), true);
            break;
        case kStatus:
            ok = Whole("status", arg, 0, 0xff, &n, error) &&
                 (o->behaviour.status = uint8_t(n), true);
            break;
        case kOnlySlave:
            ok = Whole("only-slave", arg, 0, 0xff, &n, error) &&
                 (o->behaviour.onlySlave = int(n), true);
            break;
        case kBabbleAfter:
            ok = Whole("babble-after", arg, 0, 1000000000, &n, error) &&
                 (o->faults.babbleAfter = long(n), true);
            break;
        case 'h':
        case kHelp:
            o->help = true;
            break;
        case kVersion:
            o->version = true;
            break;
        case ':':
            *error = std::string(name) + " needs a value";
            return false;
        default:
            *error = std::string("unknown option ") + name;
            return false;
        }
        if (!ok)
            return false;
    }
    if (optind < argc) {
        *error = std::string("unexpected argument \"") + argv[optind] + "\"";
        return false;
    }
    if (!o->device.empty() && !o->link.empty()) {
        *error = "--link names a pty; it cannot go with --device";
        return false;
    }
    return true;
}

std::vector<std::string> OptionNames() {
    std::vector<std::string> names;
    for (const option* o = kOptions; o->name; ++o)
        names.push_back(o->name);
    return names;
}

const char* HelpText() {
    // The delay's default is the host's reply wait and a second, written here from the two.
    static const std::string text =
        "Usage: korvane-sim [OPTION]...\nPlays the slaves a Korvane host flashes: OD slave " +
        SlaveListText(g_odTarget) + " (byte addresses, " + std::to_string(g_odTarget.blockLength) +
        "-byte blocks) and the\nStepper slaves " + SlaveListText(g_stepperTarget) +
        " (16-bit word addresses, " + std::to_string(g_stepperTarget.blockLength) +
        R"(-byte blocks), each with
a program memory that starts erased (0xFF). It answers Erase, Program, GetStatus and ReadData,
takes Reset without an answer, and ignores (and logs) anything else. The first line on standard
output is the path of the line the host must open. SIGINT, SIGTERM or SIGHUP ends it cleanly,
writing the log's last record and the dumps.

Line:
  --link PATH          also make a symbolic link PATH to the new pty (an old link is replaced)
  --device PATH        open this serial device (115200 8N1, raw) instead of making a pty
  --baud N             pace both directions at N baud, 10 bits a byte; 0 = no pacing (default)
  --packet-us US       hand paced replies over as a USB adapter does, in packets: the bytes
                       due within the same US microseconds go out together when the last of
                       them is due (1000: a full-speed adapter); 0 = byte by byte (default)
  --erase-ms MS        processing time of an Erase before its answer (default 0)
  --program-ms MS      processing time of a Program before its answer (default 0)
  --frame-gap MS       a request that pauses this long before its closing flag is dropped as
                       cut off (default 50; 0 = never)
  --exit-on-close      exit (writing the dumps) when the host closes the pty

Output:
  --log PATH           log every request as one JSON object a line ("-": standard error);
                       a line that cannot be written ends the simulator with status 1
  --hex-dir DIR        at exit write DIR/slave-XX.hex (XX the address in hex) for every slave
                       that was erased or programmed: its programmed memory as Intel HEX,
                       addressed in the slave's unit (bytes for OD, words for Stepper)

Faults (repeatable: the same seed and options give the same faults):
  --seed N             seed of the fault generators (default 1)
  --lose PCT           lose this share of replies (the command is still carried out)
  --corrupt-byte PCT   change one byte of a reply between its opening flag and its FCS
  --corrupt-fcs PCT    change the FCS of a reply
  --noise PCT          send 1 to --noise-bytes random bytes (never 0x7E) before a reply
  --noise-bytes N      most noise bytes before one reply, 1 to 64 (default 4)
  --split PCT          stop inside a reply for --split-ms, after its opening flag
  --split-ms MS        length of that pause, more than the host's )" +
        std::to_string(SLAVE_NEXT_BYTE_TIMEOUT_MS) + R"( ms (default 20)
  --delay PCT          answer this share of requests --delay-ms late
  --delay-ms MS        that delay (default )" +
        std::to_string(kDefaultDelayMs) + ": past the host's " +
        std::to_string(SLAVE_REPLY_TIMEOUT_MS) + R"( ms wait for a reply)
  --silent-after N     carry out and answer the first N valid requests, then nothing more
  --refuse-erase VALUE answer every Erase with VALUE (1 to 0xFFFF) and erase nothing
  --status BYTE        the status byte GetStatus reports (default 0, success)
  --only-slave ADDRESS only this slave refuses its erases or reports that status; the others
                       erase and report 0
  --babble-after N     after N valid requests (0: at once) send random bytes without end
  PCT is a percentage from 0 to 100, fractions allowed (2.5). Numbers take 0x for hex.

  -h, --help           this text
  --version            the version

ReadData without a value reads one block (64 or 128 bytes) at a read cursor that starts at 0,
moves on with each read and goes back to 0 on Reset; with a 16-bit address it reads a block
there, and with an address and a count byte (1 to 253) that many bytes.

Example:
  korvane-sim --link /tmp/ttyKV --log sim.jsonl --hex-dir out --baud 115200 --lose 2
)";
    return text.c_str();
}

} // namespace ksim
