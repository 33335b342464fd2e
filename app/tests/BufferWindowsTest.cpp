// The buffer windows and their dialogs: grids drawn from the buffers, cell
// edits, the value dialog and the Fill Buffer dialog.
#include "buffer/Editsingledata.h"
#include "buffer/Eedata.h"
#include "buffer/Fillbuffer.h"
#include "buffer/Mdichild.h"
#include "session/Workspace.h"
#include "testlib/BoxRecorder.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <memory>

using orvan::GetWord;
using orvan::SetWord;

class BufferWindowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<orvan::TWorkspace> Ws;
    std::unique_ptr<TBoxRecorder> Recorder;

    static std::function<std::optional<unsigned>(QWidget*)> Answer(std::optional<unsigned> v) {
        return [v](QWidget*) { return v; };
    }

  private slots:
    void init() {
        Ws = std::make_unique<orvan::TWorkspace>();
        Ws->CalChecksum();
        Recorder = std::make_unique<TBoxRecorder>();
    }
    void cleanup() {
        Recorder.reset();
        Ws.reset();
    }

    void memoryGridShowsWords() {
        TMemoryGridModel model(*Ws);
        QCOMPARE(model.rowCount(), 64);
        QCOMPARE(model.columnCount(), 8);
        const QStringList titles = {"+0/8", "+1/9", "+2/A", "+3/B", "+4/C", "+5/D", "+6/E", "+7/F"};
        for (int c = 0; c < 8; ++c)
            QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), titles[c]);
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("0x0000"));
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("0x0008"));
        QCOMPARE(model.headerData(63, Qt::Vertical).toString(), QStringLiteral("0x01F8"));
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("3FFF"));
        SetWord(Ws->Buffers.ProgramBuffer.data(), 9, 0x00AB);
        QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("00AB"));

        // Re-populating follows the device: OV132 has 6144 words.
        Ws->SelectDevice("OV132");
        model.Repopulate();
        QCOMPARE(model.rowCount(), 768);
        QCOMPARE(model.headerData(767, Qt::Vertical).toString(), QStringLiteral("0x17F8"));
        QCOMPARE(model.index(767, 7).data().toString(), QStringLiteral("3FFF"));
    }

    void memoryCellEdit() {
        TMDIChild child(*Ws, QStringLiteral("Program Memory"));
        QCOMPARE(child.windowTitle(), QStringLiteral("Program Memory"));
        QSignalSpy edited(&child, &TMDIChild::BufferEdited);
        const QModelIndex cell = child.Model->index(2, 3); // word 0x13
        const std::string blankSum = Ws->Panel.Checksum;

        child.AskValue = Answer(0x1ABC);
        child.StringGrid1DblClick(cell);
        QCOMPARE(GetWord(Ws->Buffers.ProgramBuffer.data(), 0x13), 0x1ABCu);
        QCOMPARE(cell.data().toString(), QStringLiteral("1ABC"));
        QVERIFY(Ws->Panel.Checksum != blankSum);
        QCOMPARE(edited.count(), 1);

        // Cancel changes nothing, but the checksums are recomputed all the same.
        SetWord(Ws->Buffers.ProgramBuffer.data(), 0x13, 0x3FFF);
        child.AskValue = Answer(std::nullopt);
        child.StringGrid1DblClick(cell);
        QCOMPARE(GetWord(Ws->Buffers.ProgramBuffer.data(), 0x13), 0x3FFFu);
        QCOMPARE(Ws->Panel.Checksum, blankSum);
        QCOMPARE(edited.count(), 2);

        // The buffer changed while the dialog was open: the edit is dropped.
        child.AskValue = [this](QWidget*) -> std::optional<unsigned> {
            SetWord(Ws->Buffers.ProgramBuffer.data(), 0x13, 0x0001);
            return 0x2222;
        };
        child.StringGrid1DblClick(cell);
        QCOMPARE(GetWord(Ws->Buffers.ProgramBuffer.data(), 0x13), 0x0001u);
    }

    void memoryGridDoubleClickThroughView() {
        TMDIChild child(*Ws, QStringLiteral("Program Memory"));
        child.show();
        QVERIFY(QTest::qWaitForWindowExposed(&child));
        child.AskValue = Answer(0x0123);
        QTableView* view = child.StringGrid1;
        QCOMPARE(view->horizontalHeader()->defaultSectionSize(), 40);
        QCOMPARE(view->verticalHeader()->defaultSectionSize(), 20);
        const QRect r = view->visualRect(child.Model->index(0, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(GetWord(Ws->Buffers.ProgramBuffer.data(), 1), 0x0123u);
    }

    void eepromGrid() {
        Ws->SelectDevice("OV128");
        TEEDataForm form(*Ws);
        QCOMPARE(form.windowTitle(), QStringLiteral("EEPROM data"));
        TEEGridModel& model = *form.Model;
        QCOMPARE(model.rowCount(), 8);
        QCOMPARE(model.columnCount(), 16);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("+0"));
        QCOMPARE(model.headerData(15, Qt::Horizontal).toString(), QStringLiteral("+F"));
        QCOMPARE(model.headerData(7, Qt::Vertical).toString(), QStringLiteral("0x70"));
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("00"));

        const QModelIndex cell = model.index(1, 2); // byte 0x12
        form.AskValue = Answer(0x1FF);              // too large for a byte: ignored
        form.StringGrid1Click(cell);
        QCOMPARE(Ws->Buffers.EEBuffer[0x12], uint8_t(0));
        form.AskValue = Answer(0x5A);
        form.StringGrid1Click(cell);
        QCOMPARE(Ws->Buffers.EEBuffer[0x12], uint8_t(0x5A));
        QCOMPARE(cell.data().toString(), QStringLiteral("5A"));
        form.AskValue = Answer(std::nullopt);
        form.StringGrid1Click(cell);
        QCOMPARE(Ws->Buffers.EEBuffer[0x12], uint8_t(0x5A));

        // An OTP device has no EEPROM rows.
        Ws->SelectDevice("OV101");
        model.Repopulate();
        QCOMPARE(model.rowCount(), 0);
    }

    void valueDialogKeyFilterAndLimit() {
        TEditSingleData dialog;
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Enter new value"));
        QCOMPARE(dialog.Edit1->maxLength(), 4);
        QVERIFY(dialog.Edit1->text().isEmpty());
        QTest::keyClicks(dialog.Edit1, QStringLiteral("1g-Z a2"));
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("1a2"));
        QTest::keyClick(dialog.Edit1, Qt::Key_Backspace);
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("1a"));
        QTest::keyClicks(dialog.Edit1, QStringLiteral("bcd"));
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("1abc"));

        dialog.Edit1->setText(QStringLiteral("4000"));
        QVERIFY(!dialog.Button1Click());
        QCOMPARE(Recorder->Boxes.size(), size_t(1));
        QCOMPARE(Recorder->Boxes[0].Kind, TBoxKind::Error);
        QCOMPARE(Recorder->Boxes[0].Caption, QStringLiteral("Error"));
        QCOMPARE(Recorder->Boxes[0].Text, QStringLiteral("Invalid Value,too large!"));
        QVERIFY(dialog.Edit1->text().isEmpty());
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.Value());

        dialog.Edit1->setText(QStringLiteral("7"));
        QVERIFY(dialog.Button1Click());
        QCOMPARE(*dialog.Value(), 7u);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void valueDialogModal_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("lower case") << "3fff" << true << 0x3FFF;
        QTest::newRow("short") << "7" << true << 7;
        QTest::newRow("cancel") << "12" << false << -1;
    }
    void valueDialogModal() {
        QFETCH(QString, entry);
        QFETCH(bool, ok);
        QFETCH(int, value);
        QTimer::singleShot(0, this, [entry, ok] {
            auto* dialog = qobject_cast<TEditSingleData*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(dialog->Edit1->text().isEmpty());
            QTest::keyClicks(dialog->Edit1, entry);
            (ok ? dialog->Button1 : dialog->Button2)->click();
        });
        const std::optional<unsigned> result = TEditSingleData::Ask(nullptr);
        QCOMPARE(result.has_value(), ok);
        if (ok) QCOMPARE(int(*result), value);
    }

    void fillDialogStartTexts() {
        {
            TFillBufferForm dialog(*Ws);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Fill Buffer"));
            QCOMPARE(dialog.StartAddr->text(), QStringLiteral("0"));
            QCOMPARE(dialog.EndAddr->text(), QStringLiteral("1FF"));
            QCOMPARE(dialog.Data->text(), QStringLiteral("3FFF"));
            for (QLineEdit* e : {dialog.StartAddr, dialog.EndAddr, dialog.Data}) {
                QCOMPARE(e->maxLength(), 4);
                e->clear();
                QTest::keyClicks(e, QStringLiteral("x1.fG"));
                QCOMPARE(e->text(), QStringLiteral("1f"));
            }
        }
        Ws->SelectDevice("OV132");
        TFillBufferForm large(*Ws);
        QCOMPARE(large.EndAddr->text(), QStringLiteral("17FF"));
    }

    void fillDialogChecks_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("error");
        QTest::newRow("start past end of memory") << "200"
                                                  << "1FF"
                                                  << "0"
                                                  << "Start address is a invalid value!";
        QTest::newRow("end past end of memory") << "0"
                                                << "200"
                                                << "0"
                                                << "End address is a invalid value!";
        QTest::newRow("end before start") << "5"
                                          << "0"
                                          << "0"
                                          << "Start address is a invalid value!";
        QTest::newRow("data too large") << "0"
                                        << "1FF"
                                        << "4000"
                                        << "Data is a invalid value!";
        QTest::newRow("start checked first") << "200"
                                             << "200"
                                             << "4000"
                                             << "Start address is a invalid value!";
        QTest::newRow("fills") << "10"
                               << "1F"
                               << "1234"
                               << "";
        QTest::newRow("empty entries are 0") << ""
                                             << ""
                                             << ""
                                             << "";
    }
    void fillDialogChecks() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, data);
        QFETCH(QString, error);
        TFillBufferForm dialog(*Ws);
        dialog.StartAddr->setText(start);
        dialog.EndAddr->setText(end);
        dialog.Data->setText(data);
        const std::string blankSum = Ws->Panel.Checksum;
        const bool filled = dialog.Button1Click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted)); // OK closes either way
        QCOMPARE(filled, error.isEmpty());
        const uint8_t* p = Ws->Buffers.ProgramBuffer.data();
        if (!error.isEmpty()) {
            QCOMPARE(Recorder->Boxes.size(), size_t(1));
            QCOMPARE(Recorder->Boxes[0].Kind, TBoxKind::Error);
            QCOMPARE(Recorder->Boxes[0].Caption, QStringLiteral("Error"));
            QCOMPARE(Recorder->Boxes[0].Text, error);
            for (int w = 0; w < 0x200; ++w)
                QCOMPARE(GetWord(p, w), 0x3FFFu);
            QCOMPARE(Ws->Panel.Checksum, blankSum);
            return;
        }
        QVERIFY(Recorder->Boxes.empty());
        if (start == "10") {
            QCOMPARE(GetWord(p, 0x0F), 0x3FFFu);
            for (int w = 0x10; w <= 0x1F; ++w)
                QCOMPARE(GetWord(p, w), 0x1234u);
            QCOMPARE(GetWord(p, 0x20), 0x3FFFu);
            QVERIFY(Ws->Panel.Checksum != blankSum);
        } else {
            QCOMPARE(GetWord(p, 0), 0u);
            QCOMPARE(GetWord(p, 1), 0x3FFFu);
        }
    }

    void fillDialogCancel() {
        TFillBufferForm dialog(*Ws);
        dialog.Data->setText(QStringLiteral("0"));
        dialog.Button2->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x3FFFu);
    }
};

QTEST_MAIN(BufferWindowsTest)
#include "BufferWindowsTest.moc"
