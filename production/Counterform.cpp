#include "production/Counterform.h"

#include "session/Workspace.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

TCounterSetupForm::TCounterSetupForm(orvan::TWorkspace& ws, QWidget* parent)
    : QDialog(parent), Ws(ws) {
    setObjectName(QStringLiteral("CounterSetupForm"));
    setWindowTitle(QStringLiteral("Counter Setup"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Start Value :"), this), 0, 0);
    Edit1 = new QLineEdit(QString::fromStdString(ws.Panel.PassCount), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(9);
    // Digits only; backspace and delete edit as usual.
    Edit1->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), Edit1));
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("( Only available in Auto program mode!! )"), this),
                    1, 0, 1, 2);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    grid->addLayout(row, 2, 0, 1, 2);
    connect(ok, &QPushButton::clicked, this, &TCounterSetupForm::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TCounterSetupForm::BitBtn1Click() {
    Ws.Panel.PassCount = Edit1->text().toStdString();
    accept();
}
