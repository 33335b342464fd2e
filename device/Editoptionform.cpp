#include "device/Editoptionform.h"

#include "session/Workspace.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TEditOption::TEditOption(orvan::TWorkspace& ws, QWidget* parent) : QDialog(parent), Ws(ws) {
    setObjectName(QStringLiteral("EditOption"));
    setWindowTitle(QStringLiteral("Edit OPTION"));

    // Built with the lists as the window defines them; FormShow adjusts them.
    Defs = orvan::OptionLists(orvan::TDeviceState{});
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < Defs.size(); ++i) {
        Captions[i] = new QLabel(QString::fromStdString(Defs[i].Caption), this);
        Captions[i]->setObjectName(QString::fromStdString(Defs[i].CaptionName));
        Lists[i] = new QComboBox(this);
        Lists[i]->setObjectName(QString::fromStdString(Defs[i].ListName));
        Lists[i]->setMinimumWidth(130);
        grid->addWidget(Captions[i], int(i), 0);
        grid->addWidget(Lists[i], int(i), 1);
        const int id = int(i);
        connect(Lists[i], &QComboBox::activated, this, [this, id] { ListChange(id); });
    }

    Help = new QPlainTextEdit(this);
    Help->setObjectName(QStringLiteral("Memo1"));
    Help->setReadOnly(true);
    QString help;
    for (const std::string& line : orvan::OptionHelpLines())
        help += QString::fromStdString(line) + QLatin1Char('\n');
    Help->setPlainText(help.chopped(1));
    Help->setMinimumWidth(240);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn1, &QPushButton::clicked, this, &TEditOption::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addLayout(grid);
    top->addWidget(Help);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

void TEditOption::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TEditOption::FormShow() {
    Ws.GetICInfo();
    WorkLo = Ws.Buffers.OptionLo;
    WorkHi = Ws.Buffers.OptionHi;
    Defs = orvan::OptionLists(Ws.Device);
    for (size_t i = 0; i < Defs.size(); ++i) {
        const orvan::TOptionList& d = Defs[i];
        Captions[i]->setText(QString::fromStdString(d.Caption));
        Captions[i]->setEnabled(d.Enabled);
        QComboBox* list = Lists[i];
        const QSignalBlocker quiet(list);
        list->clear();
        for (const std::string& item : d.Items)
            list->addItem(QString::fromStdString(item));
        list->setCurrentIndex(orvan::SelectedItem(d, WorkLo, WorkHi));
        list->setEnabled(d.Enabled);
    }
}

void TEditOption::ListChange(int id) {
    if (id < 0 || id >= orvan::OptionListCount) return;
    Ws.GetICInfo();
    const size_t i = size_t(id);
    orvan::ApplyItem(Defs[i], Lists[i]->currentIndex(), WorkLo, WorkHi);
}

void TEditOption::BitBtn1Click() {
    Ws.Buffers.OptionLo = WorkLo;
    Ws.Buffers.OptionHi = WorkHi;
    Ws.RefreshPending = true;
    accept();
}
