#include "buffer/HexText.h"

namespace orvan {

int32_t HexToInt(std::string_view text, bool& valid) {
    uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else {
            valid = false;
            return 0;
        }
        value = value * 16u + static_cast<uint32_t>(digit);
    }
    valid = true;
    return static_cast<int32_t>(value);
}

int32_t HexToInt(std::string_view text) {
    bool valid = false;
    return HexToInt(text, valid);
}

bool IsHexKey(char c) {
    return c == '\b' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

} // namespace orvan
