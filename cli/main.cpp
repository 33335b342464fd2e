// orvan-cli: the headless front end over the same core as the desktop
// application, for production scripts and tests.
#include "cli/Commands.h"
#include "cli/Signals.h"

#include <cstdio>
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
    "\n"
    "Options:\n"
    "  -d MODEL        device model, as in the device list (OV101 .. OV137)\n"
    "  -P PORT         serial port Com1 .. Com8 (mapped by ports.map in the\n"
    "                  working directory, else /dev/ttyS0 .. /dev/ttyS7)\n"
    "  --option HHHH   OPTION word, four hexadecimal digits\n"
    "  --cfg FILE      load a configuration file (full mode) first; the model\n"
    "                  then comes from it\n"
    "  --help          this text\n"
    "\n"
    "Exit status: 0 success, 1 file or writer error, 2 usage error.\n";

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
        } else if (a == "-d" || a == "-P" || a == "--option" || a == "--cfg") {
            const char* v = value(a.c_str());
            if (!v) return UsageError("option " + a + " needs a value");
            if (a == "-d")
                args.Model = v;
            else if (a == "-P")
                args.Port = v;
            else if (a == "--option")
                args.Option = v;
            else
                args.CfgFile = v;
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError("unknown option " + a + " (see --help)");
        } else if (args.Command.empty()) {
            args.Command = a;
        } else {
            args.Files.push_back(a);
        }
    }
    if (args.Command.empty()) return UsageError("no command given (see --help)");
    if (args.Command == "devices") return CmdDevices(args);
    if (args.Command == "status") return CmdStatus(args);
    if (args.Command == "convert") return CmdConvert(args);
    if (args.Command == "connect") return CmdConnect(args);
    if (args.Command == "about") return CmdAbout(args);
    return UsageError("unknown command " + args.Command + " (see --help)");
}
