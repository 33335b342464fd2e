// Small text helpers shared by the operation workers.
#pragma once

#include "device/Checksum.h" // HexText
#include "ops/Operation.h"

#include <string>

namespace orvan {

// The writer check every operation starts with: WriterMismatch and TimeOut
// end it ("Writer type is error!" or `timeoutText`, red, on `line`); every
// other result lets it go on. True when the operation goes on.
bool WriterCheckPasses(WriterResult r, TOpDialog& d, const std::string& line,
                       const std::string& timeoutText);

} // namespace orvan
