#include "production/Idmodifyform.h"

#include "production/IDText.h"
#include "session/Workspace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

TIDModify::TIDModify(orvan::TWorkspace& ws, QWidget* parent) : QDialog(parent), Ws(ws) {
    setObjectName(QStringLiteral("IDModify"));
    setWindowTitle(QStringLiteral("ID Modify"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter the ID :"), this));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(12);
    MaskEdit2 = new QLineEdit(this);
    MaskEdit2->setObjectName(QStringLiteral("MaskEdit2"));
    // Twelve groups of two hex digits, upper case; only hex digits can be typed.
    MaskEdit2->setInputMask(QStringLiteral(">HH HH HH HH HH HH HH HH HH HH HH HH;_"));
    layout->addWidget(Edit1);
    layout->addWidget(MaskEdit2);
    const bool hex = ws.IDHexMode != 0;
    Edit1->setVisible(!hex);
    MaskEdit2->setVisible(hex);
    if (hex)
        MaskEdit2->setText(QString::fromStdString(orvan::IDHexText(ws.Buffers)));
    else
        Edit1->setText(QString::fromStdString(orvan::IDAsciiEditText(ws.Buffers)));
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &TIDModify::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TIDModify::BitBtn1Click() {
    if (Ws.IDHexMode != 0)
        // Blank positions show as "_", which counts as F.
        orvan::StoreHexID(Ws.Buffers, MaskEdit2->displayText().toStdString());
    else
        orvan::StoreASCIIID(Ws.Buffers, Edit1->text().toLatin1().toStdString());
    accept();
}
