// devices and status: the catalogue and the status panel, no writer needed.
#include "buffer/BufferBlock.h"
#include "buffer/HexText.h"
#include "cli/Commands.h"
#include "device/Catalogue.h"
#include "session/Workspace.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace orvan::cli {

int CmdDevices(const TArgs& args) {
    if (!args.Files.empty()) return UsageError("devices takes no arguments");
    TJson models = TJson::array();
    for (const TCatalogueRow& r : Catalogue()) {
        const int words = r.LastAddrHi * 256 + r.LastAddrLo + 1;
        const int bits = r.WordType == Word12Bit ? 12 : 14;
        const char* tech = r.Tech == TechFlash ? "flash" : "OTP";
        if (JsonOutput())
            models.push_back({{"name", r.Name},
                              {"words", words},
                              {"family", r.Family},
                              {"wordBits", bits},
                              {"tech", tech},
                              {"writerType", r.WriterType}});
        else
            std::printf("%s %d %d %d %s %u\n", r.Name, words, r.Family, bits, tech, r.WriterType);
    }
    if (JsonOutput()) Result()["devices"] = models;
    return ExitOk;
}

// "OSC Type:" as a JSON key's value: without the colon.
std::string LabelName(std::string name) {
    while (!name.empty() && (name.back() == ':' || name.back() == ' '))
        name.pop_back();
    return name;
}

// Prints the status panel as the main window shows it.
void PrintPanel(const TWorkspace& ws) {
    if (JsonOutput()) {
        TJson rows = TJson::array();
        for (const TOptionRow& row : ws.Panel.Option.Rows)
            rows.push_back({{"name", LabelName(row.Name)},
                            {"value", row.Value},
                            {"enabled", bool(row.Enabled)}});
        TJson& r = Result();
        r["device"] = ws.DeviceName;
        r["option"] = rows;
        r["checksum"] = ws.Panel.Checksum;
        r["optionSum"] = ws.Panel.OptionSum;
        r["protectSum"] = ws.Panel.ProtectSum;
        return;
    }
    std::printf("Device: %s\n", ws.DeviceName.c_str());
    for (const TOptionRow& row : ws.Panel.Option.Rows) {
        if (row.Enabled)
            std::printf("%s %s\n", row.Name.c_str(), row.Value.c_str());
        else
            std::printf("%s (greyed)\n", row.Name.c_str());
    }
    std::printf("Checksum: %s\n", ws.Panel.Checksum.c_str());
    std::printf("OPTION Sum: %s\n", ws.Panel.OptionSum.c_str());
    std::printf("Protect Sum: %s\n", ws.Panel.ProtectSum.c_str());
}

bool ParseOptionWord(const std::string& text, unsigned& word) {
    bool valid = false;
    const int32_t v = HexToInt(text, valid);
    if (!valid || text.size() != 4 || v < 0 || v > 0x3FFF) return false;
    word = static_cast<unsigned>(v);
    return true;
}

int CmdStatus(const TArgs& args) {
    if (args.Files.size() > 1) return UsageError("status takes at most one FILE");
    auto ws = std::make_unique<TWorkspace>();
    if (const int rc = SetUpWorkspace(args, *ws)) return rc;
    if (!args.Files.empty())
        if (const int rc = LoadDataFile(*ws, args.Files[0])) return rc;
    if (!args.Option.empty()) {
        unsigned word = 0;
        if (!ParseOptionWord(args.Option, word))
            return UsageError("malformed --option " + args.Option +
                              " (four hexadecimal digits, at most 3FFF)");
        WordToPair(word, ws->Buffers.OptionLo, ws->Buffers.OptionHi);
        ws->RefreshData();
    }
    ws->CalChecksum();
    PrintPanel(*ws);
    return ExitOk;
}

} // namespace orvan::cli
