// orvan-cli subcommands. Each returns the process exit status, one of
// cli/ExitCodes.h, and prints through cli/Output.h.
#pragma once

#include "cli/ExitCodes.h"
#include "cli/Output.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvan {
struct TProductionRecords;
struct TStoreConfig;
class TWorkspace;
} // namespace orvan

namespace orvan::cli {

// Options of the production commands (program-id, auto, qtp).
struct TProductionArgs {
    std::string IdText, IdHex; // --id TEXT, --id-hex "HH HH ..."
    bool HasIdText = false, HasIdHex = false;
    bool NoBlankCheck = false;
    std::string QtpFile; // --qtp FILE
    std::string SerialAddr, SerialBytes, SerialValue, Increment, Parts;
    bool Random = false, LsbFirst = false;
    std::string Output; // -o OUT
    // Production records: --db URL, --station NAME (auto: this station;
    // report: only its chips), --restart-series (with --yes), and report's
    // --since DATE, --csv.
    std::string Db, Station, Since;
    bool RestartSeries = false, Csv = false;
    // serve: --listen HOST:PORT, --token SECRET.
    std::string Listen, Token;
};

struct TArgs {
    std::string Command;
    std::string Model;              // -d MODEL
    std::string Port;               // -P PORT ("Com1".."Com8" or a device path)
    std::string PortsMap;           // --ports-map FILE (default ./ports.map)
    std::string Option;             // --option HHHH
    std::string CfgFile;            // --cfg FILE
    std::string Output;             // -o OUT
    bool Protect = false;           // --protect
    bool Yes = false;               // --yes: program over a blank reset word
    int Count = 1;                  // --count N
    int Polls = 200;                // doctor --polls N (hidden: tests take fewer)
    bool Json = false;              // --json
    std::string EepromOut;          // read --eeprom-out FILE
    std::string SaveCfg;            // read --save-cfg FILE
    std::string Eeprom;             // verify --eeprom FILE
    std::vector<std::string> Files; // positional arguments after the command
    TProductionArgs Production;
};

// --db, --station and production.conf read and checked, before any chip
// work: the database's form and the station's name (report: the name it
// shows). False with `error`, a usage error that shows no password;
// `warning` as ReadStoreConfig sets it.
bool StoreConfigFor(const TProductionArgs& p, orvan::TStoreConfig& config, std::string& error,
                    std::string* warning = nullptr);
// StoreConfigFor, with production.conf's warning printed: 0, or ExitUsage
// after the message.
int CheckStoreArgs(const TProductionArgs& p);
// The production records named by --db/--station, else production.conf,
// else production.db and the host name with `port`, the station's name
// held. Null with `error`.
std::shared_ptr<orvan::TProductionRecords> OpenStoreFor(const TProductionArgs& p,
                                                        const std::string& port,
                                                        const std::string& dataFile,
                                                        std::string& error);
// OpenStoreFor into ws.Records for a production command; 0, or ExitStore
// after the message.
int OpenRecordsFor(const TArgs& args, orvan::TWorkspace& ws, const std::string& dataFile);

} // namespace orvan::cli
#include <memory>

namespace orvan {
class TWorkspace;
class TWriterLink;
} // namespace orvan
namespace orvan::cli {

// Sets `ws` up as the model options say: --cfg FILE loads that configuration
// in full mode, its data file included (the model then comes from it);
// otherwise -d MODEL selects the model. File messages go to stderr.
// Returns 0, or the exit status to end with (1 file error, 2 usage error).
int SetUpWorkspace(const TArgs& args, orvan::TWorkspace& ws);

// Loads a data or configuration file as File Open does, the companion
// configuration included; messages go to stderr. 0, or 1 when the load
// failed or a record was damaged. "-" is standard input, which must hold
// Intel HEX (a usage error otherwise).
int LoadDataFile(orvan::TWorkspace& ws, const std::string& path);

// Saves the program memory to `path` in the format its type names (BIN,
// ".hex", ".ohx"; "-" BIN on stdout). False with the message.
bool SaveProgramFile(orvan::TWorkspace& ws, const std::string& path, std::string& error);

// --id TEXT / --id-hex "HH ...": checked (0, or ExitUsage after the
// message), then stored in the ID buffer as the ID edit dialog stores them.
int CheckIdOptions(const TProductionArgs& p, const std::string& command);
void StoreIdOptions(const TProductionArgs& p, orvan::TWorkspace& ws);
// auto and force-write keep the data file's SHA-256 in the records: its
// name must be a file's, not - (0, or ExitUsage after the message).
int CheckRecordedFile(const TArgs& args);

// Parses --option: exactly four hex digits, a 14-bit word.
bool ParseOptionWord(const std::string& text, unsigned& word);

// The workspace as -d MODEL / --cfg FILE say and the link with the port
// open; `files` positional arguments are required. 0, or the exit status to
// end with (the port error is printed). Without `open` the port is only
// named, for the command to open itself.
int Prepare(const TArgs& args, const char* command, std::unique_ptr<orvan::TWorkspace>& ws,
            std::unique_ptr<orvan::TWriterLink>& link, size_t files = 0, bool open = true);

int CmdDevices(const TArgs& args);
int CmdPorts(const TArgs& args);
int CmdStatus(const TArgs& args);
int CmdConvert(const TArgs& args);
int CmdConnect(const TArgs& args);
int CmdAbout(const TArgs& args);
int CmdDisasm(const TArgs& args);
// Chip operations: blank-check, erase, read, program, program-option,
// verify, program-eeprom, force-write.
int CmdChipOperation(const TArgs& args);
bool IsChipOperation(const std::string& command);
int CmdProgramID(const TArgs& args);
int CmdAuto(const TArgs& args);
int CmdQtp(const TArgs& args);
int CmdReport(const TArgs& args);
int CmdDoctor(const TArgs& args);
int CmdServe(const TArgs& args);

} // namespace orvan::cli
