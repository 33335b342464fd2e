#include "disasm/Disform.h"

#include "disasm/Disassembler.h"
#include "session/Workspace.h"

#include <QFontDatabase>
#include <QPlainTextEdit>

TDisassembleForm::TDisassembleForm(orvan::TWorkspace& ws, QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName(QStringLiteral("DisassembleForm"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Courier New where it is installed, else the system's fixed-pitch face:
    // the columns of the listing only line up in a fixed pitch.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Courier New"), font.family()});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    Memo1->setFont(font);
    setWidget(Memo1);
    resize(545, 480);
    setWindowTitle(ws.LoadedFileName.empty() ? QStringLiteral("Disassembly")
                                             : QString::fromStdString(ws.LoadedFileName));
    FormCreate(ws);
}

void TDisassembleForm::FormCreate(orvan::TWorkspace& ws) {
    ws.GetICInfo();
    ShowListing(orvan::DisassembleLines(ws.Buffers.ProgramBuffer, ws.Device.ICMemBytes));
}

void TDisassembleForm::ShowListing(const std::vector<std::string>& lines) {
    std::string text;
    text.reserve(lines.size() * 56);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    // The listing is plain ASCII.
    Memo1->setPlainText(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

QStringList TDisassembleForm::Lines() const {
    return Memo1->toPlainText().split(QLatin1Char('\n'));
}
