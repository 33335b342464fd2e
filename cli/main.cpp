// orvan-cli: the headless front end over the same core as the desktop
// application, for production scripts and tests. The command line is read
// here, and only here (CLI11 is slow to compile): one block per subcommand,
// one line per global option.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Signals.h"
#include "production/StoreConfig.h"
#include "session/Workspace.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvan::cli {
namespace {

// The product version without its "V": "2.43".
std::string VersionNumber() {
    const std::string v = ProductVersion;
    return v.size() > 1 && v[0] == 'V' ? v.substr(1) : v;
}

const char* Intro = "usage: orvan-cli [options] COMMAND [arguments]\n"
                    "       orvan-cli COMMAND --help   (the options of one command)\n"
                    "       orvan-cli --version\n";

const char* GlobalHelp =
    "Options for every command (before or after it):\n"
    "  -d MODEL        device model, as in the device list (OV101 .. OV137),\n"
    "                  in any case\n"
    "  -P PORT         serial port Com1 .. Com8 (mapped by ports.map in the\n"
    "                  working directory, else /dev/ttyS0 .. /dev/ttyS7), or a\n"
    "                  device path such as /dev/ttyUSB0\n"
    "  --ports-map FILE  where Com1 .. Com8 lead (default ./ports.map)\n"
    "  --cfg FILE      load a configuration file (full mode) first; the model\n"
    "                  then comes from it\n"
    "  --option HHHH   OPTION word, four hexadecimal digits\n"
    "  --db NAME       production records (auto, force-write, report):\n"
    "                  postgresql://... or postgres://..., libpq settings\n"
    "                  \"host=... dbname=...\", sqlite:PATH or FILE.db; else\n"
    "                  production.conf, else production.db in the working\n"
    "                  directory (passwords: ~/.pgpass, never here)\n"
    "  --station NAME  this station (default from production.conf, else the\n"
    "                  host name and the port, HOST:ComN); one process at a\n"
    "                  time per station; report: only this station's chips\n"
    "  --json          JSON Lines on stdout: one object per event, the last\n"
    "                  one {\"event\":\"result\",\"ok\":...,\"exit\":N,...}\n"
    "  -q, --quiet     only the result line: nothing when a chip command passed,\n"
    "                  its first failure when it failed\n"
    "  -v, --verbose   every line of an operation as it changes\n"
    "  --version       print the version and exit\n"
    "  -h, --help      this text\n"
    "A command refuses an option of this list it does not use. A progress line\n"
    "goes to stderr while it is a terminal (read, program, force-write).\n"
    "SIGINT, SIGTERM or SIGHUP stops an operation between two bytes (exit\n"
    "status 130, 143 or 129; 141 when the reader of stdout went away).\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  the chip failed the operation (or a chip of auto failed)\n"
    "  2  usage error: bad command line, --yes missing for a blank reset word,\n"
    "     or for auto what would fail every chip (a blank OPTION word or program)\n"
    "  3  writer not reachable: the port cannot be opened, or the writer does\n"
    "     not answer, answers wrongly, or is of the wrong type (auto stops when\n"
    "     the line has gone or two chips in a row met this); doctor: a check\n"
    "     found an error\n"
    "  4  file error: a file cannot be read, is damaged, or cannot be written\n"
    "  5  production records cannot be opened or written\n";

// A subcommand's --help: its synopsis as the overview gives it, then the
// options CLI11 lists.
class THelpFormatter : public CLI::Formatter {
  public:
    std::map<std::string, std::string> Synopsis;
    std::string make_usage(const CLI::App* app, std::string) const override {
        std::string s = Synopsis.count(app->get_name()) ? Synopsis.at(app->get_name()) : "";
        return "usage: orvan-cli [options] " + app->get_name() + (s.empty() ? "" : " " + s) +
               "\n\n" + app->get_description() + "\n";
    }
    std::string make_description(const CLI::App*) const override { return ""; }
};

// The global options a subcommand uses; any other it is given is refused.
enum TUses : unsigned {
    UsesNone = 0,
    UsesModel = 1,    // -d, --cfg
    UsesPort = 2,     // -P, --ports-map
    UsesMap = 4,      // --ports-map
    UsesOption = 8,   // --option
    UsesRecords = 16, // --db, --station
    UsesDb = 32       // --db alone
};

struct TGlobalOption {
    const char* Name;
    unsigned Uses;
};
const TGlobalOption GlobalOptions[] = {
    {"-d", UsesModel},          {"--cfg", UsesModel},
    {"-P", UsesPort},           {"--ports-map", UsesPort | UsesMap},
    {"--option", UsesOption},   {"--db", UsesRecords | UsesDb},
    {"--station", UsesRecords},
};

struct TSubcommand {
    CLI::App* App;
    const char* Group;
    const char* Synopsis;
    const char* Help;
    int (*Run)(const TArgs&);
    unsigned Uses;
};

class TCommandLine {
  public:
    TCommandLine() : App("orvan-cli: the Orvan Writer without a window", "orvan-cli") {
        // Options of the whole program are taken after the subcommand too.
        App.fallthrough();
        App.require_subcommand(0, 1);
        App.set_help_flag("-h,--help", "print this help");
        App.add_flag("--version", Version, "print the version and exit");
        // Global options: one line each.
        App.add_option("-d", Args.Model, "device model (OV101 .. OV137)")->type_name("MODEL");
        App.add_option("-P", Args.Port, "serial port Com1 .. Com8, or a device path")
            ->type_name("PORT");
        App.add_option("--ports-map", Args.PortsMap,
                       "where Com1 .. Com8 lead (default ./ports.map)")
            ->type_name("FILE");
        App.add_option("--cfg", Args.CfgFile, "configuration file to load first")
            ->type_name("FILE");
        App.add_option("--option", Args.Option, "OPTION word, four hexadecimal digits")
            ->type_name("HHHH");
        App.add_flag("--json", Args.Json, "JSON Lines on stdout");
        App.add_flag("-q,--quiet", Quiet, "only the result line");
        App.add_flag("-v,--verbose", Verbose, "every line as it changes");
        // Production records (auto, force-write, report): where they are kept
        // and who this station is (report: whose chips).
        App.add_option("--db", Args.Production.Db,
                       "production records: postgresql://..., host=... dbname=..., "
                       "sqlite:PATH or FILE.db")
            ->type_name("NAME");
        App.add_option("--station", Args.Production.Station, "station name")->type_name("NAME");
        AddSubcommands();
    }

    // -1 to go on and run the command, else the exit status to end with
    // (`answered` set after --help and --version).
    int Parse(int argc, char** argv, bool& answered) {
        try {
            App.parse(argc, argv);
        } catch (const CLI::CallForHelp&) {
            if (Chosen()) Args.Command = Chosen()->App->get_name();
            PrintHelp();
            answered = true;
            return ExitOk;
        } catch (const CLI::ParseError& e) {
            Args.Command = Chosen() ? Chosen()->App->get_name() : "";
            // An argument misplaced may be a password.
            return UsageError(RedactedUrl(e.what()) + " (see --help)");
        }
        if (Version) {
            if (JsonOutput())
                Result()["version"] = VersionNumber();
            else
                std::printf("orvan-cli %s\n", VersionNumber().c_str());
            answered = true;
            return ExitOk;
        }
        if (!Chosen()) return UsageError("no command given (see --help)");
        Args.Command = Chosen()->App->get_name();
        if (Quiet && Verbose) return UsageError("-q and -v do not go together");
        SetVerbosity(Quiet     ? TVerbosity::Quiet
                     : Verbose ? TVerbosity::Verbose
                               : TVerbosity::Normal);
        for (const TGlobalOption& g : GlobalOptions)
            if (App.get_option(g.Name)->count() > 0 && !(Chosen()->Uses & g.Uses))
                return UsageError(Args.Command + " does not use " + g.Name);
        // Model names as the device list gives them, in any case.
        for (char& ch : Args.Model)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        for (size_t k = 0; k < Slots.size(); ++k)
            if (SlotOwners[k] == Chosen()->App && !Slots[k].empty()) Args.Files.push_back(Slots[k]);
        Args.Production.Output = Args.Output; // one -o for every command that writes a file
        return -1;
    }

    int Run() const { return Chosen()->Run(Args); }
    const TArgs& Parsed() const { return Args; }

  private:
    CLI::App* Add(const char* group, const char* name, const char* synopsis, const char* help,
                  int (*run)(const TArgs&), unsigned uses) {
        CLI::App* c = App.add_subcommand(name, help);
        c->group(group);
        c->formatter(Formatter);
        Formatter->Synopsis[name] = synopsis;
        Commands.push_back({c, group, synopsis, help, run, uses});
        return c;
    }
    // One positional argument; those given become TArgs::Files in this
    // order, and the command checks their number itself.
    void File(CLI::App* c, const char* name, const char* help) {
        std::string& slot = Slots.emplace_back();
        c->add_option(name, slot, help)->type_name("");
        SlotOwners.push_back(c);
    }
    void Output(CLI::App* c, const char* help) {
        c->add_option("-o", Args.Output, help)->type_name("FILE");
    }
    void Count(CLI::App* c, const char* help) {
        c->add_option("--count", Args.Count, help)->type_name("N")->check(CLI::Range(1, 1000000));
    }
    void Yes(CLI::App* c) {
        c->add_flag("--yes", Args.Yes, "program over a blank reset word (it is meant so)");
    }
    void Protect(CLI::App* c, const char* help) { c->add_flag("--protect", Args.Protect, help); }
    void Id(CLI::App* c) {
        TProductionArgs& p = Args.Production;
        c->add_option_function<std::string>(
             "--id",
             [&p](const std::string& v) {
                 p.IdText = v;
                 p.HasIdText = true;
             },
             "ID as text, at most 12 characters")
            ->type_name("TEXT");
        c->add_option_function<std::string>(
             "--id-hex",
             [&p](const std::string& v) {
                 p.IdHex = v;
                 p.HasIdHex = true;
             },
             "ID as hexadecimal bytes")
            ->type_name("\"HH HH ...\"");
    }
    void Serial(CLI::App* c) {
        TProductionArgs& p = Args.Production;
        c->add_option("--serial-addr", p.SerialAddr, "word address of the serial number")
            ->type_name("HHHH");
        c->add_option("--serial-bytes", p.SerialBytes, "serial number bytes, 1 .. 8")
            ->type_name("N");
        c->add_option("--serial-value", p.SerialValue, "first serial number, hexadecimal")
            ->type_name("HEX");
        c->add_option("--increment", p.Increment, "step from chip to chip (default 1)")
            ->type_name("N");
        c->add_flag("--random", p.Random, "random numbers instead of a count");
        c->add_flag("--lsb-first", p.LsbFirst, "least significant byte first");
    }

    void AddSubcommands() {
        const char* General = "Commands";
        const char* Chip = "Chip operations (-P PORT and -d MODEL or --cfg FILE); each prints "
                           "its\ndialog's lines top to bottom, failures as \"ERROR: \" lines";
        const char* Production = "Production (-P PORT and -d MODEL or --cfg FILE)";
        CLI::App* c = nullptr;

        Add(General, "devices", "",
            "list the device models: name, words, family,\n"
            "word type (12/14), OTP/flash, writer type",
            CmdDevices, UsesNone);

        Add(General, "ports", "[--ports-map FILE]",
            "list the serial devices (path, by-id name, driver, USB\n"
            "latency, holder) and the ports.map lines with whether\n"
            "each leads to a device",
            CmdPorts, UsesMap);

        c = Add(General, "status", "-d MODEL [FILE]",
                "print the status panel for MODEL: the OPTION rows,\n"
                "Checksum, OPTION Sum and Protect Sum; with FILE,\n"
                "load it first as File Open does",
                CmdStatus, UsesModel | UsesOption);
        File(c, "FILE", "data file to load first");

        c = Add(General, "convert", "-d MODEL FILE OUT",
                "load FILE (- : Intel HEX on stdin), then save the\n"
                "program memory to OUT: .hex, .ohx, else BIN (- : stdout)",
                CmdConvert, UsesModel);
        File(c, "FILE", "the data file");
        File(c, "OUT", "the file to write: .hex Intel HEX, .ohx, else BIN; - BIN on stdout");

        Add(General, "connect", "-P PORT -d MODEL", "poll the writer and print the connect message",
            CmdConnect, UsesModel | UsesPort);

        Add(General, "about", "-P PORT -d MODEL", "print the writer's firmware text, or Unknown",
            CmdAbout, UsesModel | UsesPort);

        c = Add(General, "doctor", "-P PORT -d MODEL",
                "check a station before the first chip: device,\n"
                "permission, holders, USB latency, the writer and\n"
                "its type, firmware, round trip and the model's\n"
                "program and read times; one line a check, ok,\n"
                "warning or error (exit status 3 on any error)",
                CmdDoctor, UsesModel | UsesPort);
        // Tests time fewer polls than a station needs.
        c->add_option("--polls", Args.Polls, "polls to time")
            ->check(CLI::Range(1, 100000))
            ->group("");

        c = Add(General, "disasm", "-d MODEL [FILE] [-o OUT.dis]",
                "list the program memory (blank, or FILE loaded) as\n"
                "the disassembly window shows it; with -o, write\n"
                "the .dis file instead (CR LF line ends)",
                CmdDisasm, UsesModel);
        File(c, "FILE", "data file to load first");
        Output(c, "write the .dis file instead of listing it");

        Add(Chip, "blank-check", "", "blank check", CmdChipOperation, UsesModel | UsesPort);

        Add(Chip, "erase", "", "erase (flash models), then blank check", CmdChipOperation,
            UsesModel | UsesPort);

        c = Add(Chip, "read", "OUT [--eeprom-out FILE] [--save-cfg FILE]",
                "read the chip; program memory saved to OUT (.hex\n"
                "Intel HEX, .ohx, else BIN; - BIN on stdout)",
                CmdChipOperation, UsesModel | UsesPort);
        File(c, "OUT", "file for the program memory read: .hex, .ohx, else BIN; - stdout");
        c->add_option("--eeprom-out", Args.EepromOut, "save the EEPROM read (flash models), raw")
            ->type_name("FILE");
        c->add_option("--save-cfg", Args.SaveCfg,
                      "save a configuration naming OUT, with the OPTION and ID read")
            ->type_name("FILE");

        c = Add(Chip, "program", "FILE [--yes]",
                "program memory from FILE and read it back; a blank\n"
                "reset word is refused unless --yes",
                CmdChipOperation, UsesModel | UsesPort);
        File(c, "FILE", "data file to program");
        Yes(c);

        Add(Chip, "program-option", "[--option HHHH]",
            "program the OPTION word (else the --cfg one)", CmdChipOperation,
            UsesModel | UsesPort | UsesOption);

        c = Add(Chip, "verify",
                "FILE [--protect] [--id TEXT | --id-hex \"HH ...\"] [--eeprom FILE]",
                "compare the chip with FILE (and --cfg), the ID and\n"
                "the EEPROM image given",
                CmdChipOperation, UsesModel | UsesPort | UsesOption);
        File(c, "FILE", "data file to compare with");
        Protect(c, "verify in protect mode");
        Id(c);
        c->add_option("--eeprom", Args.Eeprom, "raw EEPROM image to compare (flash models)")
            ->type_name("FILE");

        c = Add(Chip, "program-eeprom", "FILE", "program a raw EEPROM image (flash models)",
                CmdChipOperation, UsesModel | UsesPort);
        File(c, "FILE", "raw EEPROM image, at most the model's EEPROM size");

        c = Add(Chip, "force-write", "FILE [--count N] [--protect]",
                "program without check, N chips in a row", CmdChipOperation,
                UsesModel | UsesPort | UsesRecords);
        File(c, "FILE", "data file to program");
        Count(c, "runs, one chip each (default 1)");
        Protect(c, "the difference line in protect mode");

        c = Add(Production, "program-id", "FILE [--id TEXT | --id-hex \"HH HH ...\"]",
                "program the ID and the program's checksum into\n"
                "the chip and read them back",
                CmdProgramID, UsesModel | UsesPort | UsesOption);
        File(c, "FILE", "data file whose checksum is programmed");
        Id(c);

        c = Add(Production, "auto", "FILE [--count N] [--yes] [--no-blank-check] [--qtp QTPFILE]",
                "auto program N chips in a row (the writer puts a\n"
                "fresh chip in after each pass); one line a chip,\n"
                "then the pass count; stops at the QTP file's end",
                CmdAuto, UsesModel | UsesPort | UsesOption | UsesRecords);
        File(c, "FILE", "data file to program");
        Count(c, "chips to program (default 1)");
        Yes(c);
        c->add_flag("--no-blank-check", Args.Production.NoBlankCheck,
                    "skip the blank check (erase) before programming");
        c->add_option("--qtp", Args.Production.QtpFile, "take the serial numbers from a QTP file")
            ->type_name("QTPFILE");
        Serial(c);
        c->add_flag("--restart-series", Args.Production.RestartSeries,
                    "start a used series (or QTP file) again at its first number; needs --yes");

        c = Add(Production, "qtp", "FILE -o OUT --parts N",
                "write a QTP file of N serial numbers for FILE", CmdQtp, UsesModel);
        File(c, "FILE", "data file the numbers are for");
        Output(c, "the QTP file to write");
        c->add_option("--parts", Args.Production.Parts, "number of records")->type_name("N");
        Serial(c);

        c = Add(Production, "report", "[--since YYYY-MM-DD] [--station NAME] [--csv]",
                "chips, passes, fails, yield and serial range per\n"
                "day, station and model; --csv: the chip records",
                CmdReport, UsesRecords);
        c->add_option("--since", Args.Production.Since, "from this day on (UTC)")
            ->type_name("YYYY-MM-DD");
        c->add_flag("--csv", Args.Production.Csv, "the chip records as CSV");

        c = Add(Production, "serve", "[--listen HOST:PORT] [--token SECRET]",
                "a read-only web view of the line's records\n"
                "(default 127.0.0.1:8080; elsewhere with --token)",
                CmdServe, UsesDb);
        c->add_option("--listen", Args.Production.Listen, "address and port (127.0.0.1:8080)")
            ->type_name("HOST:PORT");
        c->add_option("--token", Args.Production.Token,
                      "every request must carry it; needed off 127.0.0.1")
            ->envname("ORVAN_SERVE_TOKEN")
            ->type_name("SECRET");
    }

    const TSubcommand* Chosen() const {
        for (const TSubcommand& s : Commands)
            if (s.App->parsed()) return &s;
        return nullptr;
    }

    void PrintHelp() const {
        const std::string text = HelpText();
        if (JsonOutput())
            Result()["help"] = text;
        else
            std::fputs(text.c_str(), stdout);
    }

    std::string HelpText() const {
        if (const TSubcommand* s = Chosen()) {
            std::string uses;
            for (const TGlobalOption& g : GlobalOptions)
                if ((s->Uses & g.Uses) && uses.find(g.Name) == std::string::npos)
                    uses += std::string(uses.empty() ? "" : ", ") + g.Name;
            return s->App->help() + "\nOptions it takes from the list for every command: " +
                   (uses.empty() ? "" : uses + ", ") + "--json, -q, -v\n";
        }
        std::string text = Intro;
        const char* group = nullptr;
        for (const TSubcommand& s : Commands) {
            if (s.Group != group) {
                group = s.Group;
                text += "\n" + std::string(group) + ":\n";
            }
            std::string head = "  " + s.App->get_name();
            if (*s.Synopsis) head += " " + std::string(s.Synopsis);
            std::string help = s.Help;
            for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
                help.insert(at + 1, 29, ' ');
            if (head.size() < 29)
                text += head + std::string(29 - head.size(), ' ') + help + "\n";
            else
                text += head + "\n" + std::string(29, ' ') + help + "\n";
        }
        text += "\nSerial numbers (auto, qtp):\n"
                "  --serial-addr HHHH --serial-bytes N --serial-value HEX [--increment N]\n"
                "  [--random] [--lsb-first]\n\n";
        text += GlobalHelp;
        return text;
    }

    CLI::App App;
    TArgs Args;
    bool Version = false;
    bool Quiet = false, Verbose = false;
    std::vector<TSubcommand> Commands;
    std::deque<std::string> Slots; // positional arguments, stable addresses
    std::vector<CLI::App*> SlotOwners;
    std::shared_ptr<THelpFormatter> Formatter = std::make_shared<THelpFormatter>();
};

} // namespace
} // namespace orvan::cli

int main(int argc, char** argv) {
    using namespace orvan::cli;
    // A closed output pipe is seen as a failed write, so that the command
    // stops between two bytes as for SIGINT instead of dying in a block.
    std::signal(SIGPIPE, SIG_IGN);
    InstallStopSignals(); // before any thread: SIGINT/SIGTERM/SIGHUP stop the exchange
    // Known before parsing, so that a bad command line is reported in JSON too.
    bool json = false;
    for (int i = 1; i < argc; ++i)
        json = json || std::string(argv[i]) == "--json";
    SetJsonOutput(json);
    TCommandLine line;
    bool answered = false; // --help, --version
    int rc = line.Parse(argc, argv, answered);
    if (!answered && rc < 0) rc = line.Run();
    if (json) {
        // A stopping signal sets the exit status on the way out.
        const int sig = answered ? 0 : CaughtSignal();
        Emit(FinalResult(line.Parsed().Command, sig ? 128 + sig : rc));
    }
    // What is still buffered (a listing to a file) is written now: a full
    // disk is a file error, said on stderr; a closed pipe exits 141.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) NoteOutputFailure(errno);
    if (const int error = OutputFailure(); error != 0 && error != EPIPE) {
        std::fprintf(stderr, "orvan-cli: cannot write the output: %s\n", std::strerror(error));
        return ExitFile;
    }
    return rc;
}
