#include "production/Store.h"

#include <cstdio>
#include <ctime>

namespace orvan {

std::string SeriesKeyOf(const std::string& model, const TSerialSettings& s) {
    char text[160];
    std::snprintf(text, sizeof text, "%s addr=%04X bytes=%d inc=%d %s %s", model.c_str(),
                  unsigned(s.SerialStartAddr), int(s.SerialByteCount), int(s.SerialIncrement),
                  s.SerialRandom ? "random" : "sequential", s.SerialLsbFirst ? "lsb" : "msb");
    return text;
}

std::string QtpSeriesKey(const std::string& sha256) {
    return "qtp " + sha256;
}

std::string YieldText(int64_t passes, int64_t chips) {
    if (chips <= 0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * double(passes) / double(chips));
    return text;
}

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

} // namespace orvan
