#include "buffer/Editsingledata.h"

#include "app/MessageBoxes.h"
#include "buffer/BufferOps.h"
#include "buffer/HexText.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

void THexKeyFilter::Install(QLineEdit* edit) {
    edit->installEventFilter(new THexKeyFilter(edit));
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]*")), edit));
}

bool THexKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Only typed characters are filtered; shortcuts with Ctrl pass.
        if (text.size() == 1 && text[0].isPrint() && !(key->modifiers() & Qt::ControlModifier)) {
            const char c = text[0].toLatin1();
            if (c == 0 || !orvan::IsHexKey(c)) return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

TEditSingleData::TEditSingleData(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("EditSingleData"));
    setWindowTitle(QStringLiteral("Enter new value"));
    auto* label = new QLabel(QStringLiteral("Enter new value :"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(4);
    THexKeyFilter::Install(Edit1);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(Edit1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TEditSingleData::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TEditSingleData::showEvent(QShowEvent* event) {
    Edit1->clear();
    Edit1->setFocus();
    QDialog::showEvent(event);
}

bool TEditSingleData::Button1Click() {
    const std::optional<unsigned> value = orvan::ParseSingleValue(Edit1->text().toStdString());
    if (!value) {
        ShowErrorMessage(this, QString::fromUtf8(orvan::TooLargeText));
        Edit1->clear();
        return false;
    }
    Result = value;
    accept();
    return true;
}

std::optional<unsigned> TEditSingleData::Ask(QWidget* parent) {
    TEditSingleData dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Value();
}
