#include "production/Idform.h"

#include "device/Checksum.h"
#include "production/IDText.h"
#include "production/Idmodifyform.h"
#include "session/Workspace.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString Hex2(unsigned v) {
    return QString::fromStdString(orvan::HexText(v, 2));
}

// OPTION bytes, then a group of four kept beside it, each "HH ".
QString BodyOption(const orvan::TBufferBlock& b, int group) {
    QString t = Hex2(b.OptionLo) + QLatin1Char(' ') + Hex2(b.OptionHi) + QLatin1Char(' ');
    for (int i = 0; i < 4; ++i)
        t += Hex2(b.AuxBytes[size_t(4 * group + i)]) + QLatin1Char(' ');
    return t;
}

} // namespace

TIDChecksumForm::TIDChecksumForm(orvan::TWorkspace& ws, QWidget* parent)
    : QMdiSubWindow(parent), Ws(ws) {
    setObjectName(QStringLiteral("IDChecksumForm"));
    setWindowTitle(QStringLiteral("ID and Checksum"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);

    auto* modes = new QGroupBox(QStringLiteral("ASCII or HEX"), body);
    auto* modeRow = new QHBoxLayout(modes);
    RadioGroup1 = new QButtonGroup(modes);
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(i == 0 ? QStringLiteral("ASCII") : QStringLiteral("HEX"), modes);
        RadioGroup1->addButton(r, i);
        modeRow->addWidget(r);
    }
    layout->addWidget(modes);

    auto* panel1 = new QGroupBox(body);
    auto* grid = new QGridLayout(panel1);
    grid->addWidget(new QLabel(QStringLiteral("ID: "), panel1), 0, 0);
    Label2 = new QLabel(panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    grid->addWidget(Label2, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("IC Checksum:"), panel1), 1, 0);
    Label4 = new QLabel(panel1);
    Label4->setObjectName(QStringLiteral("Label4"));
    grid->addWidget(Label4, 1, 1);
    StaticText1 = new QLabel(QStringLiteral("  "), panel1);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    grid->addWidget(StaticText1, 2, 2, Qt::AlignRight | Qt::AlignBottom);
    layout->addWidget(panel1);

    auto* buttons = new QHBoxLayout;
    auto* edit = new QPushButton(QStringLiteral("Edit ID"), body);
    edit->setObjectName(QStringLiteral("Button1"));
    auto* exit = new QPushButton(QStringLiteral("Exit"), body);
    exit->setObjectName(QStringLiteral("Button2"));
    buttons->addWidget(edit);
    buttons->addWidget(exit);
    layout->addLayout(buttons);

    Panel2 = new QGroupBox(body);
    auto* info = new QGridLayout(Panel2);
    StaticText5 = new QLabel(QStringLiteral("  "), Panel2);
    StaticText5->setObjectName(QStringLiteral("StaticText5"));
    info->addWidget(StaticText5, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    const orvan::TBufferBlock& b = ws.Buffers;
    const struct {
        const char* Caption;
        int Byte;
    } lines[] = {{"Writer ID :", 16},      {"Writer Model :", 24},      {"Firmware Ver. :", 25},
                 {"Gang Writer ID :", 22}, {"Gang Writer Model :", 20}, {"Gang Writer Ver. :", 21}};
    int row = 1;
    for (const auto& l : lines) {
        auto* caption = new QLabel(QString::fromLatin1(l.Caption), Panel2);
        caption->setAlignment(Qt::AlignRight);
        info->addWidget(caption, row, 0);
        info->addWidget(new QLabel(Hex2(b.IDBuffer[size_t(l.Byte)]), Panel2), row++, 1);
    }
    Label8 = new QLabel(QString::fromStdString(orvan::IDInfoText(b)), Panel2);
    Label8->setObjectName(QStringLiteral("Label8"));
    info->addWidget(Label8, row++, 0, 1, 2);
    layout->addWidget(Panel2);
    BodyOption1 = new QLabel(BodyOption(b, 0), body);
    BodyOption1->setObjectName(QStringLiteral("BodyOption1"));
    BodyOption2 = new QLabel(BodyOption(b, 1), body);
    BodyOption2->setObjectName(QStringLiteral("BodyOption2"));
    layout->addWidget(BodyOption1);
    layout->addWidget(BodyOption2);
    layout->addStretch();
    setWidget(body);

    // FormCreate
    RadioGroup1->button(ws.IDHexMode != 0 ? 1 : 0)->setChecked(true);
    Label4->setText(QString::fromStdString(orvan::IDChecksumText(b)));
    ws.Panel.ICChecksum = orvan::IDChecksumText(b);
    IDLabelShow();
    SetHeight(210);

    connect(RadioGroup1, &QButtonGroup::idClicked, this, &TIDChecksumForm::RadioGroup1Change);
    connect(edit, &QPushButton::clicked, this, &TIDChecksumForm::Label2DblClick);
    connect(exit, &QPushButton::clicked, this, &QMdiSubWindow::close);
    for (QLabel* l : {Label2, StaticText1, StaticText5})
        l->installEventFilter(this);
}

void TIDChecksumForm::IDLabelShow() {
    const std::string text =
        Ws.IDHexMode != 0 ? orvan::IDHexText(Ws.Buffers) : orvan::IDAsciiText(Ws.Buffers);
    Label2->setText(QString::fromLatin1(text.c_str()));
    Ws.Panel.IDText = text;
}

void TIDChecksumForm::RadioGroup1Change(int index) {
    Ws.IDHexMode = index;
    IDLabelShow();
}

void TIDChecksumForm::Label2DblClick() {
    TIDModify dialog(Ws, this);
    if (dialog.exec() == QDialog::Accepted) IDLabelShow();
}

void TIDChecksumForm::StaticText1DblClick() {
    SetHeight(Height <= 210 ? 430 : 210);
}

void TIDChecksumForm::StaticText5DblClick() {
    SetHeight(Height <= 430 ? 490 : 430);
}

void TIDChecksumForm::SetHeight(int height) {
    Height = height;
    // The window's lower parts show as its height reveals them.
    Panel2->setVisible(height > 210);
    BodyOption1->setVisible(height > 430);
    BodyOption2->setVisible(height > 430);
    resize(std::max(width(), 360), height);
}

bool TIDChecksumForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Label2) Label2DblClick();
        if (watched == StaticText1) StaticText1DblClick();
        if (watched == StaticText5) StaticText5DblClick();
        return true;
    }
    return QMdiSubWindow::eventFilter(watched, event);
}
