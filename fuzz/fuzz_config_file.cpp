// LoadCfg in both modes on arbitrary bytes, with an in-memory file system.
// A configuration that loads must save and load again to the same bytes.
#include "session/ConfigFile.h"
#include "buffer/FileNames.h"
#include "session/Workspace.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every named data file exists except "*missing*"; record files hold two
// words, raw files a size that follows the name's length.
class TFakeFiles final : public orvan::TFileAccess {
  public:
    bool Exists(const std::string& path) const override {
        return !path.empty() && path.find("missing") == std::string::npos;
    }
    orvan::TReadStatus Read(const std::string& path, std::size_t limit, bool refuseLonger,
                            std::vector<uint8_t>& out) const override {
        if (path.find("locked") != std::string::npos) return orvan::TReadStatus::CantOpen;
        const std::string type = orvan::TypeAfterFirstDot(path).substr(0, 3);
        if (type == "HEX" || type == "OHX") {
            const std::string text = ":040000008010232920\r\n:00000001FF\r\n";
            out.assign(text.begin(), text.end());
        } else {
            out.assign((path.size() % 8) * 512, 0x3F);
        }
        if (out.size() > limit) {
            if (refuseLonger) return orvan::TReadStatus::TooLarge;
            out.resize(limit);
        }
        return orvan::TReadStatus::Ok;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TFakeFiles files;
    const std::vector<uint8_t> bytes(data, data + size);
    for (const orvan::TCfgMode mode : {orvan::TCfgMode::Settings, orvan::TCfgMode::Full}) {
        auto ws = std::make_unique<orvan::TWorkspace>();
        ws->ConfigPath = "fuzz.cfg";
        ws->ShownOnce = (size & 1) != 0;
        const orvan::TFileResult r = orvan::LoadCfg(*ws, bytes, mode, {}, files);
        if (r.Messages.size() > 3) std::abort();
        if (!r.Ok) continue;
        if (ws->Serial.SerialByteCount < 1 || ws->Serial.SerialByteCount > 8) std::abort();
        if (ws->PortIndex < 0 || ws->PortIndex > 7) std::abort();
        const std::vector<uint8_t> first = orvan::SaveCfg(*ws);
        auto again = std::make_unique<orvan::TWorkspace>();
        again->ConfigPath = "fuzz.cfg";
        if (!orvan::LoadCfg(*again, first, mode, {}, files).Ok) std::abort();
        const std::vector<uint8_t> second = orvan::SaveCfg(*again);
        auto third = std::make_unique<orvan::TWorkspace>();
        if (!orvan::LoadCfg(*third, second, mode, {}, files).Ok) std::abort();
        if (orvan::SaveCfg(*third) != second) std::abort();
    }
    return 0;
}
