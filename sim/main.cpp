// unitsim: a simulated control unit on a pseudo-terminal, linked into the tool's port folder
// as COMn, serving until SIGINT or SIGTERM.
#include "sim/unitsim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <pthread.h>

namespace {

const char* kHelp =
    "Usage: unitsim [options]\n"
    "A simulated control unit on a pseudo-terminal, linked as COM<N> in the port folder.\n"
    "Serves until SIGINT or SIGTERM, then removes the link.\n"
    "\n"
    "  --com N               port number of the link (default 1)\n"
    "  --folder DIR          port folder (default $XDG_DATA_HOME/virelan2/ports,\n"
    "                        or ~/.local/share/virelan2/ports)\n"
    "  --firmware C          firmware code, image index 0 (default 52; 50 or more is new)\n"
    "  --minor M             firmware minor number, image index 50 (default 14)\n"
    "  --device-type T       device type code, image index 1 (default 1)\n"
    "  --old                 old firmware: code 21, minor 0\n"
    "  --paced               model 115200 baud 8N1 wire time in both directions\n"
    "  --slow                dribble every reply: a byte every 15 ms, the first 15 ms late\n"
    "                        (slower than the tool's read limit of 10 ms a byte)\n"
    "  --slow-ms MS          the same at a byte every MS ms (implies --slow)\n"
    "  --slow-burst N        with --slow: N bytes at a time, then a pause, one burst every\n"
    "                        N x MS ms (default 1; implies --slow)\n"
    "  --silent              answer nothing at all\n"
    "  --answer-start B      answer to \"U\" (default W; -1 answers nothing)\n"
    "  --answer-end B        answer to \"Z\" (default V; -1 answers nothing)\n"
    "  --verdict B           answer after \"S\" and the image, new firmware (default ]; -1 none)\n"
    "  --refuse-writes       new firmware: refuse images with \"[\" and keep the old one\n"
    "  --bad-checksum        send the image with index 51 off by one\n"
    "  --alter-stored I      store image index I one higher than a write sent it\n"
    "  --image-length N      bytes sent after \"R\" (default 512)\n"
    "  --telemetry-length N  bytes sent after 0x10 (default 12)\n"
    "  --readings a,b,c,d,e,f  the six readings (default 512,600,700,800,500,2400)\n"
    "  --stall-after N       upload: fall silent after N blocks\n"
    "  --hangup-after N      upload: hang up the line after N blocks\n"
    "  --ack-extra N         upload: bytes between a block's \"U\" and its 0xFF (default 1)\n"
    "  --block-work MS       upload: the unit's own work per block before 0xFF (default 0)\n"
    "  --help                this text\n"
    "\n"
    "A byte B is a number (decimal or 0x hex) or a single character.\n";

[[noreturn]] void fail(const std::string& text)
{
    std::fprintf(stderr, "unitsim: %s\n(try --help)\n", text.c_str());
    std::exit(2);
}

long number(const std::string& opt, const char* s)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s, &end, 0);
    if (*s == 0 || *end != 0 || errno != 0)
        fail(opt + ": not a number: " + s);
    return v;
}

int byteValue(const std::string& opt, const char* s)
{
    if (std::strlen(s) == 1 && !(s[0] >= '0' && s[0] <= '9'))
        return static_cast<unsigned char>(s[0]);
    long v = number(opt, s);
    if (v < -1 || v > 255)
        fail(opt + ": not a byte: " + s);
    return int(v);
}

std::string defaultFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + "/virelan2/ports";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.local/share/virelan2/ports";
}

} // namespace

int main(int argc, char** argv)
{
    sim::Config cfg;
    int com = 1;
    std::string folder;

    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i];
        auto arg = [&]() -> const char* {
            if (i + 1 >= argc)
                fail(opt + " needs a value");
            return argv[++i];
        };
        if (opt == "--help" || opt == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (opt == "--com") {
            com = int(number(opt, arg()));
            if (com < 1)
                fail("--com: must be 1 or more");
        } else if (opt == "--folder") {
            folder = arg();
        } else if (opt == "--firmware") {
            cfg.firmware = std::uint8_t(number(opt, arg()));
        } else if (opt == "--minor") {
            cfg.minor = std::uint8_t(number(opt, arg()));
        } else if (opt == "--device-type") {
            cfg.deviceType = std::uint8_t(number(opt, arg()));
        } else if (opt == "--old") {
            cfg.firmware = 21;
            cfg.minor = 0;
        } else if (opt == "--paced") {
            cfg.paced = true;
        } else if (opt == "--slow") {
            if (cfg.slowMs == 0)
                cfg.slowMs = 15;
        } else if (opt == "--slow-ms") {
            cfg.slowMs = int(number(opt, arg()));
            if (cfg.slowMs < 1 || cfg.slowMs > 60000)
                fail("--slow-ms: must be 1 to 60000");
        } else if (opt == "--slow-burst") {
            cfg.slowBurst = int(number(opt, arg()));
            if (cfg.slowBurst < 1 || cfg.slowBurst > 512)
                fail("--slow-burst: must be 1 to 512");
        } else if (opt == "--silent") {
            cfg.silent = true;
        } else if (opt == "--answer-start") {
            cfg.answerToStart = byteValue(opt, arg());
        } else if (opt == "--answer-end") {
            cfg.answerToEnd = byteValue(opt, arg());
        } else if (opt == "--verdict") {
            cfg.writeVerdict = byteValue(opt, arg());
        } else if (opt == "--refuse-writes") {
            cfg.refuseWrites = true;
        } else if (opt == "--bad-checksum") {
            cfg.badChecksum = true;
        } else if (opt == "--alter-stored") {
            cfg.alterStored = int(number(opt, arg()));
        } else if (opt == "--image-length") {
            cfg.imageLength = int(number(opt, arg()));
        } else if (opt == "--telemetry-length") {
            cfg.telemetryLength = int(number(opt, arg()));
        } else if (opt == "--readings") {
            std::string list = arg();
            std::size_t k = 0, pos = 0;
            while (k < 6) {
                std::size_t comma = list.find(',', pos);
                std::string item = list.substr(pos, comma == std::string::npos ? comma : comma - pos);
                long v = number(opt, item.c_str());
                if (v < 0 || v > 65535)
                    fail("--readings: not a 16-bit reading: " + item);
                cfg.readings[k++] = std::uint16_t(v);
                if (comma == std::string::npos)
                    break;
                pos = comma + 1;
            }
            if (k != 6 || list.find(',', pos) != std::string::npos)
                fail("--readings: six values are needed");
        } else if (opt == "--stall-after") {
            cfg.stallAfterBlocks = int(number(opt, arg()));
        } else if (opt == "--hangup-after") {
            cfg.hangupAfterBlocks = int(number(opt, arg()));
        } else if (opt == "--ack-extra") {
            cfg.ackExtra = int(number(opt, arg()));
        } else if (opt == "--block-work") {
            cfg.blockWorkMs = int(number(opt, arg()));
        } else {
            fail("unknown option " + opt);
        }
    }
    if (folder.empty())
        folder = defaultFolder();
    if (cfg.slowBurst > 1 && cfg.slowMs == 0)
        cfg.slowMs = 15;

    // The signals are taken by sigwait below; the unit's thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    int rc = 0;
    {
        sim::Unit unit(cfg);
        if (unit.slavePath().empty()) {
            std::fprintf(stderr, "unitsim: no pseudo-terminal\n");
            return 1;
        }
        if (!unit.link(com, folder)) {
            std::fprintf(stderr, "unitsim: cannot link %s/COM%d\n", folder.c_str(), com);
            return 1;
        }
        std::printf("slave: %s\nlink: %s/COM%d\n", unit.slavePath().c_str(), folder.c_str(),
                    com);
        std::fflush(stdout);

        int sig = 0;
        sigwait(&stopSignals, &sig);
        unit.unlink();
    }
    return rc;
}
