// The main window: start state, layout tables, device change, timer, chip
// command entry checks, edit commands and shutdown.
#include "app/MainForm.h"
#include "app/tests/OperationCloser.h"
#include "buffer/Fillbuffer.h"
#include "buffer/Mdichild.h"
#include "info/Logo.h"
#include "testlib/BoxRecorder.h"
#include "testlib/GuiBench.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

using orvan::GetWord;
using orvan::SetWord;

using orvan::test::NewForm;
using orvan::test::SelectDevice;

class MainFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString OldDir;
    std::unique_ptr<TBoxRecorder> Recorder;

    static QString Value(TMainForm& form, orvan::TOptionRowId row) {
        return form.OptionValues[size_t(row)]->text();
    }
    static bool HasQuestion(const TBoxRecorder& r, const QString& text) {
        for (const TShownBox& b : r.Boxes)
            if (b.Kind == TBoxKind::AbortIgnore && b.Text == text) return true;
        return false;
    }

  private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        OldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(Dir.path()));
        orvan::test::MapPortsNowhere();
    }
    void cleanupTestCase() { QDir::setCurrent(OldDir); }
    void init() {
        // Each case starts as a first run: no configuration from an earlier close.
        QFile::remove(QStringLiteral("Default.cfg"));
        Recorder = std::make_unique<TBoxRecorder>();
    }
    void cleanup() { Recorder.reset(); }

    void startsBlank() {
        auto form = NewForm();
        QCOMPARE(form->windowTitle(), QStringLiteral("Orvan Writer  V2.43"));
        QCOMPARE(form->ComboBox1->currentText(), QStringLiteral("Com1"));
        QCOMPARE(form->ComboBox1->count(), 8);
        QCOMPARE(form->ComboBox1->itemText(7), QStringLiteral("Com8"));
        QCOMPARE(form->HandShake->currentIndex(), -1);
        QCOMPARE(form->HandShake->count(), 3);
        QCOMPARE(form->ComboBox2->count(), orvan::CatalogueSize);
        QCOMPARE(form->ComboBox2->currentText(), QStringLiteral("OV101"));
        QCOMPARE(form->ComboBox2->itemText(36), QStringLiteral("OV137"));
        QCOMPARE(form->ComboBox2->maxVisibleItems(), 28);
        QCOMPARE(form->Ws().StartDirectory, QDir::currentPath().toStdString());
        QVERIFY(form->Ws().LoadedFileName.empty());

        // OV101, blank OPTION: PRD greyed, Security reads Disable.
        QCOMPARE(Value(*form, orvan::RowOsc), QStringLiteral("Blank"));
        QCOMPARE(Value(*form, orvan::RowOst), QStringLiteral("Blank"));
        QCOMPARE(Value(*form, orvan::RowWdt), QStringLiteral("Blank"));
        QCOMPARE(Value(*form, orvan::RowPed), QStringLiteral("Blank"));
        QCOMPARE(Value(*form, orvan::RowSec), QStringLiteral("Disable"));
        QVERIFY(!form->OptionValues[orvan::RowPrd]->isEnabled());
        QVERIFY(!form->OptionNames[orvan::RowPrd]->isEnabled());
        QVERIFY(form->OptionNames[orvan::RowOsc]->isEnabled());
        QCOMPARE(form->OptionNames[orvan::RowOsc]->text(), QStringLiteral("OSC Type:"));
        QCOMPARE(form->OptionNames[orvan::RowPrd]->x(), 72);

        QCOMPARE(form->Label11->text(), QStringLiteral("7C00"));
        QCOMPARE(form->Label17->text(), QStringLiteral("Blank"));
        QCOMPARE(form->OptChecksum->text(), QString::fromStdString(form->Ws().Panel.OptionSum));
        QCOMPARE(form->ProtectSum->text(), QString::fromStdString(form->Ws().Panel.ProtectSum));
        QCOMPARE(form->Label18->text(), QStringLiteral("7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F"));
        QCOMPARE(form->Label13->text(), QStringLiteral("0"));
        QCOMPARE(form->Label13->alignment() & Qt::AlignRight, Qt::AlignRight);
        QCOMPARE(form->Label15->text(), QStringLiteral("00"));
        QCOMPARE(form->Label1->text(), QStringLiteral("Disable"));
        QCOMPARE(form->Label19->text(), QStringLiteral("Disable"));
        QCOMPARE(form->Label11->toolTip(), QStringLiteral("Checksum for data"));
        QCOMPARE(form->Label17->toolTip(), QStringLiteral("Checksum on IC"));
        QCOMPARE(form->OptChecksum->toolTip(), QStringLiteral("Checksum include OPTION"));
        QCOMPARE(form->ProtectSum->toolTip(), QStringLiteral("Checksum for protected IC"));

        QCOMPARE(form->PulseWidth->text(), QStringLiteral("5"));
        QCOMPARE(form->EraseWidth->text(), QStringLiteral("80"));
        QVERIFY(form->PulseWidth->isHidden());
        QVERIFY(form->EraseWidth->isHidden());
        QCOMPARE(form->findChild<QWidget*>(QStringLiteral("StatusPanel"))->width(), 200);
        QCOMPARE(form->Timer1->interval(), 500);
        QVERIFY(form->Timer1->isActive());
        QVERIFY(!form->FileSaveAsItem->isEnabled());

        const auto& b = form->Ws().Buffers;
        QCOMPARE(b.OptionLo, orvan::Blank7);
        QVERIFY(std::all_of(b.ProgramBuffer.begin(), b.ProgramBuffer.end(),
                            [](uint8_t v) { return v == 0x7F; }));
        QVERIFY(
            std::all_of(b.EEBuffer.begin(), b.EEBuffer.end(), [](uint8_t v) { return v == 0; }));
        QVERIFY(Recorder->Boxes.empty());
    }

    void startUpClosesThePictureOnce() {
        int closed = 0;
        TMainForm::TStartOptions options;
        options.CloseLogo = [&closed] { ++closed; };
        options.Connect = true; // every port leads nowhere (ports.map)
        TMainForm form(std::move(options));
        QCOMPARE(closed, 1);
        if (form.Link().PortFailed) {
            // The port error only; no connect message follows it.
            QCOMPARE(Recorder->Boxes.size(), size_t(1));
            QVERIFY(Recorder->Boxes[0].Text.startsWith(QStringLiteral("Open  COM1 Port Error!!")));
        }
    }

    void logoWindow() {
        TLogoForm logo;
        QCOMPARE(logo.size(), QSize(336, 305));
        QVERIFY(logo.windowFlags() & Qt::FramelessWindowHint);
        QSignalSpy painted(&logo, &TLogoForm::Painted);
        logo.show();
        QTRY_COMPARE(painted.count(), 1);
        logo.repaint();
        QCOMPARE(painted.count(), 1);
    }

    void shortcutsReachTheCommands() {
        auto form = NewForm();
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->Ws().EraseFirst = true;
        // F5 opens the Blank Check dialog; with no model selected it ends at
        // once, and OK closes it.
        const std::string model = form->Ws().DeviceName;
        form->Ws().DeviceName.clear();
        TOperationCloser closer;
        QTest::keyClick(form.get(), Qt::Key_F5);
        QCOMPARE(closer.Closed, QStringList{"Blank Check"});
        QVERIFY(!form->Ws().EraseFirst);
        form->Ws().DeviceName = model;
        form->activateWindow(); // back from the dialog
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        Recorder->Answer = TBoxAnswer::Abort;
        QTest::keyClick(form.get(), Qt::Key_F8);
        QVERIFY(HasQuestion(*Recorder, QStringLiteral("Reset address (01FFh) is blank!!")));
    }

    void menuTree() {
        auto form = NewForm();
        // "-" is a separator; the shortcut follows a tab.
        const QStringList expected = {
            "&File:&Open|Load Config File \tCtrl+L|Save Config File\tCtrl+S|Save Disassmble|"
            "Save Program Memory|-|E&xit",
            "&View:Program Memory|ID|Disassemble|EEPROM|-|Production &Log",
            "&Edit:OPTION\tF4|-|Serial No. Mode|Set Counter Value|Load QTP File|-|Clear OPTION|"
            "Clear ID|Clear Buffer|Fill Buffer\tCtrl+F|Clear EEPROM Buffer",
            "&Program:Blank Check\tF5|Read\tF6|Verify\tF7|Verify with Protect|-|"
            "Auto Program\tF8|Auto Program without Blank Check\tF9|OPTION|ID and Checksum|"
            "Program Memory",
            "&Window:&Cascade|Tile &Horizontally|Tile &Vertically|&Minimize All|&Arrange All",
            "&Help:&About...|Version Info",
        };
        QStringList actual;
        for (QAction* top : form->menuBar()->actions()) {
            QStringList items;
            for (QAction* a : top->menu()->actions()) {
                if (a->isSeparator()) {
                    items << QStringLiteral("-");
                    continue;
                }
                QString item = a->text();
                if (!a->shortcut().isEmpty()) item += "\t" + a->shortcut().toString();
                items << item;
            }
            actual << top->text() + ":" + items.join('|');
        }
        QCOMPARE(actual, expected);
        QCOMPARE(form->OPTION3->toolTip(), QStringLiteral("Program Option Only"));
    }

    void toolBarOrderAndHints() {
        auto form = NewForm();
        const QStringList expected = {"Open",
                                      "Save Program Memory",
                                      "|",
                                      "Erase Flash memory",
                                      "|",
                                      "Blank Check",
                                      "Read",
                                      "Verify",
                                      "Verify with protect",
                                      "|",
                                      "Program ID & Checksum",
                                      "Program Memory",
                                      "Program OPTION",
                                      "|",
                                      "Write EEPROM",
                                      "Auto program",
                                      "Auto program without blank check",
                                      "|",
                                      "Cascade",
                                      "Tile Horizontally",
                                      "Tile Vertically",
                                      "|",
                                      "[Label3]",
                                      "[ComboBox1]",
                                      "[HandShake]",
                                      "|",
                                      "<hidden>",
                                      "|"};
        QStringList actual;
        for (QAction* a : form->ToolBar1->actions()) {
            if (a->isSeparator())
                actual << "|";
            else if (QWidget* w = form->ToolBar1->widgetForAction(a);
                     w && !qobject_cast<QToolButton*>(w))
                actual << "[" + w->objectName() + "]";
            else if (!a->isVisible())
                actual << "<hidden>";
            else
                actual << a->toolTip();
        }
        QCOMPARE(actual, expected);
        QCOMPARE(form->Label3->text().trimmed(), QStringLiteral("Serial Port :"));
        QVERIFY(form->Label3->font().bold());
        QCOMPARE(form->ToolBar1->height(), 33);
        QVERIFY(form->ToolButton23->toolTip().isEmpty());
    }

    void firstShowCreatesWindows() {
        auto form = NewForm();
        QVERIFY(!form->MemoryWindowOpen());
        form->show();
        QVERIFY(form->Ws().ShownOnce);
        QVERIFY(form->Ws().RefreshPending);
        QVERIFY(form->MemoryWindowOpen());
        QVERIFY(form->IDFormOpen());
        QCOMPARE(form->MemoryWindow()->windowTitle(), QStringLiteral("Program Memory"));
        QCOMPARE(form->MdiArea->subWindowList().size(), 2);
        // A second show leaves the windows as they are.
        TMDIChild* first = form->MemoryWindow();
        form->hide();
        form->show();
        QCOMPARE(form->MemoryWindow(), first);
        QCOMPARE(form->MdiArea->subWindowList().size(), 2);
    }

    void deviceChangeResetsAndSwitchesFlashControls() {
        auto form = NewForm();
        form->show();
        form->Ws().LoadedFileName = "/data/image.bin";
        SetWord(form->Ws().Buffers.ProgramBuffer.data(), 5, 0x1234);
        form->Ws().Buffers.EEBuffer[3] = 0x55;
        form->Ws().Buffers.IDBuffer[0] = 0x01;
        form->Ws().Buffers.OptionLo = 0x75;
        form->Ws().Serial.SerialModeOn = true;
        form->Ws().QTPActive = true;
        form->Ws().Panel.PassCount = "12";

        SelectDevice(*form, QStringLiteral("OV128"));
        QCOMPARE(form->Ws().Device.ICName, std::string("OV128"));
        const auto& b = form->Ws().Buffers;
        QCOMPARE(GetWord(b.ProgramBuffer.data(), 5), 0x3FFFu);
        QCOMPARE(b.EEBuffer[3], uint8_t(0));
        QCOMPARE(b.IDBuffer[0], orvan::Blank7);
        QCOMPARE(b.OptionLo, orvan::Blank7);
        QVERIFY(!form->Ws().Serial.SerialModeOn);
        QVERIFY(!form->Ws().QTPActive);
        QCOMPARE(form->Label13->text(), QStringLiteral("0"));
        QVERIFY(form->Ws().LoadedFileName.empty());
        QCOMPARE(form->MemoryWindow()->windowTitle(), QStringLiteral("Program Memory"));
        QCOMPARE(form->MemoryWindow()->Model->rowCount(), 128);
        for (QAction* a : {form->Erase, form->WriteEE, form->EEPROM1, form->ClearEEPROMBuffer1})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        // OV128 (family 10): every active row blank, PRD row named MCLR HI.
        QCOMPARE(form->OptionNames[orvan::RowPrd]->text(), QStringLiteral("MCLR HI:"));
        QCOMPARE(form->OptionNames[orvan::RowPrd]->x(), 40);
        QCOMPARE(Value(*form, orvan::RowSec), QStringLiteral("Blank"));

        form->EEPROM1Click();
        QVERIFY(form->EEFormOpen());
        SelectDevice(*form, QStringLiteral("OV101"));
        for (QAction* a : {form->Erase, form->WriteEE, form->EEPROM1, form->ClearEEPROMBuffer1})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(!form->EEFormOpen());
        QVERIFY(!form->OptionNames[orvan::RowPrd]->isEnabled());
        QCOMPARE(form->MemoryWindow()->Model->rowCount(), 64);
    }

    void timerFollowsSerialModeAndRefreshPending() {
        auto form = NewForm();
        form->Ws().Buffers.OptionLo = 0x75; // oscillator field 5: "HF"
        form->Ws().RefreshPending = false;
        form->Timer1Timer();
        QCOMPARE(Value(*form, orvan::RowOsc), QStringLiteral("Blank"));
        form->Ws().RefreshPending = true;
        form->Timer1Timer();
        QVERIFY(!form->Ws().RefreshPending);
        QCOMPARE(Value(*form, orvan::RowOsc), QStringLiteral("HF"));

        form->Ws().Serial.SerialModeOn = true;
        form->Timer1Timer();
        QCOMPARE(form->Label1->text(), QStringLiteral("Enable"));
        for (QAction* a : {form->ToolID, form->ToolProgramMemory, form->ToolProgramOption,
                           form->OPTION3, form->ID3, form->ProgramMemory2})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(form->AutoProgram1->isEnabled());
        form->Ws().Serial.SerialModeOn = false;
        form->Timer1Timer();
        QCOMPARE(form->Label1->text(), QStringLiteral("Disable"));
        QVERIFY(form->ID3->isEnabled());

        // The real timer: "Save Disassmble" follows the listing window.
        form->show();
        auto* listing = new QMdiSubWindow;
        listing->setWindowTitle(QStringLiteral("Disassembly"));
        form->SetDisasmWindow(listing);
        QVERIFY(form->DisasmOpen());
        QTRY_VERIFY_WITH_TIMEOUT(form->FileSaveAsItem->isEnabled(), 3000);
        form->CloseDisasmWindow();
        QVERIFY(!form->DisasmOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!form->FileSaveAsItem->isEnabled(), 3000);
    }

    void chipCommandsStopWhilePortFailed() {
        auto form = NewForm();
        form->Link().PortFailed = true;
        form->Ws().EraseFirst = true;
        form->Ws().VerifyProtect = true;
        form->Ws().ReadDone = true;
        form->BlankCheckActionExecute();
        form->Veryfy1Click();
        form->ToolButton7Click();
        QVERIFY(form->Ws().EraseFirst);
        QVERIFY(form->Ws().VerifyProtect);
        QVERIFY(form->Ws().ReadDone);
        form->Ws().Serial.SerialModeOn = true;
        form->ToolButton23Click();
        QVERIFY(form->Ws().Serial.SerialModeOn);
        // No reset-address question either.
        form->AutoProgram1Click();
        QVERIFY(!HasQuestion(*Recorder, QStringLiteral("Reset address (01FFh) is blank!!")));

        // Each command now opens its dialog: with no model selected the
        // workers end at once (force write at the writer check).
        form->Link().PortFailed = false;
        form->Ws().DeviceName.clear();
        TOperationCloser closer;
        form->BlankCheckActionExecute();
        QVERIFY(!form->Ws().EraseFirst);
        form->EraseClick();
        QVERIFY(form->Ws().EraseFirst);
        form->Veryfy1Click();
        QVERIFY(!form->Ws().VerifyProtect);
        form->VerifywithProtect1Click();
        QVERIFY(form->Ws().VerifyProtect);
        form->ToolButton7Click();
        QVERIFY(!form->Ws().ReadDone);
        form->ToolButton23Click();
        QVERIFY(!form->Ws().Serial.SerialModeOn);
        QCOMPARE(closer.Closed, QStringList({"Blank Check", "Blank Check", "Verify", "Verify",
                                             "Read", "Program Memory Without Check"}));
    }

    void resetAddressCheck_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("resetWord");
        QTest::addColumn<QString>("question");
        QTest::newRow("OV101 last word") << "OV101" << 0x1FF << "Reset address (01FFh) is blank!!";
        QTest::newRow("OV116 word 0") << "OV116" << 0 << "Reset address (0000h) is blank!!";
        QTest::newRow("OV107 last word") << "OV107" << 0x3FF << "Reset address (03FFh) is blank!!";
        QTest::newRow("OV128 flash, word 0") << "OV128" << 0 << "Reset address (0000h) is blank!!";
    }
    void resetAddressCheck() {
        QFETCH(QString, device);
        QFETCH(int, resetWord);
        QFETCH(QString, question);
        auto form = NewForm();
        SelectDevice(*form, device);
        const bool flash = form->Ws().Device.IsFlash();
        TOperationCloser closer; // Program Memory runs once Ignore is chosen

        // Abort stops each of the three commands before its flags.
        Recorder->Answer = TBoxAnswer::Abort;
        form->Ws().SkipBlankCheck = true;
        form->Ws().EraseFirst = !flash;
        form->AutoProgram1Click();
        QVERIFY(form->Ws().SkipBlankCheck);
        QCOMPARE(form->Ws().EraseFirst, !flash);
        form->Ws().SkipBlankCheck = false;
        form->AutoProgramwithoutBlankCheck1Click();
        QVERIFY(!form->Ws().SkipBlankCheck);
        Recorder->Boxes.clear();
        form->ProgramMemory2Click();
        QCOMPARE(Recorder->Boxes.size(), size_t(1));
        QCOMPARE(Recorder->Boxes[0].Text, question);

        // Ignore goes on: auto program sets EraseFirst by technology, the
        // variant without blank check leaves it alone.
        Recorder->Answer = TBoxAnswer::Ignore;
        form->AutoProgram1Click();
        QVERIFY(!form->Ws().SkipBlankCheck);
        QCOMPARE(form->Ws().EraseFirst, flash);
        form->Ws().EraseFirst = !flash;
        form->AutoProgramwithoutBlankCheck1Click();
        QVERIFY(form->Ws().SkipBlankCheck);
        QCOMPARE(form->Ws().EraseFirst, !flash);

        // A programmed reset word asks nothing.
        SetWord(form->Ws().Buffers.ProgramBuffer.data(), resetWord, 0x0A00);
        Recorder->Boxes.clear();
        // The dialog's worker then finds no model and ends without the writer.
        form->Ws().DeviceName.clear();
        form->ProgramMemory2Click();
        form->AutoProgram1Click();
        QVERIFY(Recorder->Boxes.empty());
        // Both Ignore answers and the last command ran auto program.
        QCOMPARE(closer.Closed,
                 (QStringList{"Auto Program", "Auto Program", "Program Memory", "Auto Program"}));
    }

    void forceWriteButtonToggles() {
        auto form = NewForm();
        form->show();
        QVERIFY(!form->ToolButton23->isVisible());
        QTest::mouseDClick(form->Label3, Qt::LeftButton);
        QVERIFY(form->ToolButton23->isVisible());
        QTest::mouseDClick(form->Label3, Qt::LeftButton);
        QVERIFY(!form->ToolButton23->isVisible());
    }

    void panelDoubleClicksOpenWindows() {
        auto form = NewForm();
        form->show();
        form->IDChildWindow()->close();
        QTRY_VERIFY(!form->IDFormOpen());
        QTest::mouseDClick(form->Label18, Qt::LeftButton);
        QVERIFY(form->IDFormOpen());
        // View "ID" on an open window brings it forward instead of a second one.
        QMdiSubWindow* id = form->IDChildWindow();
        form->ID2Click();
        QCOMPARE(form->IDChildWindow(), id);
        QCOMPARE(form->MdiArea->subWindowList().size(), 2);
    }

    void clearCommands() {
        auto form = NewForm();
        form->show();
        auto& ws = form->Ws();

        ws.Buffers.OptionLo = 0x75;
        ws.RefreshData();
        form->RenderPanel();
        QCOMPARE(Value(*form, orvan::RowOsc), QStringLiteral("HF"));
        form->ClearOPTION1Click();
        QCOMPARE(ws.Buffers.OptionLo, orvan::Blank7);
        QCOMPARE(Value(*form, orvan::RowOsc), QStringLiteral("Blank"));

        ws.Buffers.IDBuffer.fill(0x11);
        QMdiSubWindow* oldId = form->IDChildWindow();
        form->ClearID1Click();
        QCOMPARE(ws.Buffers.IDBuffer[31], orvan::Blank7);
        QVERIFY(form->IDFormOpen());
        QVERIFY(form->IDChildWindow() != oldId);

        ws.LoadedFileName = "/data/image.bin";
        form->MemoryWindow()->setWindowTitle(QStringLiteral("/data/image.bin"));
        SetWord(ws.Buffers.ProgramBuffer.data(), 0, 0);
        ws.CalChecksum();
        form->RenderPanel();
        QVERIFY(form->Label11->text() != QStringLiteral("7C00"));
        form->ClearBuffer1Click();
        QCOMPARE(GetWord(ws.Buffers.ProgramBuffer.data(), 0), 0x3FFFu);
        QCOMPARE(form->Label11->text(), QStringLiteral("7C00"));
        QVERIFY(ws.LoadedFileName.empty());
        QCOMPARE(form->MemoryWindow()->windowTitle(), QStringLiteral("Program Memory"));

        // With the memory window closed the file name stays.
        form->MemoryWindow()->close();
        QTRY_VERIFY(!form->MemoryWindowOpen());
        ws.LoadedFileName = "/data/other.bin";
        form->ClearBuffer1Click();
        QCOMPARE(ws.LoadedFileName, std::string("/data/other.bin"));
        QVERIFY(!form->MemoryWindowOpen());
        form->ProgramMemory1Click();
        QCOMPARE(form->MemoryWindow()->windowTitle(), QStringLiteral("/data/other.bin"));

        SelectDevice(*form, QStringLiteral("OV129"));
        form->EEPROM1Click();
        ws.Buffers.EEBuffer[7] = 0xA5;
        form->ClearEEPROMBuffer1Click();
        QCOMPARE(ws.Buffers.EEBuffer[7], uint8_t(0));
        QVERIFY(form->EEFormOpen());
    }

    void fillBufferCommandRepopulates() {
        auto form = NewForm();
        form->show();
        const QModelIndex cell = form->MemoryWindow()->Model->index(2, 0); // word 0x10
        QTimer::singleShot(0, form.get(), [] {
            auto* dialog = qobject_cast<TFillBufferForm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->StartAddr->setText("10");
            dialog->EndAddr->setText("17");
            dialog->Data->setText("0ABC");
            dialog->Button1->click();
        });
        form->FillBuffer1Click();
        QCOMPARE(cell.data().toString(), QStringLiteral("0ABC"));
        QCOMPARE(QString::fromStdString(form->Ws().Panel.Checksum), form->Label11->text());
        QVERIFY(form->Label11->text() != QStringLiteral("7C00"));
    }

    void windowArrangements() {
        auto form = NewForm();
        form->resize(800, 628);
        form->show();
        form->WindowTileVertical1Execute();
        const auto list = form->MdiArea->subWindowList();
        QCOMPARE(list.size(), 2);
        QVERIFY(list[0]->x() != list[1]->x());
        QCOMPARE(list[0]->y(), list[1]->y());
        form->WindowTileHorizontal1Execute();
        QCOMPARE(list[0]->x(), list[1]->x());
        QVERIFY(list[0]->y() != list[1]->y());
        form->WindowMinimizeAll1Execute();
        QVERIFY(list[0]->isMinimized() && list[1]->isMinimized());

        emit form->WindowMenu->aboutToShow();
        QStringList titles;
        for (QAction* a : form->WindowMenu->actions())
            if (!a->isSeparator()) titles << a->text();
        QCOMPARE(titles.size(), 7);
        QVERIFY(titles.contains(QStringLiteral("&1 ID and Checksum")) ||
                titles.contains(QStringLiteral("&2 ID and Checksum")));
    }

    void closeTurnsSerialModeOff() {
        auto form = NewForm();
        form->show();
        form->Ws().Serial.SerialModeOn = true;
        form->Ws().QTPActive = true;
        form->Ws().Panel.PassCount = "7";
        form->Ws().Panel.QTPFile = "run.qtp";
        form->Timer1Timer();
        QCOMPARE(form->Label1->text(), QStringLiteral("Enable"));
        form->close();
        QVERIFY(!form->Ws().Serial.SerialModeOn);
        QVERIFY(!form->Ws().QTPActive);
        QCOMPARE(form->Label1->text(), QStringLiteral("Disable"));
        QCOMPARE(form->Label19->text(), QStringLiteral("Disable"));
        QCOMPARE(form->Label13->text(), QStringLiteral("0"));
        QVERIFY(!form->Timer1->isActive());
    }

    void opensMaximisedFromRestoredSize() {
        auto form = NewForm();
        form->ShowCentredMaximised();
        QVERIFY(form->windowState() & Qt::WindowMaximized);
        form->showNormal();
        QCOMPARE(form->normalGeometry().size(), QSize(800, 628));
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
