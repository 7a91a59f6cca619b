// Finding the serial ports (korvane ports, over a fake sysfs, /dev and /proc) and the reasons
// a COMn: port does not open, as they reach the console output.
#include "ComportSupport.h"

#include "ce_output.h"
#include "link/Comport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using comport_test::PortMapping;
using comport_test::Pty;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

void Link(const fs::path& link, const fs::path& target) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A machine's /sys, /dev and /proc below one directory, standing for / while it lives.
class FakeHost {
public:
    FakeHost() {
        char name[] = "/tmp/korvane-host-XXXXXX";
        m_root = mkdtemp(name);
        fs::create_directories(m_root / "sys/class/tty");
        fs::create_directories(m_root / "dev");
        fs::create_directories(m_root / "proc");
        if (const char* old = getenv("KORVANE_HOST_ROOT"))
            m_old = old;
        setenv("KORVANE_HOST_ROOT", m_root.c_str(), 1);
    }
    ~FakeHost() {
        if (m_old.empty())
            unsetenv("KORVANE_HOST_ROOT");
        else
            setenv("KORVANE_HOST_ROOT", m_old.c_str(), 1);
        fs::remove_all(m_root);
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    std::string Root() const { return m_root.string(); }
    fs::path Sys(const std::string& path) const { return m_root / "sys" / path; }
    fs::path Dev(const std::string& path) const { return m_root / "dev" / path; }

    // The tty `name` whose class directory lies below `parent`, its device being `device`
    // (none for a virtual terminal), with a node in /dev.
    void Tty(const std::string& name, const std::string& parent, const std::string& device) {
        const fs::path classDir = Sys(parent) / "tty" / name;
        fs::create_directories(classDir);
        Link(Sys("class/tty") / name, classDir);
        if (!device.empty())
            Link(classDir / "device", Sys(device));
        Write(Dev(name), "");
    }
    void Driver(const std::string& device, const std::string& bus, const std::string& driver) {
        fs::create_directories(Sys("bus") / bus / "drivers" / driver);
        Link(Sys(device) / "driver", Sys("bus") / bus / "drivers" / driver);
        Link(Sys(device) / "subsystem", Sys("bus") / bus);
    }
    // A USB device at `port` (1-1, 1-2, ...) with one serial interface.
    std::string Usb(const std::string& port, const std::string& vid, const std::string& pid,
                    const std::string& manufacturer, const std::string& product,
                    const std::string& serial) {
        const std::string device = "devices/pci0000:00/0000:00:14.0/usb1/" + port;
        Write(Sys(device) / "idVendor", vid);
        Write(Sys(device) / "idProduct", pid);
        if (!manufacturer.empty())
            Write(Sys(device) / "manufacturer", manufacturer);
        Write(Sys(device) / "product", product);
        if (!serial.empty())
            Write(Sys(device) / "serial", serial);
        return device + "/" + port + ":1.0";
    }
    // A USB serial converter's port (ttyUSBn below its interface).
    void UsbSerial(const std::string& tty, const std::string& interface,
                   const std::string& driver) {
        const std::string port = interface + "/" + tty;
        fs::create_directories(Sys(port));
        Driver(port, "usb-serial", driver);
        Tty(tty, port, port);
    }
    // What ftdi_sio shows as the latency timer of the usb-serial port of a UsbSerial tty.
    void LatencyTimer(const std::string& tty, const std::string& value) {
        Write(fs::canonical(Sys("class/tty") / tty / "device") / "latency_timer", value);
    }
    void StableNames(const std::string& tty, const std::string& byId, const std::string& byPath) {
        if (!byId.empty())
            Link(Dev("serial/by-id") / byId, "../../" + tty);
        Link(Dev("serial/by-path") / byPath, "../../" + tty);
    }
    // A UART on the 8250 platform device, behind the serial-base controller and port devices
    // of newer kernels; type 0 is a port with no UART found.
    void Uart(const std::string& tty, int line, int type) {
        const std::string platform = "devices/platform/serial8250";
        const std::string port = platform + "/serial8250:0/serial8250:0." + std::to_string(line);
        fs::create_directories(Sys(port));
        if (!fs::exists(Sys(platform) / "driver")) {
            Driver(platform, "platform", "serial8250");
            Driver(platform + "/serial8250:0", "serial-base", "ctrl");
        }
        Driver(port, "serial-base", "port");
        Tty(tty, port, port);
        Write(Sys(port) / "tty" / tty / "type", std::to_string(type));
    }
    // /proc/locks names an flock on the node held by a process of that name, behind a lock on
    // another file and a process waiting for this one.
    void LockHeldBy(const std::string& tty, int pid, const std::string& name) {
        struct stat node;
        stat(Dev(tty).c_str(), &node);
        char file[64];
        snprintf(file, sizeof file, "%02x:%02x:%lu", major(node.st_dev), minor(node.st_dev),
                 static_cast<unsigned long>(node.st_ino));
        Write(m_root / "proc/locks", "1: POSIX  ADVISORY  WRITE 77 00:01:1 0 EOF\n"
                                     "2: FLOCK  ADVISORY  WRITE " +
                                         std::to_string(pid) + " " + file +
                                         " 0 EOF\n"
                                         "2: -> FLOCK  ADVISORY  WRITE 88 " +
                                         file + " 0 EOF");
        Write(m_root / "proc" / std::to_string(pid) / "comm", name);
    }

private:
    fs::path m_root;
    std::string m_old;
};

// The machine every listing test sees: five USB adapters (two of them identical CH340s with
// no serial number, which udev gives one by-id name), a real UART and a reserved one, and the
// virtual terminals that are never listed.
void BuildMachine(FakeHost& host) {
    host.UsbSerial("ttyUSB0", host.Usb("1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A1B2C3"),
                   "ftdi_sio");
    host.StableNames("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                     "pci-0000:00:14.0-usb-0:1:1.0-port0");
    host.LatencyTimer("ttyUSB0", "16");
    host.UsbSerial("ttyUSB1",
                   host.Usb("1-2", "10C4", "EA60", "Silicon Labs", "CP2102 \"USB\\UART\"", "0001"),
                   "cp210x");
    host.StableNames("ttyUSB1", "usb-Silicon_Labs_CP2102_USB_UART_0001-if00-port0",
                     "pci-0000:00:14.0-usb-0:2:1.0-port0");
    for (const char* at : {"3", "4"}) {
        const std::string tty = std::string("ttyUSB") + (at[0] == '3' ? "2" : "10");
        host.UsbSerial(tty, host.Usb(std::string("1-") + at, "1a86", "7523", "", "USB Serial", ""),
                       "ch341-uart");
        host.StableNames(tty, at[0] == '4' ? "usb-1a86_USB_Serial-if00-port0" : "",
                         std::string("pci-0000:00:14.0-usb-0:") + at + ":1.0-port0");
    }
    const std::string acm =
        host.Usb("1-5", "2341", "0043", "Arduino (www.arduino.cc)", "Uno\tR3", "8573531");
    host.Driver(acm, "usb", "cdc_acm");
    host.Tty("ttyACM0", acm, acm);
    host.StableNames("ttyACM0", "usb-Arduino__www.arduino.cc__0043_8573531-if00",
                     "pci-0000:00:14.0-usb-0:5:1.0");
    host.Uart("ttyS0", 0, 4);
    host.Uart("ttyS3", 3, 0);
    host.Tty("ptmx", "devices/virtual", "");
    host.Tty("tty1", "devices/virtual", "");
    Write(host.Dev("pts/0"), "");
    host.LockHeldBy("ttyUSB0", 4321, "minicom");
}

struct RunResult {
    std::string out;
    int status;
};

RunResult RunKorvane(const std::string& arguments) {
    const std::string command = KORVANE_BINARY_DIR "/korvane " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    RunResult result{"", -1};
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    result.status = WEXITSTATUS(pclose(pipe));
    return result;
}

const char JSON_PORTS[] =
    R"json([
{"device":"$R/dev/ttyACM0","by_id":["$R/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_8573531-if00"],"by_path":["$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:5:1.0"],"driver":"cdc_acm","vid":"2341","pid":"0043","manufacturer":"Arduino (www.arduino.cc)","product":"Uno\tR3","serial":"8573531","access":true,"busy_pid":null,"com6":false,"latency_timer_ms":null},
{"device":"$R/dev/ttyS0","by_id":[],"by_path":[],"driver":"serial8250","vid":null,"pid":null,"manufacturer":null,"product":null,"serial":null,"access":true,"busy_pid":null,"com6":false,"latency_timer_ms":null},
$S3{"device":"$R/dev/ttyUSB0","by_id":["$R/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"],"by_path":["$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0"],"driver":"ftdi_sio","vid":"0403","pid":"6001","manufacturer":"FTDI","product":"FT232R USB UART","serial":"A1B2C3","access":true,"busy_pid":4321,"com6":true,"latency_timer_ms":16},
{"device":"$R/dev/ttyUSB1","by_id":["$R/dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_UART_0001-if00-port0"],"by_path":["$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"],"driver":"cp210x","vid":"10c4","pid":"ea60","manufacturer":"Silicon Labs","product":"CP2102 \"USB\\UART\"","serial":"0001","access":true,"busy_pid":null,"com6":false,"latency_timer_ms":null},
{"device":"$R/dev/ttyUSB2","by_id":[],"by_path":["$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0"],"driver":"ch341-uart","vid":"1a86","pid":"7523","manufacturer":null,"product":"USB Serial","serial":null,"access":true,"busy_pid":null,"com6":false,"latency_timer_ms":null},
{"device":"$R/dev/ttyUSB10","by_id":["$R/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"],"by_path":["$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:4:1.0-port0"],"driver":"ch341-uart","vid":"1a86","pid":"7523","manufacturer":null,"product":"USB Serial","serial":null,"access":true,"busy_pid":null,"com6":false,"latency_timer_ms":null}
]
)json";

const char JSON_UNKNOWN_UART[] =
    R"json({"device":"$R/dev/ttyS3","by_id":[],"by_path":[],"driver":"serial8250","vid":null,"pid":null,"manufacturer":null,"product":null,"serial":null,"access":true,"busy_pid":null,"com6":false,"latency_timer_ms":null},
)json";

const char TEXT_PORTS[] =
    "$R/dev/ttyACM0: cdc_acm, USB 2341:0043, Arduino (www.arduino.cc) Uno\tR3, serial 8573531, "
    "read-write, by-id $R/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_8573531-if00, "
    "by-path $R/dev/serial/by-path/pci-0000:00:14.0-usb-0:5:1.0\n"
    "$R/dev/ttyS0: serial8250, read-write\n"
    "$S3"
    "$R/dev/ttyUSB0: ftdi_sio, USB 0403:6001, FTDI FT232R USB UART, serial A1B2C3, latency timer "
    "16 ms, read-write, in use by process 4321 (minicom), by-id "
    "$R/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0, by-path "
    "$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0 <- COM6:\n"
    "$R/dev/ttyUSB1: cp210x, USB 10c4:ea60, Silicon Labs CP2102 \"USB\\UART\", serial 0001, "
    "read-write, by-id $R/dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_UART_0001-if00-port0, "
    "by-path $R/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0\n"
    "$R/dev/ttyUSB2: ch341-uart, USB 1a86:7523, USB Serial, read-write, by-path "
    "$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0\n"
    "$R/dev/ttyUSB10: ch341-uart, USB 1a86:7523, USB Serial, read-write, by-id "
    "$R/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0, by-path "
    "$R/dev/serial/by-path/pci-0000:00:14.0-usb-0:4:1.0-port0\n"
    "Latency timer above 1 ms on $R/dev/ttyUSB0 (16 ms): such an adapter holds what the slave "
    "sends that long before passing it on, so a flash can take up to three times longer.\n"
    "The udev rule 60-korvane.rules that comes with Korvane (/usr/lib/udev/rules.d) sets 1 ms on "
    "FTDI adapters when they are plugged in: re-plug them, or set it now with: echo 1 | sudo tee "
    "$R/sys/class/tty/ttyUSB0/device/latency_timer\n";

TEST(SerialPorts, ListsTheMachinesPorts) {
    FakeHost host;
    BuildMachine(host);
    PortMapping com6(6, host.Dev("serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    struct Case {
        const char* arguments;
        const char* expected;
        const char* reservedUart; // what stands for $S3
    };
    const Case cases[] = {
        {"ports", TEXT_PORTS, ""},
        {"ports --all", TEXT_PORTS, "$R/dev/ttyS3: serial8250, no UART behind it, read-write\n"},
        {"ports --json", JSON_PORTS, ""},
        {"ports --all --json", JSON_PORTS, JSON_UNKNOWN_UART},
    };
    for (const Case& c : cases) {
        const RunResult run = RunKorvane(c.arguments);
        EXPECT_EQ(run.status, 0) << c.arguments;
        const std::string expected = Replaced(c.expected, "$S3", c.reservedUart);
        EXPECT_EQ(run.out, Replaced(expected, "$R", host.Root())) << c.arguments;
    }
}

// FTDI adapters at 1 ms (said, no advice), at more (one advice naming them all) and with a
// timer that reads as no number (not shown).
TEST(SerialPorts, LatencyTimers) {
    FakeHost host;
    const char* timers[] = {"1", "4", "x", "255"};
    for (int i = 0; i < 4; ++i) {
        const std::string tty = "ttyUSB" + std::to_string(i);
        host.UsbSerial(tty,
                       host.Usb("1-" + std::to_string(i + 1), "0403", "6015", "FTDI", "FT230X",
                                "S" + std::to_string(i)),
                       "ftdi_sio");
        host.LatencyTimer(tty, timers[i]);
    }
    const std::string text = Replaced(RunKorvane("ports").out, host.Root(), "$R");
    EXPECT_EQ(text,
              "$R/dev/ttyUSB0: ftdi_sio, USB 0403:6015, FTDI FT230X, serial S0, latency timer 1 "
              "ms, read-write\n"
              "$R/dev/ttyUSB1: ftdi_sio, USB 0403:6015, FTDI FT230X, serial S1, latency timer 4 "
              "ms, read-write\n"
              "$R/dev/ttyUSB2: ftdi_sio, USB 0403:6015, FTDI FT230X, serial S2, read-write\n"
              "$R/dev/ttyUSB3: ftdi_sio, USB 0403:6015, FTDI FT230X, serial S3, latency timer 255 "
              "ms, read-write\n"
              "COM6: $R/dev/ttyS5 does not exist\n"
              "Latency timer above 1 ms on $R/dev/ttyUSB1 (4 ms), $R/dev/ttyUSB3 (255 ms): such "
              "an adapter holds what the slave sends that long before passing it on, so a flash "
              "can take up to three times longer.\n"
              "The udev rule 60-korvane.rules that comes with Korvane (/usr/lib/udev/rules.d) sets "
              "1 ms on FTDI adapters when they are plugged in: re-plug them, or set it now with: "
              "echo 1 | sudo tee $R/sys/class/tty/ttyUSB1/device/latency_timer "
              "$R/sys/class/tty/ttyUSB3/device/latency_timer\n");
    std::string timersSeen;
    const std::string json = RunKorvane("ports --json").out;
    for (size_t at = json.find("\"latency_timer_ms\":"); at != std::string::npos;
         at = json.find("\"latency_timer_ms\":", at + 1))
        timersSeen += json.substr(at + 19, json.find('}', at) - at - 19) + " ";
    EXPECT_EQ(timersSeen, "1 4 null 255 ");
}

TEST(SerialPorts, EmptyMachineAndBadOptions) {
    FakeHost host;
    const RunResult text = RunKorvane("ports");
    EXPECT_EQ(text.out, "No serial ports.\nCOM6: " + host.Root() + "/dev/ttyS5 does not exist\n");
    EXPECT_EQ(RunKorvane("ports --json").out, "[]\n");
    const RunResult bad = RunKorvane("ports --usb");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "korvane ports: unknown option '--usb' (see 'korvane ports --help')\n");
}

std::string OpenCom6Console() {
    ce::ScopedOutputCapture output;
    CComPort port;
    const BOOL opened = port.Open(6);
    port.Close();
    return opened ? "opened" : output.Console();
}

// Missing (with the ports there are, or none), no terminal, held by another process.
TEST(SerialPorts, WhyTheHostPortDoesNotOpen) {
    {
        FakeHost host;
        BuildMachine(host);
        const std::string root = host.Root();
        EXPECT_EQ(OpenCom6Console(),
                  "COM6: " + root +
                      "/dev/ttyS5 does not exist (CE_COM6 is not set). Serial ports here: " + root +
                      "/dev/ttyACM0 (Arduino (www.arduino.cc) Uno\tR3, serial 8573531); " + root +
                      "/dev/ttyS0 (serial8250); " + root +
                      "/dev/ttyUSB0 (FTDI FT232R USB UART, serial A1B2C3); " + root +
                      "/dev/ttyUSB1 (Silicon Labs CP2102 \"USB\\UART\", serial 0001); " + root +
                      "/dev/ttyUSB2 (USB Serial, at pci-0000:00:14.0-usb-0:3:1.0-port0); " + root +
                      "/dev/ttyUSB10 (USB Serial, at pci-0000:00:14.0-usb-0:4:1.0-port0). Use "
                      "--port DEVICE or CE_COM6.\n");
        {
            FakeHost empty;
            PortMapping com6(6, "/dev/serial/by-id/usb-FTDI_unplugged-if00-port0");
            EXPECT_EQ(OpenCom6Console(),
                      "COM6: /dev/serial/by-id/usb-FTDI_unplugged-if00-port0 does not exist "
                      "(from CE_COM6). This machine has no serial ports. Use --port DEVICE or "
                      "CE_COM6.\n");
        }
        const std::string file = host.Dev("ttyUSB0");
        PortMapping com6(6, file);
        EXPECT_EQ(OpenCom6Console(), "COM6: " + file +
                                         " is not a terminal (Inappropriate ioctl for device).\n"
                                         "Error SetupComm\n");
    }

    Pty pty;
    PortMapping com6(6, pty.Path());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        prctl(PR_SET_NAME, "minicom");
        const int fd = open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
        flock(fd, LOCK_EX);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(OpenCom6Console(), "COM6: " + pty.Path() + " is in use by process " +
                                     std::to_string(holder) + " (minicom).\n");
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(OpenCom6Console(), "opened");
}

// A device its group may read and write, opened by a user outside the group, and by one
// whose group database has the group but whose session does not.
TEST(SerialPorts, PermissionDeniedNamesTheGroupToJoin) {
    const passwd* nobody = getpwuid(65534);
    const group* dialout = getgrnam("dialout");
    if (!nobody || !dialout || geteuid() != 0)
        GTEST_SKIP() << "needs root, user 65534 and group dialout";
    const std::string user = nobody->pw_name;
    const gid_t own = nobody->pw_gid;
    const gid_t other = dialout->gr_gid;
    const std::string otherName = dialout->gr_name;
    const group* ownGroup = getgrgid(own);
    const std::string ownName = ownGroup ? ownGroup->gr_name : std::to_string(own);
    struct Case {
        gid_t deviceGroup;
        gid_t sessionGroup;
        std::string reason;
    };
    const Case cases[] = {
        {other, own,
         "permission denied: it belongs to group " + otherName + ", and user " + user +
             " is not in it (sudo usermod -aG " + otherName + " " + user + ", then log in again)."},
        {own, other,
         "permission denied: user " + user + " is in group " + ownName +
             ", but this session began before that: log in again."},
    };
    for (const Case& c : cases) {
        char file[] = "/tmp/korvane-ttyUSB-XXXXXX";
        const int fd = mkstemp(file);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(fchown(fd, 0, c.deviceGroup), 0);
        ASSERT_EQ(fchmod(fd, 0660), 0);
        close(fd);
        PortMapping com6(6, file);
        const std::string expected = std::string("COM6: ") + file + ": " + c.reason + "\n";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(c.sessionGroup) != 0 || setuid(65534) != 0)
                _exit(3);
            const std::string seen = OpenCom6Console();
            if (seen != expected)
                fprintf(stderr, "expected: %sseen:     %s", expected.c_str(), seen.c_str());
            _exit(seen == expected ? 0 : 1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.reason;
        unlink(file);
    }
}

} // namespace
