// Small PIC programs for gpasm and the words they must turn into, worked
// out by hand from the instruction meanings (operands moved to this
// family's fields).
#pragma once

#include <cstdint>
#include <vector>

namespace orvan::test {

inline const char* Pic12Source = R"(        processor 16c54
        org 0
start:  movlw 0x12
        movwf 0x08
        clrf 0x09
        addwf 0x08,1
        bsf 0x03,5
        btfss 0x03,2
        call sub
        andlw 0x0F
        xorlw 0xFF
        clrwdt
        sleep
        tris 6
        option
        nop
        clrw
        goto start
sub:    retlw 0x34
        end
)";

inline const std::vector<uint16_t> Pic12Words = {
    0x3A12, // LDWI 12h
    0x1188, // STWR 08h
    0x1109, // CLRR 09h
    0x1B88, // ADDWR 08h,1
    0x0A83, // BSR 03h,5
    0x0D03, // BTSS 03h,2
    0x3010, // CALL 10h
    0x340F, // ANDWI 0Fh
    0x36FF, // XORWI FFh
    0x1001, // CLRWT
    0x1002, // SLEEP
    0x1006, // CPIO 6
    0x1003, // TMODE
    0x1000, // NOP
    0x1080, // CLRW
    0x3200, // JUMP 000h
    0x3134, // RTIW 34h
};

inline const char* Pic14Source = R"(        processor 16f84
        org 0
        goto main
        org 4
        retfie
main:   bsf 0x03,5
        movlw 0x12
        movwf 0x20
        addlw 0x05
        sublw 0x07
        iorlw 0x80
        andlw 0x7F
        xorlw 0x55
        incf 0x20,1
        decfsz 0x21,0
        btfsc 0x03,2
        call sub
        clrf 0x22
        clrw
        clrwdt
        nop
        sleep
        goto main
sub:    return
        retlw 0x34
        end
)";

inline const std::vector<uint16_t> Pic14Words = {
    0x2805, // LJUMP 005h
    0x3FFF, 0x3FFF, 0x3FFF,
    0x1009, // RTFI
    0x0A83, // BSR 03h,5
    0x3A12, // LDWI 12h
    0x11A0, // STWR 20h
    0x3705, // ADDWI 05h
    0x3807, // SUBWI 07h
    0x3580, // IORWI 80h
    0x347F, // ANDWI 7Fh
    0x3655, // XORWI 55h
    0x19A0, // INCR 20h,1
    0x1E21, // DECRSZ 21h,0
    0x0503, // BTSC 03h,2
    0x2017, // LCALL 017h
    0x1122, // CLRR 22h
    0x1080, // CLRW
    0x1001, // CLRWT
    0x1000, // NOP
    0x1002, // SLEEP
    0x2805, // LJUMP 005h
    0x1004, // RET
    0x3134, // RTIW 34h
};

// The program checksum over `words` device words, the rest blank.
inline unsigned ExpectedChecksum(const std::vector<uint16_t>& program, int words) {
    unsigned sum = 0;
    for (int i = 0; i < words; ++i) {
        const unsigned w =
            i < static_cast<int>(program.size()) ? program[static_cast<std::size_t>(i)] : 0x3FFFu;
        sum += (w & 0xFF) + (w >> 8);
    }
    return sum & 0xFFFF;
}

} // namespace orvan::test
