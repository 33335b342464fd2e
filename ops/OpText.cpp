#include "ops/OpText.h"

namespace orvan {

bool WriterCheckPasses(WriterResult r, TOpDialog& d, const std::string& line,
                       const std::string& timeoutText) {
    if (r == WriterResult::WriterMismatch) {
        d.Fail(line, "Writer type is error!");
        return false;
    }
    if (r == WriterResult::TimeOut) {
        d.Fail(line, timeoutText);
        return false;
    }
    return true;
}

} // namespace orvan
