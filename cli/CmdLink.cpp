// connect and about: commands that talk to the writer.
#include "cli/Commands.h"
#include "cli/Signals.h"
#include "link/WriterLink.h"
#include "session/Operations.h"
#include "session/Workspace.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace orvan::cli {
namespace {

// "Com1".."Com8" in any case (ports.map then says where each leads), or a
// device path as it stands.
bool ValidPortName(const std::string& p) {
    return p.size() == 4 && UpperCase(p.substr(0, 3)) == "COM" && p[3] >= '1' && p[3] <= '8';
}
bool DevicePath(const std::string& p) {
    return p.size() > 1 && p.front() == '/';
}

} // namespace

int Prepare(const TArgs& args, const char* command, std::unique_ptr<TWorkspace>& ws,
            std::unique_ptr<TWriterLink>& link, size_t files, bool open) {
    if (args.Port.empty() || (args.Model.empty() && args.CfgFile.empty()))
        return UsageError(std::string(command) + " needs -P PORT and -d MODEL");
    if (args.Files.size() != files)
        return UsageError(std::string(command) +
                          (files == 0 ? " takes no file arguments" : " needs one FILE"));
    if (!ValidPortName(args.Port) && !DevicePath(args.Port))
        return UsageError("-P takes Com1 .. Com8 or a device path such as /dev/ttyUSB0, not " +
                          args.Port);
    ws = std::make_unique<TWorkspace>();
    if (const int rc = SetUpWorkspace(args, *ws)) return rc;
    link = std::make_unique<TWriterLink>();
    // "Com1" as the port selector would show it.
    const std::string name = DevicePath(args.Port) ? args.Port : "Com" + args.Port.substr(3);
    if (!args.PortsMap.empty()) link->Comm1.SetPortMapFile(args.PortsMap);
    // A pseudo-terminal named by its path (a simulated writer) has no CTS
    // wire, as "nocts" in ports.map says of a line.
    if (DevicePath(args.Port)) {
        char real[PATH_MAX];
        if (realpath(args.Port.c_str(), real) && std::string(real).rfind("/dev/pts/", 0) == 0)
            link->Comm1.SetAssumeCTS(true);
    }
    if (!open) {
        link->Comm1.SetDeviceName(name);
        return ExitOk;
    }
    const std::string error = link->CheckComPort(name, -1);
    // A run killed just before this one on the same line left its mark (the
    // link's CheckComPort): the first exchange then lets the line fall quiet
    // until the writer drops the block.
    if (link->PortFailed) return FailOnStdout(ExitWriter, error);
    return ExitOk;
}

int CmdConnect(const TArgs& args) {
    std::unique_ptr<TWorkspace> ws;
    std::unique_ptr<TWriterLink> link;
    if (const int rc = Prepare(args, "connect", ws, link); rc != 0 || !link) return rc;
    std::string message;
    const TOpOutcome o = ConnectWriter(*ws, *link, message, StopToken());
    PrintLine(message);
    Result()["message"] = message;
    return ExitOf(o);
}

int CmdAbout(const TArgs& args) {
    std::unique_ptr<TWorkspace> ws;
    std::unique_ptr<TWriterLink> link;
    if (const int rc = Prepare(args, "about", ws, link); rc != 0 || !link) return rc;
    std::string firmware;
    const TOpOutcome o = AboutWriter(*ws, *link, firmware, StopToken());
    PrintLine(firmware);
    Result()["firmware"] = firmware;
    return ExitOf(o);
}

} // namespace orvan::cli
