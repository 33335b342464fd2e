#include "info/AboutBox.h"

#include "info/AboutInfo.h"
#include "info/Artwork.h"
#include "link/WriterLink.h"
#include "session/Workspace.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int BoxWidth = 295;
constexpr int BoxHeight = 415;

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text = {}) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QFrame* NewBevel(QWidget* parent, const char* name) {
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(QString::fromLatin1(name));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    return bevel;
}

QFont SerifFont(int points, bool bold) {
    QFont f(QStringLiteral("Times New Roman"), points, bold ? QFont::Bold : QFont::Normal);
    f.setStyleHint(QFont::Serif);
    return f;
}

} // namespace

TAboutBox::TAboutBox(const QString& mainCaption, orvan::TWorkspace& ws, orvan::TWriterLink& link,
                     QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About Orvan Writer"));
    BuildControls();
    setFixedSize(BoxWidth, BoxHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(BoxWidth / 2, BoxHeight / 2));
    FormCreate(mainCaption, ws, link);
}

void TAboutBox::BuildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(2);

    // Icon and product name.
    auto* top = new QHBoxLayout;
    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameShape(QFrame::StyledPanel);
    panel1->setFrameShadow(QFrame::Sunken);
    auto* panelLayout = new QVBoxLayout(panel1);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    Image1 = NewLabel(panel1, "Image1");
    Image1->setFixedSize(96, 96);
    Image1->setPixmap(orvan::art::ProductIcon(96));
    panelLayout->addWidget(Image1);
    top->addWidget(panel1);
    auto* names = new QVBoxLayout;
    Label1 = NewLabel(this, "Label1", QStringLiteral("Orvan"));
    Label1->setFont(SerifFont(26, true));
    Label1->setStyleSheet(QStringLiteral("color: purple;"));
    Label2 = NewLabel(this, "Label2", QStringLiteral("Writer"));
    Label2->setFont(SerifFont(26, true));
    names->addStretch();
    names->addWidget(Label1);
    names->addWidget(Label2);
    names->addStretch();
    top->addSpacing(8);
    top->addLayout(names, 1);
    outer->addLayout(top);

    Label3 = NewLabel(this, "Label3");
    Label4 = NewLabel(this, "Label4", QStringLiteral("Copyright (C) 1998-2026 Orvan Microsystems"));
    Label5 = NewLabel(this, "Label5", QStringLiteral("All Rights Reserved."));
    outer->addStretch(1);
    for (QLabel* l : {Label3, Label4, Label5})
        outer->addWidget(l);

    // The maker: logo and web site, then name, telephone and fax.
    auto* makerRow = new QHBoxLayout;
    auto* panel3 = new QFrame(this);
    panel3->setObjectName(QStringLiteral("Panel3"));
    auto* panel3Layout = new QVBoxLayout(panel3);
    panel3Layout->setContentsMargins(0, 0, 0, 0);
    Image2 = NewLabel(panel3, "Image2");
    Image2->setFixedSize(32, 32);
    Image2->setPixmap(orvan::art::MakerLogo(32));
    panel3Layout->addWidget(Image2);
    makerRow->addWidget(panel3);
    Label9 = NewLabel(this, "Label9", QStringLiteral("www.orvan-micro.example"));
    makerRow->addWidget(Label9, 1);
    outer->addStretch(1);
    outer->addLayout(makerRow);
    StaticText1 = NewLabel(this, "StaticText1", QStringLiteral("Orvan Microsystems Ltd."));
    StaticText2 = NewLabel(this, "StaticText2", QStringLiteral("Tel : +44 20 7946 0321"));
    StaticText3 = NewLabel(this, "StaticText3", QStringLiteral("Fax : +44 20 7946 0322"));
    for (QLabel* l : {StaticText1, StaticText2, StaticText3})
        outer->addWidget(l);

    Bevel1 = NewBevel(this, "Bevel1");
    outer->addStretch(1);
    outer->addWidget(Bevel1);
    Label6 = NewLabel(this, "Label6");
    outer->addWidget(Label6);
    auto* memoryRow = new QHBoxLayout;
    Label7 = NewLabel(this, "Label7", QStringLiteral("Memory Available to Windows :"));
    Label8 = NewLabel(this, "Label8");
    memoryRow->addWidget(Label7);
    memoryRow->addWidget(Label8, 1);
    outer->addLayout(memoryRow);

    Bevel2 = NewBevel(this, "Bevel2");
    outer->addWidget(Bevel2);
    auto* firmwareRow = new QHBoxLayout;
    StaticText4 = NewLabel(this, "StaticText4", QStringLiteral("Writer firmware version :"));
    WriterID = NewLabel(this, "WriterID", QStringLiteral("Unknown"));
    firmwareRow->addWidget(StaticText4);
    firmwareRow->addWidget(WriterID, 1);
    outer->addLayout(firmwareRow);

    outer->addStretch();
    OKButton = new QPushButton(QStringLiteral("Exit"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(OKButton);
    buttonRow->addStretch();
    outer->addLayout(buttonRow);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(1); });
}

void TAboutBox::FormCreate(const QString& mainCaption, orvan::TWorkspace& ws,
                           orvan::TWriterLink& link) {
    Label3->setText(QString::fromStdString(orvan::VersionLine(mainCaption.toStdString())));
    Label8->setText(QString::fromStdString(orvan::MemoryLine(orvan::TotalPhysicalMemory())));
    Label6->setText(QString::fromStdString(orvan::OsLine(orvan::QueryOsVersion())));
    // Asks only a universal writer; "Unknown" when no text was ever read.
    WriterID->setText(QString::fromStdString(link.AboutPoll(ws.Buffers, ws.Device)));
}
