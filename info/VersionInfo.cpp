#include "info/VersionInfo.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const Notes = R"(Orvan Writer release notes

V2.43
- Linux desktop edition: serial ports through ports.map, single
  instance per user, Default.cfg written safely at exit.
- orvan-cli: the same core without a window, for production scripts.
- Disassembly listing built in memory; saved .dis files use CR LF.

V2.42
- OV131 and OV132 added (OV132: 6K words, the largest model).
- OV133 to OV137 added.

V2.41
- Load QTP File: serial numbers taken record by record from a
  prepared QTP file.
- Pass counter can be set from the Counter dialog.

V2.40
- About box shows the firmware version of a universal writer.
- Version history window (this one).

V2.30
- Verify with Protect: a secured chip is compared on the bits it
  still reads back.
- Auto Program without Blank Check for pre-tested stock.

V2.20
- Disassembler: the program memory listed in the Orvan 14-bit
  instruction set and saved as a .dis file.
- Fill Buffer with a value or a word pattern.

V2.10
- Auto Program: erase or blank check, program and verify ID,
  program memory and OPTION in one command, then count the pass.
- Serial-number mode with sequential or pseudo-random numbers and
  QTP file generation.

V2.00
- Flash models OV128 and OV129: Erase, data EEPROM window,
  Program EEPROM.
- Universal writer (one unit for every model) supported beside the
  type 1 and type 2 writers.
- Handshake choice: Default, CTS or None.

V1.60
- Configuration files (.cfg) hold the model, OPTION, ID, serial
  settings and the data file; Default.cfg is read at start.
- Program ID and Checksum.

V1.50
- OPTION editor with the fields of each model; status panel shows
  the decoded OPTION word and the checksums.

V1.30
- 14-bit OTP models OV116 to OV127 added.
- PIC HEX and PIC OBJ files are translated while they load
  (12-bit and 14-bit PIC code).

V1.20
- Orvan hex (.ohx) files.
- Read Device stores the chip into the buffers for copying.

V1.10
- Program memory window edits single words; Save Program Memory
  writes BIN files.

V1.00
- First release: 12-bit OTP models OV101 to OV106; Blank Check,
  Program, Verify; BIN files; Com1 to Com8 at 115200 baud.
)";

} // namespace

TVersionInfo::TVersionInfo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("VersionInfo"));
    setWindowTitle(QStringLiteral("VersionInfo"));
    auto* layout = new QVBoxLayout(this);
    MemoVer = new QPlainTextEdit(this);
    MemoVer->setObjectName(QStringLiteral("MemoVer"));
    MemoVer->setReadOnly(true);
    MemoVer->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoVer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoVer->setPlainText(ReleaseNotes());
    layout->addWidget(MemoVer, 1);
    Button1 = new QPushButton(QStringLiteral("Exit"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(Button1);
    row->addStretch();
    layout->addLayout(row);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    resize(454, 525);
}

QString TVersionInfo::ReleaseNotes() {
    return QString::fromUtf8(Notes);
}
