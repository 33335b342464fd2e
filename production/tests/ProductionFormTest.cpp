// The production dialogs: the auto-program dialog's buttons across a pass,
// "Continue", a failure and the end of a QTP file, its records and yield
// lines, and the program-ID dialog, against the simulated writer's state
// machine; the serial-number and counter dialogs' field rules.
#include "app/MessageBoxes.h"
#include "production/Autopform.h"
#include "production/Autoprogram.h"
#include "production/Counterform.h"
#include "production/Idform.h"
#include "production/Idmodifyform.h"
#include "production/Pidform.h"
#include "production/Qtp.h"
#include "production/Records.h"
#include "production/Serialnosetform.h"
#include "production/StoreConfig.h"
#include "session/ProductionCommands.h"
#include "testlib/ProductionBench.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace orvan;
using namespace orvan::test;

// The boxes a test saw (outside the anonymous namespace: the test class
// holds one).
struct TBoxes {
    QStringList Texts;
    QList<TBoxKind> Kinds;
};

namespace {

QColor TextColour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

} // namespace

class ProductionFormTest : public QObject {
    Q_OBJECT
    TBoxes Boxes;

  private slots:
    void init() {
        Boxes = {};
        SetMessageHook([this](TBoxKind kind, const QString&, const QString& text) {
            Boxes.Kinds.append(kind);
            Boxes.Texts.append(text);
            return TBoxAnswer::Ok;
        });
    }
    void cleanup() { SetMessageHook({}); }

    void autoProgramContinueFailureAndQTPEnd() {
        TOpsBench b("OV128");
        PrepareProgram(b);
        b.Ws->EraseFirst = true;
        TSerialSettings gen;
        gen.SerialStartAddr = SerialWordsAt;
        gen.SerialBytes[0] = 0x21;
        QCOMPARE(LoadQTP(*b.Ws, "parts.txt", GenerateQTP(gen, 2)), std::nullopt);

        TAutoProgramForm form(*b.Ws, b.Port, b.State, b.Clock, b.Widths);
        QPushButton* exit = form.Button("Button1");
        QPushButton* next = form.Button("Button2");
        QCOMPARE(form.windowTitle(), QStringLiteral("Auto Program"));
        QVERIFY(!exit->isEnabled() && !next->isEnabled());
        form.show();
        QTRY_VERIFY(next->isEnabled());
        QVERIFY(exit->isEnabled());
        QCOMPARE(form.Line("Label4")->text(), QStringLiteral("OPTION program & verify OK!!"));
        QCOMPARE(form.Line("StaticText1")->text(), QStringLiteral("Auto-Program"));
        QCOMPARE(ChipSerial(*b.Chip, 1), QStringLiteral("21").toStdString());
        QCOMPARE(b.Ws->Panel.PassCount, std::string("1"));
        if (qEnvironmentVariableIsSet("ORVAN_SHOT"))
            form.grab().save(qEnvironmentVariable("ORVAN_SHOT") + QStringLiteral("/auto.png"));

        // A chip that fails keeps the number; its line is red.
        b.Chip->MakeBlank("OV128");
        sim::TSimFaults f;
        f.FailArea = 0;
        f.FailByte = 3;
        b.Writer->SetFaults(f);
        next->click();
        QVERIFY(!exit->isEnabled() && !next->isEnabled());
        QCOMPARE(form.Line("Label3")->text(), QStringLiteral("Verify....."));
        QTRY_VERIFY(next->isEnabled());
        QCOMPARE(form.Line("Label2")->text(), QStringLiteral("Data program fail !!"));
        QCOMPARE(TextColour(form.Line("Label2")), QColor(255, 0, 0));
        QCOMPARE(b.Ws->Panel.PassCount, std::string("1"));

        // "Continue" paints the lines back and programs the last number.
        b.Writer->SetFaults({});
        b.Chip->MakeBlank("OV128");
        next->click();
        QVERIFY(TextColour(form.Line("Label2")) != QColor(255, 0, 0));
        QTRY_VERIFY(exit->isEnabled());
        QCOMPARE(Boxes.Texts, QStringList{QStringLiteral("QTP Program Finished!")});
        QVERIFY(!next->isEnabled());
        QCOMPARE(ChipSerial(*b.Chip, 1), std::string("22"));
        QCOMPARE(b.Ws->Panel.PassCount, std::string("2"));
        QVERIFY(!b.Ws->Serial.SerialModeOn);
        QCOMPARE(b.Ws->Panel.QTPFile, std::string("Disable"));
        // Exit alone is offered: Enter takes it.
        QTest::keyClick(&form, Qt::Key_Return);
        QVERIFY(!form.isVisible());
    }

    // The records line says where the numbers go on; the yield line counts
    // this dialog's recorded chips, a failed one too.
    void autoProgramRecordsAndYieldLines() {
        QTemporaryDir dir;
        TOpsBench b("OV128");
        PrepareProgram(b);
        b.Ws->EraseFirst = true;
        SerialOn(*b.Ws, 2, "0200");
        std::string error;
        b.Ws->Records =
            OpenRecords({dir.filePath("production.db").toStdString(), "bench1"}, "", error);
        QVERIFY2(b.Ws->Records, error.c_str());

        TAutoProgramForm form(*b.Ws, b.Port, b.State, b.Clock, b.Widths);
        QLabel* records = form.Line(RecordLineControl);
        QLabel* yield = form.Line(YieldLineControl);
        QVERIFY(records && yield);
        QCOMPARE(yield->text(), QString());
        form.show();
        QTRY_COMPARE(yield->text(), QStringLiteral("This run: 1 passed, 0 failed, yield 100.0%"));
        QCOMPARE(records->text(), QStringLiteral("Serial No. 0200: a new series starts"));
        QVERIFY(records->isVisible() && yield->isVisible());

        b.Chip->MakeBlank("OV128");
        sim::TSimFaults f;
        f.FailArea = 0;
        f.FailByte = 3;
        b.Writer->SetFaults(f);
        form.Button("Button2")->click();
        QTRY_COMPARE(yield->text(), QStringLiteral("This run: 1 passed, 1 failed, yield 50.0%"));
        QCOMPARE(records->text(),
                 QStringLiteral("Serial No. 0201: continues where this series left off"));
        QCOMPARE(form.Line("Label2")->text(), QStringLiteral("Data program fail !!"));
    }

    void programIDDialog() {
        TOpsBench b("OV128");
        PrepareProgram(b);
        TProgramIDForm form(*b.Ws, b.Port, b.State, b.Clock, b.Widths);
        QCOMPARE(form.windowTitle(), QStringLiteral("Program ID Checksum"));
        QCOMPARE(form.objectName(), QStringLiteral("ProgramIDForm"));
        QCOMPARE(form.Line("Label1")->text(), QStringLiteral("Programming....."));
        QVERIFY(!form.Button("Button1")->isEnabled());
        form.show();
        QTRY_VERIFY(form.Button("Button1")->isEnabled());
        QTRY_COMPARE(form.Line("Label2")->text(), QStringLiteral("ID & Checksum verify OK!!"));
        QCOMPARE(form.Line("Label1")->text(), QStringLiteral("Program Ok!!"));
        form.Button("Button1")->click();
        QVERIFY(!form.isVisible());
    }

    void serialSetupFieldRules() {
        TOpsBench b("OV128");
        PrepareProgram(b);
        TSerialNoSetupForm form(*b.Ws);
        QCOMPARE(form.StartAddress->text(), QStringLiteral("0000"));
        QCOMPARE(form.NoOfByte->text(), QStringLiteral("1"));
        QCOMPARE(form.StartValue->text(), QStringLiteral("00"));
        QCOMPARE(form.NoOfPart->text(), QStringLiteral("1"));

        // Keys outside a field's set are not taken.
        form.NoOfByte->clear();
        QTest::keyClicks(form.NoOfByte, "9x5");
        QCOMPARE(form.NoOfByte->text(), QStringLiteral("5"));
        form.StartValue->setMaxLength(16);
        form.StartValue->setText(QStringLiteral("1234"));
        form.NoOfByteExit();
        QCOMPARE(form.StartValue->text(), QStringLiteral("0000001234"));
        QCOMPARE(form.StartValue->maxLength(), 10);
        form.StartAddress->clear();
        QTest::keyClicks(form.StartAddress, "1g0");
        form.StartAddressExit();
        QCOMPARE(form.StartAddress->text(), QStringLiteral("0010"));

        // Pseudo-random: no increment, and all F is a state that never moves.
        form.RadioGroup1->button(1)->click();
        QVERIFY(!form.Increment->isEnabled());
        form.StartValue->setText(QStringLiteral("FFFFFFFFFF"));
        form.StartValueExit();
        QCOMPARE(form.StartValue->text(), QStringLiteral("0000000000"));
        form.RadioGroup1->button(0)->click();
        QVERIFY(form.Increment->isEnabled());

        // Word 0014h is no RTIW word: five bytes from 0010h are refused.
        form.BitBtn1Click();
        QCOMPARE(Boxes.Kinds.value(0), TBoxKind::Error);
        QCOMPARE(Boxes.Texts.value(0),
                 QStringLiteral("The program memory is not 'RTIW'. Serial No. will be disable!"));
        QVERIFY(!b.Ws->Serial.SerialModeOn);

        form.NoOfByte->setText(QStringLiteral("2"));
        form.StartValue->setText(QStringLiteral("AB1234"));
        form.NoOfByteExit();
        QCOMPARE(form.StartValue->text(), QStringLiteral("1234"));
        form.Increment->setText(QStringLiteral("300"));
        form.BitBtn1Click();
        QCOMPARE(Boxes.Texts.value(1), QStringLiteral(" \"Increment\" is not a valid value!!"));
        QVERIFY(form.Increment->text().isEmpty());
        form.Increment->setText(QStringLiteral("0"));
        emit form.Increment->editingFinished();
        QCOMPARE(form.Increment->text(), QStringLiteral("1"));
        form.BitBtn1Click();
        QVERIFY(b.Ws->Serial.SerialModeOn);
        QCOMPARE(b.Ws->Panel.SerialNo, std::string("1234"));
        QCOMPARE(GetWord(b.Ws->Buffers.ProgramBuffer.data(), 0x10), 0x3112u);
    }

    void serialSetupWritesQTPFiles() {
        TOpsBench b("OV128");
        PrepareProgram(b);
        const std::string dir =
            QDir::tempPath().toStdString() + "/qtp-form-" + std::to_string(getpid());
        std::filesystem::create_directories(dir);
        TSerialNoSetupForm form(*b.Ws);
        form.StartAddress->setText(QStringLiteral("0010"));
        form.StartValue->setText(QStringLiteral("01"));
        form.NoOfPart->setText(QStringLiteral("3"));
        form.AskQTPName = [&](bool& typeOk) {
            typeOk = true;
            return QString::fromStdString(dir + "/parts");
        };
        form.BitBtn4Click();
        std::ifstream in(dir + "/parts.txt", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        QCOMPARE(text, std::string(":020010000131BC\r\n:020010000231BB\r\n:020010000331BA\r\n"
                                   ":00000001FF"));
        QVERIFY(!b.Ws->Serial.SerialModeOn); // generating does not switch the mode on
        QCOMPARE(b.Ws->Serial.HexText(), std::string("04"));
        QVERIFY(Boxes.Texts.isEmpty());

        TSerialNoSetupForm again(*b.Ws);
        again.AskQTPName = [&](bool& typeOk) {
            typeOk = true;
            return QString::fromStdString(dir + "/missing/parts.txt");
        };
        again.BitBtn4Click();
        QCOMPARE(Boxes.Texts, QStringList{QStringLiteral("File can't be saved!")});
        again.NoOfPart->setText(QStringLiteral("0"));
        again.BitBtn4Click();
        QCOMPARE(Boxes.Texts.last(), QStringLiteral("\"No. of Parts\" value overflow!"));
        std::filesystem::remove_all(dir);
    }

    // The operator types a name into the real save dialog and presses Enter.
    void qtpSaveDialogTakesATextFileAsTyped() {
        TOpsBench b("OV128");
        PrepareProgram(b);
        QTemporaryDir dir;
        TSerialNoSetupForm form(*b.Ws);
        form.StartAddress->setText(QStringLiteral("0010"));
        form.StartValue->setText(QStringLiteral("01"));
        form.NoOfPart->setText(QStringLiteral("2"));
        QString filter;
        QTimer typist;
        QObject::connect(&typist, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible()) return;
            typist.stop();
            filter = d->selectedNameFilter();
            auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            QTest::keyClicks(name, dir.filePath(QStringLiteral("line7")));
            QTest::keyClick(name, Qt::Key_Return);
        });
        typist.start(20);
        form.BitBtn4Click();
        QCOMPARE(filter, QStringLiteral("Text files (*.txt)"));
        QVERIFY(Boxes.Texts.isEmpty());
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("line7.txt"))));
    }

    void idWindowModesAndDepths() {
        TWorkspace ws;
        ws.Buffers.IDBuffer[16] = 0x12;
        ws.Buffers.IDBuffer[24] = 0x05;
        const uint8_t sum[] = {'A', 'B', 0x01, 'D'};
        std::copy_n(sum, 4, ws.Buffers.IDBuffer.begin() + 12);
        TIDChecksumForm form(ws);
        if (qEnvironmentVariableIsSet("ORVAN_SHOT")) {
            form.StaticText1DblClick();
            form.StaticText5DblClick();
            form.grab().save(qEnvironmentVariable("ORVAN_SHOT") + QStringLiteral("/id.png"));
            form.StaticText5DblClick();
            form.StaticText1DblClick();
        }
        QCOMPARE(form.Label4->text(), QStringLiteral("AB D")); // below 20h shows a blank
        QCOMPARE(ws.Panel.ICChecksum, std::string("AB D"));
        QVERIFY(form.Label8->text().startsWith(QStringLiteral("12 7F 7F 7F 7F 7F 7F 7F 05")));

        // A blank ID reads as dots, edits as an empty field; ASCII "AB" keeps
        // ten blank bytes, shown as dots, and edits as "AB" again.
        ws.IDHexMode = 0;
        form.IDLabelShow();
        QCOMPARE(form.Label2->text(), QStringLiteral("............"));
        {
            TIDModify edit(ws);
            QVERIFY(!edit.Edit1->isHidden() && edit.MaskEdit2->isHidden());
            QCOMPARE(edit.Edit1->text(), QString());
            edit.Edit1->setText(QStringLiteral("AB"));
            edit.BitBtn1Click();
        }
        form.IDLabelShow();
        QCOMPARE(form.Label2->text(), QStringLiteral("AB.........."));
        QCOMPARE(TIDModify(ws).Edit1->text(), QStringLiteral("AB"));
        form.RadioGroup1->button(1)->click();
        QCOMPARE(form.Label2->text(), QStringLiteral("41 42 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F"));
        QCOMPARE(ws.Panel.IDText, form.Label2->text().toStdString());

        // HEX entry: FF and untouched groups store 7F, 80 stores 00, a lone 9 stores 1F.
        {
            TIDModify edit(ws);
            QVERIFY(edit.Edit1->isHidden() && !edit.MaskEdit2->isHidden());
            edit.MaskEdit2->clear();
            edit.MaskEdit2->setCursorPosition(0);
            QTest::keyClicks(edit.MaskEdit2, "ffZ809");
            edit.BitBtn1Click();
        }
        form.IDLabelShow();
        QCOMPARE(form.Label2->text(), QStringLiteral("7F 00 1F 7F 7F 7F 7F 7F 7F 7F 7F 7F"));

        QCOMPARE(form.FormHeight(), 210);
        QVERIFY(form.Panel2->isHidden());
        form.StaticText1DblClick();
        QCOMPARE(form.FormHeight(), 430);
        form.StaticText5DblClick();
        QCOMPARE(form.FormHeight(), 490);
        QVERIFY(!form.BodyOption1->isHidden());
        form.StaticText5DblClick();
        QCOMPARE(form.FormHeight(), 430);
        form.StaticText1DblClick();
        QCOMPARE(form.FormHeight(), 210);
    }

    void counterTakesDigitsOnly() {
        TWorkspace ws;
        ws.Panel.PassCount = "7";
        TCounterSetupForm form(ws);
        QCOMPARE(form.Edit1->text(), QStringLiteral("7"));
        form.Edit1->clear();
        QTest::keyClicks(form.Edit1, "4a1-");
        QCOMPARE(form.Edit1->text(), QStringLiteral("41"));
        form.BitBtn1Click();
        QCOMPARE(ws.Panel.PassCount, std::string("41"));
        TCounterSetupForm cancelled(ws);
        cancelled.Edit1->setText(QStringLiteral("99"));
        cancelled.reject();
        QCOMPARE(ws.Panel.PassCount, std::string("41"));
    }
};

QTEST_MAIN(ProductionFormTest)
#include "ProductionFormTest.moc"
