#include "production/Serialnosetform.h"

#include "app/MessageBoxes.h"
#include "production/Qtp.h"
#include "production/SerialSetup.h"
#include "session/ProductionCommands.h"
#include "session/Workspace.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace {

QLineEdit* Field(QWidget* parent, const char* name, const QString& pattern, int maxLength) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), e));
    return e;
}

QButtonGroup* Radio(QWidget* parent, QGridLayout* grid, int row, const char* caption, const char* a,
                    const char* b) {
    auto* box = new QGroupBox(QString::fromLatin1(caption), parent);
    auto* layout = new QHBoxLayout(box);
    auto* group = new QButtonGroup(box);
    int id = 0;
    for (const char* item : {a, b}) {
        auto* r = new QRadioButton(QString::fromLatin1(item), box);
        group->addButton(r, id++);
        layout->addWidget(r);
    }
    grid->addWidget(box, row, 0, 1, 3);
    return group;
}

} // namespace

TSerialNoSetupForm::TSerialNoSetupForm(orvan::TWorkspace& ws, QWidget* parent)
    : QDialog(parent), Ws(ws) {
    setObjectName(QStringLiteral("SerialNoSetupForm"));
    setWindowTitle(QStringLiteral("Serial No."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* grid = new QGridLayout(this);
    const QString hex = QStringLiteral("[0-9A-Fa-f]*");
    StartAddress = Field(this, "StartAddress", hex, 4);
    NoOfByte = Field(this, "NoOfByte", QStringLiteral("[1-8]?"), 1);
    StartValue = Field(this, "StartValue", hex, 16);
    Increment = Field(this, "Increment", QStringLiteral("[0-9]*"), 3);
    NoOfPart = Field(this, "NoOfPart", QStringLiteral("[0-9]*"), 6);
    const struct {
        const char* Label;
        QLineEdit* Edit;
        const char* Note;
    } rows[] = {{"Start Address :", StartAddress, "(HEX)"},
                {"No. of Byte :", NoOfByte, "(1 ~ 8)"},
                {"Start Value :", StartValue, "(HEX)"},
                {"Increment :", Increment, "(1~255)"},
                {"No. of Parts :", NoOfPart, "(DEC)"}};
    int r = 0;
    for (const auto& row : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(row.Label), this), r, 0);
        grid->addWidget(row.Edit, r, 1);
        grid->addWidget(new QLabel(QString::fromLatin1(row.Note), this), r, 2);
        ++r;
    }
    RadioGroup1 = Radio(this, grid, r++, "Serial No. Mode", "Sequential", "Pseudo-random");
    RadioGroup2 = Radio(this, grid, r++, "MSB or LSB First", "MSB->LSB", "LSB->MSB");
    grid->addWidget(new QLabel(QStringLiteral("( Only available in Auto program mode!! )"), this),
                    r++, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    const struct {
        const char* Name;
        const char* Caption;
        void (TSerialNoSetupForm::*Slot)();
    } bs[] = {{"BitBtn3", "Disable Serial Mode", &TSerialNoSetupForm::BitBtn3Click},
              {"BitBtn4", "QTP File", &TSerialNoSetupForm::BitBtn4Click},
              {"BitBtn1", "OK", &TSerialNoSetupForm::BitBtn1Click},
              {"BitBtn2", "Abort", nullptr}};
    for (const auto& b : bs) {
        auto* button = new QPushButton(QString::fromLatin1(b.Caption), this);
        button->setObjectName(QString::fromLatin1(b.Name));
        button->setAutoDefault(false);
        buttons->addWidget(button);
        if (b.Slot)
            connect(button, &QPushButton::clicked, this, b.Slot);
        else
            connect(button, &QPushButton::clicked, this, &QDialog::reject);
    }
    findChild<QPushButton*>(QStringLiteral("BitBtn1"))->setDefault(true);
    grid->addLayout(buttons, r, 0, 1, 3);

    // FormCreate
    const orvan::TSerialEntry e = orvan::EntryFromSettings(ws.Serial);
    StartAddress->setText(QString::fromStdString(e.StartAddress));
    NoOfByte->setText(QString::fromStdString(e.NoOfByte));
    StartValue->setText(QString::fromStdString(e.StartValue));
    StartValue->setMaxLength(2 * ByteCount());
    Increment->setText(QString::fromStdString(e.Increment));
    NoOfPart->setText(QStringLiteral("1"));
    RadioGroup1->button(e.Random != 0 ? 1 : 0)->setChecked(true);
    RadioGroup2->button(e.LsbFirst != 0 ? 1 : 0)->setChecked(true);
    RadioGroup1Click();

    connect(StartAddress, &QLineEdit::editingFinished, this, &TSerialNoSetupForm::StartAddressExit);
    connect(StartAddress, &QLineEdit::textEdited, this,
            [this](const QString& t) { StartAddress->setText(t.toUpper()); });
    connect(StartValue, &QLineEdit::textEdited, this,
            [this](const QString& t) { StartValue->setText(t.toUpper()); });
    connect(NoOfByte, &QLineEdit::editingFinished, this, &TSerialNoSetupForm::NoOfByteExit);
    connect(StartValue, &QLineEdit::editingFinished, this, &TSerialNoSetupForm::StartValueExit);
    for (QLineEdit* f : {Increment, NoOfPart})
        connect(f, &QLineEdit::editingFinished, this, [f] {
            f->setText(QString::fromStdString(orvan::ZeroToOne(f->text().toStdString())));
        });
    connect(RadioGroup1, &QButtonGroup::idClicked, this, &TSerialNoSetupForm::RadioGroup1Click);

    AskQTPName = [this](bool& typeOk) {
        // The second filter, text files, comes preselected: a name typed
        // and accepted at once is a QTP file.
        const QString txt = QStringLiteral("Text files (*.txt)");
        QFileDialog dialog(this);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters({QStringLiteral("Disassemble files (*.dis)"), txt});
        dialog.selectNameFilter(txt);
        typeOk = true;
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        typeOk = dialog.selectedNameFilter() == txt;
        return dialog.selectedFiles().first();
    };
    AskReplace = [this] {
        return QMessageBox::question(this, QStringLiteral("Confirm"),
                                     QStringLiteral("File Exists, Replace?"),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
}

int TSerialNoSetupForm::ByteCount() const {
    const int n = NoOfByte->text().toInt();
    return n >= 1 && n <= orvan::MaxSerialBytes ? n : 1;
}

void TSerialNoSetupForm::StartAddressExit() {
    StartAddress->setText(
        QString::fromStdString(orvan::PadStartAddress(StartAddress->text().toStdString())));
}

void TSerialNoSetupForm::NoOfByteExit() {
    if (NoOfByte->text().isEmpty()) return;
    const int n = ByteCount();
    // The value is cut from the left before the shorter limit would cut it from the right.
    const std::string value = orvan::FitStartValue(StartValue->text().toStdString(), n, false);
    StartValue->setMaxLength(2 * n);
    StartValue->setText(QString::fromStdString(value));
}

void TSerialNoSetupForm::StartValueExit() {
    StartValue->setText(QString::fromStdString(orvan::FitStartValue(
        StartValue->text().toStdString(), ByteCount(), RadioGroup1->checkedId() == 1)));
}

void TSerialNoSetupForm::RadioGroup1Click() {
    Increment->setEnabled(RadioGroup1->checkedId() != 1);
}

namespace {

orvan::TSerialEntry EntryOf(const TSerialNoSetupForm& f) {
    orvan::TSerialEntry e;
    e.StartAddress = f.StartAddress->text().toStdString();
    e.NoOfByte = f.NoOfByte->text().toStdString();
    e.StartValue = f.StartValue->text().toStdString();
    e.Increment = f.Increment->text().toStdString();
    e.NoOfPart = f.NoOfPart->text().toStdString();
    e.Random = f.RadioGroup1->checkedId() == 1 ? 1 : 0;
    e.LsbFirst = f.RadioGroup2->checkedId() == 1 ? 1 : 0;
    return e;
}

void Report(QWidget* parent, QLineEdit* increment, const orvan::TSerialCheck& c) {
    if (c.ClearIncrement) increment->clear();
    if (c.ErrorBox)
        ShowErrorMessage(parent, QString::fromStdString(c.Message));
    else
        ShowPlainMessage(parent, QString::fromStdString(c.Message));
}

} // namespace

void TSerialNoSetupForm::BitBtn1Click() {
    const orvan::TSerialCheck c = orvan::AcceptSerialEntry(Ws, EntryOf(*this));
    if (!c.Ok) return Report(this, Increment, c);
    accept();
}

void TSerialNoSetupForm::BitBtn3Click() {
    Ws.Serial.SerialModeOn = false;
    Ws.Panel.SerialMode = "Disable";
    accept();
}

void TSerialNoSetupForm::BitBtn4Click() {
    int parts = 0;
    const orvan::TSerialCheck c = orvan::PrepareQTPEntry(Ws, EntryOf(*this), parts);
    if (!c.Ok) return Report(this, Increment, c);
    bool typeOk = true;
    QString name = AskQTPName(typeOk);
    if (name.isEmpty()) return;
    if (!typeOk) return ShowPlainMessage(this, QString::fromLatin1(orvan::FileCantBeSavedText));
    if (!QFileInfo(name).fileName().contains(QLatin1Char('.'))) name += QStringLiteral(".txt");
    if (QFileInfo::exists(name) && !AskReplace()) return;
    const std::string text = orvan::GenerateQTP(Ws.Serial, parts);
    Ws.Panel.SerialNo = Ws.Serial.HexText();
    // A file that cannot be written is reported, never passed over.
    if (!orvan::WriteQTPFile(name.toStdString(), text))
        ShowPlainMessage(this, QString::fromLatin1(orvan::FileCantBeSavedText));
    accept();
}
