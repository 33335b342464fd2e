// The status panel at the right edge: device and OPTION rows, checksums,
// ID, pass count, serial number, modes and the hidden pulse-width fields.
#include "app/MainForm.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int PanelWidth = 200;
constexpr int NameRight = 100; // name labels end here, values start after it
constexpr int ValueLeft = 104;
constexpr int RowTop = 54;
constexpr int RowStep = 18;
// Name label left edges; a row the decoder moves says so in the panel texts.
constexpr int DefaultNameLeft[orvan::OptionRowCount] = {8, 72, 8, 8, 8, 8};

QLabel* PanelLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    if (name) label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

QWidget* TMainForm::BuildStatusPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("StatusPanel"));
    panel->setFixedWidth(PanelWidth);
    QFont font(QStringLiteral("Arial"), 8);
    font.setBold(true);
    panel->setFont(font);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(3);

    // 1. Device group: absolute positions, as the decoder moves name labels.
    DeviceGroup = new QGroupBox(panel);
    DeviceGroup->setObjectName(QStringLiteral("DeviceGroup"));
    PanelLabel(DeviceGroup, "DeviceLabel", QStringLiteral("Device:"))->setGeometry(8, 6, 100, 16);
    ComboBox2 = new QComboBox(DeviceGroup);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setMaxVisibleItems(28);
    // A list with a scroll bar, not a menu of every model that some styles
    // open instead (they ignore the 28).
    ComboBox2->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    ComboBox2->setGeometry(8, 24, PanelWidth - 24, 24);
    connect(ComboBox2, &QComboBox::activated, this, [this](int) {
        const std::string name = ComboBox2->currentText().toStdString();
        if (name == Ws().DeviceName) return; // the same model: keep the buffers
        Ws().DeviceName = name;
        ComboBox2Change();
    });

    static const char* const nameIds[] = {"StaticText2", "StaticText7", "StaticText3",
                                          "StaticText4", "StaticText5", "StaticText6"};
    static const char* const valueIds[] = {"Label5", "Label10", "Label6",
                                           "Label7", "Label8",  "Label9"};
    const orvan::TOptionPanel start;
    int y = RowTop;
    for (int i = 0; i < orvan::OptionRowCount; ++i, y += RowStep) {
        OptionNames[size_t(i)] =
            PanelLabel(DeviceGroup, nameIds[i], QString::fromStdString(start.Rows[size_t(i)].Name));
        OptionNames[size_t(i)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        OptionNames[size_t(i)]->setGeometry(DefaultNameLeft[i], y, NameRight - DefaultNameLeft[i],
                                            16);
        OptionValues[size_t(i)] = PanelLabel(DeviceGroup, valueIds[i], QStringLiteral("Blank"));
        OptionValues[size_t(i)]->setGeometry(ValueLeft, y, PanelWidth - ValueLeft - 10, 16);
        DoubleClicks.insert(OptionNames[size_t(i)], &TMainForm::EditOPTIONClick);
        DoubleClicks.insert(OptionValues[size_t(i)], &TMainForm::EditOPTIONClick);
    }
    const struct {
        const char* Name;
        const char* Value;
        const char* Caption;
        const char* Hint;
        QLabel** Label;
    } sums[] = {
        {"StaticText8", "Label11", "Checksum:", "Checksum for data", &Label11},
        {"StaticText9", "Label17", "IC Checksum:", "Checksum on IC", &Label17},
        {"StaticText10", "OptChecksum", "OPTION Sum:", "Checksum include OPTION", &OptChecksum},
        {"StaticText11", "ProtectSum", "Protect Sum:", "Checksum for protected IC", &ProtectSum},
    };
    for (const auto& s : sums) {
        QLabel* name = PanelLabel(DeviceGroup, s.Name, QString::fromLatin1(s.Caption));
        name->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        name->setGeometry(4, y, NameRight - 4, 16);
        *s.Label = PanelLabel(DeviceGroup, s.Value, QStringLiteral("Blank"));
        (*s.Label)->setGeometry(ValueLeft, y, PanelWidth - ValueLeft - 10, 16);
        (*s.Label)->setToolTip(QString::fromLatin1(s.Hint));
        if (s.Label == &Label11) {
            DoubleClicks.insert(name, &TMainForm::EditOPTIONClick);
            DoubleClicks.insert(Label11, &TMainForm::EditOPTIONClick);
        }
        y += RowStep;
    }
    DeviceGroup->setFixedHeight(y + 6);
    DeviceGroup->installEventFilter(this);
    DoubleClicks.insert(DeviceGroup, &TMainForm::EditOPTIONClick);
    column->addWidget(DeviceGroup);

    // 2. ID.
    IDGroup = new QGroupBox(QStringLiteral("ID :"), panel);
    IDGroup->setObjectName(QStringLiteral("IDGroup"));
    auto* idLayout = new QVBoxLayout(IDGroup);
    Label18 = PanelLabel(IDGroup, "Label18", QStringLiteral("7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F"));
    Label18->setWordWrap(true);
    QFont narrow = font;
    narrow.setStretch(QFont::SemiCondensed);
    Label18->setFont(narrow);
    idLayout->setContentsMargins(4, 2, 4, 4);
    idLayout->addWidget(Label18);
    DoubleClicks.insert(IDGroup, &TMainForm::ID2Click);
    DoubleClicks.insert(Label18, &TMainForm::ID2Click);
    column->addWidget(IDGroup);

    // 3. Pass count.
    PassCountGroup = new QGroupBox(QStringLiteral("Pass Count :"), panel);
    PassCountGroup->setObjectName(QStringLiteral("PassCountGroup"));
    auto* passLayout = new QVBoxLayout(PassCountGroup);
    Label13 = PanelLabel(PassCountGroup, "Label13", QStringLiteral("0"));
    Label13->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    passLayout->addWidget(Label13);
    DoubleClicks.insert(PassCountGroup, &TMainForm::CounterMode1Click);
    DoubleClicks.insert(Label13, &TMainForm::CounterMode1Click);
    column->addWidget(PassCountGroup);

    // 4. Serial number.
    auto* serialGroup = new QGroupBox(QStringLiteral("Serial No. (HEX) :"), panel);
    serialGroup->setObjectName(QStringLiteral("SerialGroup"));
    auto* serialLayout = new QVBoxLayout(serialGroup);
    Label15 = PanelLabel(serialGroup, "Label15", QStringLiteral("00"));
    Label15->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont fixed(QStringLiteral("Courier New"), 9);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setBold(true);
    Label15->setFont(fixed);
    serialLayout->addWidget(Label15);
    column->addWidget(serialGroup);

    // 5. Modes.
    auto* modeGroup = new QGroupBox(panel);
    modeGroup->setObjectName(QStringLiteral("ModeGroup"));
    auto* modeLayout = new QGridLayout(modeGroup);
    modeLayout->addWidget(
        PanelLabel(modeGroup, "StaticText12", QStringLiteral("Serial No. Mode :")), 0, 0);
    Label1 = PanelLabel(modeGroup, "Label1", QStringLiteral("Disable"));
    modeLayout->addWidget(Label1, 0, 1);
    modeLayout->addWidget(PanelLabel(modeGroup, "StaticText13", QStringLiteral("QTP file :")), 1,
                          0);
    Label19 = PanelLabel(modeGroup, "Label19", QStringLiteral("Disable"));
    modeLayout->addWidget(Label19, 1, 1);
    modeLayout->setColumnStretch(1, 1);
    column->addWidget(modeGroup);

    // 6. Service fields, hidden in the standard window.
    auto* service = new QWidget(panel);
    auto* serviceLayout = new QGridLayout(service);
    serviceLayout->setContentsMargins(4, 0, 4, 0);
    PulseWidth = new QLineEdit(QStringLiteral("5"), service);
    PulseWidth->setObjectName(QStringLiteral("PulseWidth"));
    EraseWidth = new QLineEdit(QStringLiteral("80"), service);
    EraseWidth->setObjectName(QStringLiteral("EraseWidth"));
    ServiceFields = {PanelLabel(service, "StaticText14", QStringLiteral("Write pulse width:")),
                     PulseWidth,
                     PanelLabel(service, "StaticText15", QStringLiteral("x 0.2ms")),
                     PanelLabel(service, "StaticText16", QStringLiteral("Erase Pulse Width:")),
                     EraseWidth,
                     PanelLabel(service, "StaticText17", QStringLiteral("x 0.1ms"))};
    for (int i = 0; i < ServiceFields.size(); ++i) {
        serviceLayout->addWidget(ServiceFields[i], i / 3, i % 3);
        ServiceFields[i]->setVisible(false);
    }
    connect(PulseWidth, &QLineEdit::textChanged, this, &TMainForm::PulseWidthChange);
    connect(EraseWidth, &QLineEdit::textChanged, this, &TMainForm::EraseWidthChange);
    column->addWidget(service);
    column->addStretch(1);

    for (QObject* target : DoubleClicks.keys())
        target->installEventFilter(this);
    return panel;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Label3) {
            Label3DblClick();
            return true;
        }
        if (const auto handler = DoubleClicks.value(watched)) {
            (this->*handler)();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::RenderPanel() {
    const orvan::TStatusPanel& panel = Ws().Panel;
    for (int i = 0; i < orvan::OptionRowCount; ++i) {
        const orvan::TOptionRow& row = panel.Option.Rows[size_t(i)];
        QLabel* name = OptionNames[size_t(i)];
        const int left = row.NameLeft > 0 ? row.NameLeft : DefaultNameLeft[i];
        name->setText(QString::fromStdString(row.Name));
        if (name->x() != left) name->setGeometry(left, name->y(), NameRight - left, name->height());
        name->setEnabled(row.Enabled);
        OptionValues[size_t(i)]->setText(QString::fromStdString(row.Value));
        OptionValues[size_t(i)]->setEnabled(row.Enabled);
    }
    Label11->setText(QString::fromStdString(panel.Checksum));
    Label17->setText(QString::fromStdString(panel.ICChecksum));
    OptChecksum->setText(QString::fromStdString(panel.OptionSum));
    ProtectSum->setText(QString::fromStdString(panel.ProtectSum));
    Label18->setText(QString::fromStdString(panel.IDText));
    Label13->setText(QString::fromStdString(panel.PassCount));
    Label15->setText(QString::fromStdString(panel.SerialNo));
    Label1->setText(QString::fromStdString(panel.SerialMode));
    Label19->setText(QString::fromStdString(panel.QTPFile));

    const QString device = QString::fromStdString(Ws().DeviceName);
    if (ComboBox2->currentText() != device) {
        const int at = ComboBox2->findText(device, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (at >= 0) ComboBox2->setCurrentIndex(at);
    }
    if (ComboBox1->currentIndex() != Ws().PortIndex && Ws().PortIndex >= 0 &&
        Ws().PortIndex < orvan::PortCount)
        ComboBox1->setCurrentIndex(Ws().PortIndex);
}
