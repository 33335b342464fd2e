// orvan-cli: the headless front end over the same core as the desktop
// application, for production scripts and tests.
#include "cli/Commands.h"
#include "cli/Signals.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace orvan::cli {

int UsageError(const std::string& text) {
    std::cerr << "orvan-cli: " << text << "\n";
    return 2;
}

namespace {

const char* HelpText =
    "usage: orvan-cli [options] COMMAND [arguments]\n"
    "\n"
    "Commands:\n"
    "  devices                    list the device models: name, words, family,\n"
    "                             word type (12/14), OTP/flash, writer type\n"
    "  status -d MODEL [FILE]     print the status panel for MODEL: the OPTION rows,\n"
    "                             Checksum, OPTION Sum and Protect Sum; with FILE,\n"
    "                             load it first as File Open does\n"
    "  convert -d MODEL FILE OUT  load FILE, then save the program memory to OUT (BIN)\n"
    "  connect -P PORT -d MODEL   poll the writer and print the connect message\n"
    "  about -P PORT -d MODEL     print the writer's firmware text, or Unknown\n"
    "  disasm -d MODEL [FILE] [-o OUT.dis]\n"
    "                             list the program memory (blank, or FILE loaded) as\n"
    "                             the disassembly window shows it; with -o, write\n"
    "                             the .dis file instead (CR LF line ends)\n"
    "\n"
    "Chip operations (-P PORT and -d MODEL or --cfg FILE); each prints its\n"
    "dialog's lines top to bottom, failures as \"ERROR: \" lines:\n"
    "  blank-check                blank check\n"
    "  erase                      erase (flash models), then blank check\n"
    "  read OUT                   read the chip; program memory saved to OUT (BIN)\n"
    "  program FILE [--yes]       program memory from FILE and read it back; a blank\n"
    "                             reset word is refused unless --yes\n"
    "  program-option [--option HHHH]  program the OPTION word (else the --cfg one)\n"
    "  verify FILE [--protect]    compare the chip with FILE (and --cfg)\n"
    "  program-eeprom FILE        program a raw EEPROM image (flash models)\n"
    "  force-write FILE [--count N]  program without check, N chips in a row\n"
    "\n"
    "Production (-P PORT and -d MODEL or --cfg FILE):\n"
    "  program-id FILE [--id TEXT | --id-hex \"HH HH ...\"]\n"
    "                             program the ID and the program's checksum into\n"
    "                             the chip and read them back\n"
    "  auto FILE [--count N] [--yes] [--no-blank-check] [--qtp QTPFILE]\n"
    "                             auto program N chips in a row (the writer puts a\n"
    "                             fresh chip in after each pass); one line a chip,\n"
    "                             then the pass count; stops at the QTP file's end\n"
    "  qtp FILE -o OUT --parts N  write a QTP file of N serial numbers for FILE\n"
    "  report [--since YYYY-MM-DD] [--station NAME] [--csv]\n"
    "                             chips, passes, fails, yield and serial range per\n"
    "                             day, station and model; --csv: the chip records\n"
    "Production records (auto, force-write, report): --db URL (a file, or\n"
    "  postgresql://...) --station NAME, else production.conf, else production.db\n"
    "  and the host name; auto --restart-series --yes starts a used series again\n"
    "\n"
    "Serial numbers (auto, qtp; else from --cfg):\n"
    "  --serial-addr HHHH --serial-bytes N --serial-value HEX [--increment N]\n"
    "  [--random] [--lsb-first]\n"
    "\n"
    "Options:\n"
    "  -d MODEL        device model, as in the device list (OV101 .. OV137)\n"
    "  -P PORT         serial port Com1 .. Com8 (mapped by ports.map in the\n"
    "                  working directory, else /dev/ttyS0 .. /dev/ttyS7)\n"
    "  --option HHHH   OPTION word, four hexadecimal digits\n"
    "  -o FILE         output file (disasm, qtp)\n"
    "  --cfg FILE      load a configuration file (full mode) first; the model\n"
    "                  then comes from it\n"
    "  --protect       verify (and force-write's difference line) in protect mode\n"
    "  --count N       force-write runs or auto-program chips (default 1)\n"
    "  --yes           program over a blank reset word\n"
    "  --help          this text\n"
    "A progress line goes to stderr while it is a terminal (read, program,\n"
    "force-write). SIGINT or SIGTERM stops an operation between two bytes.\n"
    "\n"
    "Exit status: 0 success, 1 file or writer error, 2 usage error,\n"
    "5 production records cannot be opened or written.\n";

} // namespace
} // namespace orvan::cli

int main(int argc, char** argv) {
    using namespace orvan::cli;
    InstallStopSignals(); // before any thread: SIGINT/SIGTERM/SIGHUP stop the exchange
    TArgs args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(HelpText, stdout);
            return 0;
        } else if (a == "-d" || a == "-P" || a == "--option" || a == "--cfg" || a == "-o") {
            const char* v = value(a.c_str());
            if (!v) return UsageError("option " + a + " needs a value");
            if (a == "-d")
                args.Model = v;
            else if (a == "-P")
                args.Port = v;
            else if (a == "-o")
                args.Output = v;
            else if (a == "--option")
                args.Option = v;
            else
                args.CfgFile = v;
        } else if (a == "--protect") {
            args.Protect = true;
        } else if (a == "--yes") {
            args.Yes = true;
        } else if (a == "--count") {
            const char* v = value(a.c_str());
            char* end = nullptr;
            const long n = v ? std::strtol(v, &end, 10) : 0;
            if (!v || *end != 0 || n < 1 || n > 1000000)
                return UsageError("--count takes a number of runs, 1 or more");
            args.Count = static_cast<int>(n);
        } else if (const int used = ParseProductionOption(a, i + 1 < argc ? argv[i + 1] : nullptr,
                                                          args.Production);
                   used != -1) {
            if (used == -2) return UsageError("option " + a + " needs a value");
            i += used;
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError("unknown option " + a + " (see --help)");
        } else if (args.Command.empty()) {
            args.Command = a;
        } else {
            args.Files.push_back(a);
        }
    }
    if (args.Command.empty()) return UsageError("no command given (see --help)");
    args.Production.Output = args.Output; // one -o for every command that writes a file
    if (args.Command == "devices") return CmdDevices(args);
    if (args.Command == "status") return CmdStatus(args);
    if (args.Command == "convert") return CmdConvert(args);
    if (args.Command == "connect") return CmdConnect(args);
    if (args.Command == "about") return CmdAbout(args);
    if (args.Command == "disasm") return CmdDisasm(args);
    if (IsChipOperation(args.Command)) return CmdChipOperation(args);
    if (args.Command == "program-id") return CmdProgramID(args);
    if (args.Command == "auto") return CmdAuto(args);
    if (args.Command == "qtp") return CmdQtp(args);
    if (args.Command == "report") return CmdReport(args);
    return UsageError("unknown command " + args.Command + " (see --help)");
}
