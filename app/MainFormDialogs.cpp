// Where each operation's window attaches to the main window. The command
// handlers (MainFormCommands.cpp) make the entry checks and set the flags;
// these run the window itself. Operations not built yet leave their slot empty.
#include "app/MainForm.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QVBoxLayout>

namespace {

// Stands in for the ID and checksum window until that window exists: shows
// the ID bytes of the buffer, read-only.
class TIDWindowPlaceholder : public QMdiSubWindow {
  public:
    explicit TIDWindowPlaceholder(const orvan::TWorkspace& ws) {
        setObjectName(QStringLiteral("IDWindowPlaceholder"));
        setWindowTitle(QStringLiteral("ID"));
        QString bytes;
        for (int i = 0; i < 12; ++i)
            bytes +=
                QStringLiteral("%1 ").arg(ws.Buffers.IDBuffer[size_t(i)], 2, 16, QLatin1Char('0'));
        auto* body = new QWidget(this);
        auto* layout = new QVBoxLayout(body);
        auto* label = new QLabel(QStringLiteral("ID: ") + bytes.trimmed().toUpper(), body);
        label->setObjectName(QStringLiteral("Label2"));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
        setWidget(body);
        resize(300, 90);
    }
};

} // namespace

QMdiSubWindow* TMainForm::NewIDWindow() {
    return new TIDWindowPlaceholder(Ws());
}

void TMainForm::RunAboutBox() {}
void TMainForm::RunVersionInfo() {}
void TMainForm::OpenDisassembly() {}
void TMainForm::SaveDisassembly() {}
