// The main window's link to the writer: the serial component Comm1, the
// port-failure flag, the saved port settings and the protocol's own state.
// (Filled in by the link layer.)
#pragma once

namespace orvan {

class TWriterLink {
  public:
    bool PortFailed = false;
};

} // namespace orvan
