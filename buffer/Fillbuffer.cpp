#include "buffer/Fillbuffer.h"

#include "app/MessageBoxes.h"
#include "buffer/BufferOps.h"
#include "buffer/Editsingledata.h"
#include "session/Workspace.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* HexEntry(QWidget* parent, const char* name, const QString& text) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(4);
    THexKeyFilter::Install(edit);
    edit->setText(text);
    return edit;
}

} // namespace

TFillBufferForm::TFillBufferForm(orvan::TWorkspace& ws, QWidget* parent) : QDialog(parent), Ws(ws) {
    setObjectName(QStringLiteral("FillBufferForm"));
    setWindowTitle(QStringLiteral("Fill Buffer"));
    Ws.GetICInfo();
    StartAddr = HexEntry(this, "StartAddr", QStringLiteral("0"));
    EndAddr = HexEntry(this, "EndAddr", QString::number(Ws.Device.LastWordAddr(), 16).toUpper());
    Data = HexEntry(this, "Data", QStringLiteral("3FFF"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Start address :"), StartAddr);
    form->addRow(QStringLiteral("End address :"), EndAddr);
    form->addRow(QStringLiteral("Data :"), Data);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TFillBufferForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFillBufferForm::Button1Click() {
    Ws.GetICInfo();
    const std::optional<std::string> error =
        orvan::FillBuffer(Ws.Device, Ws.Buffers, StartAddr->text().toStdString(),
                          EndAddr->text().toStdString(), Data->text().toStdString());
    accept();
    if (error) {
        // Shown once the dialog has closed, over the window that stays, so
        // that the keyboard goes back there with the box.
        ShowErrorMessage(parentWidget() ? parentWidget() : this, QString::fromStdString(*error));
    } else {
        Ws.CalChecksum();
    }
    return !error;
}
