#include "production/SerialSettings.h"

#include <algorithm>
#include <cstdio>

namespace orvan {

std::string TSerialSettings::HexText() const {
    const int n = std::clamp(SerialByteCount, 1, MaxSerialBytes);
    std::string text;
    for (int k = n - 1; k >= 0; --k) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X",
                      static_cast<unsigned>(SerialBytes[size_t(k)] & 0xFF));
        text += buf;
    }
    return text;
}

} // namespace orvan
