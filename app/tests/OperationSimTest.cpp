// The operation dialogs of the application against the real writer-sim over
// a pseudo-terminal: whole runs, and a dialog closed in the middle of a
// transfer followed by a run that succeeds.
#include "app/MainForm.h"
#include "buffer/Mdichild.h"
#include "ops/Bcform.h"
#include "ops/Forcewriteform.h"
#include "ops/Pmemoryform.h"
#include "testlib/BoxRecorder.h"
#include "testlib/Files.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <map>
#include <memory>

using orvan::test::TSimProcess;
using orvan::test::TTempDir;
using orvan::test::WriteFile;

class OperationSimTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTempDir> Dir;
    std::unique_ptr<TSimProcess> Sim;
    std::unique_ptr<TBoxRecorder> Recorder;
    std::unique_ptr<TMainForm> Form;
    QString OldDir;

    // writer-sim with `model` in the socket and a control file for faults;
    // the main window connects to it at start.
    void Start(const std::string& model, std::vector<std::string> extra = {}) {
        WriteFile(Dir->File("control"), "");
        std::vector<std::string> args{"--model",     model,       "--type",    "universal",
                                      "--image",     "chip.img",  "--control", "control",
                                      "--ports-map", "ports.map", "--port",    "Com1"};
        args.insert(args.end(), extra.begin(), extra.end());
        Sim = std::make_unique<TSimProcess>(Dir->Path(), args);
        QVERIFY(Sim->Started());
        Form = std::make_unique<TMainForm>(TMainForm::TStartOptions{});
        QCOMPARE(Recorder->Boxes.size(), size_t(1));
        QCOMPARE(Recorder->Boxes[0].Text, QStringLiteral("Connect OK!"));
        const int at = Form->ComboBox2->findText(QString::fromStdString(model));
        Form->ComboBox2->setCurrentIndex(at);
        emit Form->ComboBox2->activated(at);
    }

    static bool RunToOk(TOperationForm& d, const char* ok = "Button1") {
        d.show();
        return QTest::qWaitFor([&] { return d.Button(ok)->isEnabled() && !d.WorkerRunning(); },
                               30000);
    }

    static QString Text(TOperationForm& d, const char* line) {
        return d.Line(QString::fromLatin1(line))->text();
    }

    static bool Red(TOperationForm& d, const char* line) {
        return d.Line(QString::fromLatin1(line))->palette().color(QPalette::WindowText) ==
               QColor(255, 0, 0);
    }

    // Answers the next modal operation dialog: once its worker is done and
    // its first button is enabled, keeps every line's text in Pending and
    // presses it.
    void AnswerNextDialog() {
        auto lines = std::make_shared<std::map<QString, QString>>();
        QTimer::singleShot(0, Form.get(), [lines] {
            auto* d = qobject_cast<TOperationForm*>(QApplication::activeModalWidget());
            QVERIFY(d);
            auto finish = [d, lines] {
                QPushButton* ok = d->findChildren<QPushButton*>().value(0);
                if (!ok || !ok->isEnabled() || d->WorkerRunning() || !lines->empty()) return;
                for (QLabel* l : d->findChildren<QLabel*>())
                    (*lines)[l->objectName()] = l->text();
                ok->click();
            };
            connect(d, &TOperationForm::UpdatesRendered, d, finish);
            // The worker may end after the last drain: look again now and then.
            auto* poll = new QTimer(d);
            connect(poll, &QTimer::timeout, d, finish);
            poll->start(50);
        });
        Pending = lines;
    }
    std::shared_ptr<std::map<QString, QString>> Pending;

    void FillPattern() {
        auto& b = Form->Ws().Buffers;
        for (int w = 0; w < Form->Ws().Device.WordCount(); ++w)
            orvan::SetWord(b.ProgramBuffer.data(), w, unsigned(w * 37 + 5) & 0x3FFF);
    }

  private slots:
    void init() {
        Dir = std::make_unique<TTempDir>();
        OldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(Dir->Path())));
        Recorder = std::make_unique<TBoxRecorder>();
    }
    void cleanup() {
        Form.reset();
        Sim.reset();
        Recorder.reset();
        QDir::setCurrent(OldDir);
        Dir.reset();
    }

    void blankCheckOfABlankChip() {
        Start("OV128");
        TBlankCheckForm d(Form->Ws(), Form->Link());
        QVERIFY(RunToOk(d));
        QCOMPARE(Text(d, "StaticText1"), QStringLiteral("Blank Check"));
        QCOMPARE(Text(d, "Label2"), QStringLiteral("OPTION ....... OK"));
        QCOMPARE(Text(d, "Label3"), QStringLiteral("ID Checksum ......... OK."));
        QCOMPARE(Text(d, "Label4"), QStringLiteral("Data ......... OK."));
        QVERIFY(d.Line("Label1")->isHidden());
    }

    void emptySocketEndsInARedLine() {
        Start("OV128");
        WriteFile(Dir->File("control"), "empty-socket\n");
        Form->Ws().EraseFirst = true;
        TBlankCheckForm d(Form->Ws(), Form->Link());
        QVERIFY(RunToOk(d));
        QCOMPARE(Text(d, "StaticText1"), QStringLiteral("Erase Flash Memory"));
        QCOMPARE(Text(d, "Label1"), QStringLiteral("Nothing in socket or type error!!"));
        QVERIFY(Red(d, "Label1"));
        QCOMPARE(Text(d, "Label2"), QString());
    }

    // A slow writer: the dialog is closed while the ID area is on its way.
    // Closing returns once the worker stopped; the next run, with the
    // writer fast again, passes every area.
    void closedInTheMiddleThenASuccessfulRun() {
        Start("OV128");
        WriteFile(Dir->File("control"), "delay 300\n");
        {
            TBlankCheckForm d(Form->Ws(), Form->Link());
            d.show();
            QVERIFY(QTest::qWaitFor([&] { return !Text(d, "Label2").isEmpty(); }, 30000));
            QCOMPARE(Text(d, "Label2"), QStringLiteral("OPTION ....... OK"));
            QVERIFY(d.WorkerRunning());
            QVERIFY(!d.Button("Button1")->isEnabled());
            // The window manager's close and Escape are refused while OK is off.
            QVERIFY(!d.close());
            QTest::keyClick(&d, Qt::Key_Escape);
            QVERIFY(d.isVisible());
            d.done(QDialog::Rejected);
            QVERIFY(!d.WorkerRunning());
            QVERIFY(!d.isVisible());
        }
        WriteFile(Dir->File("control"), "# fast again\n");
        TBlankCheckForm d(Form->Ws(), Form->Link());
        QVERIFY(RunToOk(d));
        QCOMPARE(Text(d, "Label2"), QStringLiteral("OPTION ....... OK"));
        QCOMPARE(Text(d, "Label3"), QStringLiteral("ID Checksum ......... OK."));
        QCOMPARE(Text(d, "Label4"), QStringLiteral("Data ......... OK."));
        QVERIFY(!Red(d, "Label4"));
    }

    // Program, verify and read back through the main window's commands; the
    // read rebuilds the windows and brings back what was programmed.
    void programVerifyReadThroughTheMainWindow() {
        Start("OV128");
        FillPattern();
        const auto image = Form->Ws().Buffers.ProgramBuffer;
        Form->ProgramMemory1Click(); // the memory window, to see it rebuilt
        Form->Ws().LoadedFileName = "demo.hex";

        AnswerNextDialog();
        Form->ProgramMemory2Click();
        QCOMPARE((*Pending)["Label1"], QStringLiteral("Program Ok!!"));
        QCOMPARE((*Pending)["Label2"], QStringLiteral("Data verify OK!!"));

        AnswerNextDialog();
        Form->Veryfy1Click();
        QCOMPARE((*Pending)["StaticText1"], QStringLiteral("Verify"));
        QCOMPARE((*Pending)["Label2"], QStringLiteral("OPTION verify OK!!"));
        QCOMPARE((*Pending)["Label5"], QStringLiteral("Data verify OK!!"));

        Form->ClearBuffer1Click();
        QVERIFY(Form->Ws().Buffers.ProgramBuffer != image);
        Form->Ws().LoadedFileName = "demo.hex";
        AnswerNextDialog();
        Form->ToolButton7Click();
        QCOMPARE((*Pending)["Label3"], QStringLiteral("Read Data OK"));
        QVERIFY(Form->Ws().ReadDone);
        QVERIFY(Form->Ws().RefreshPending);
        const int n = Form->Ws().Device.ICMemBytes;
        QVERIFY(
            std::equal(image.begin(), image.begin() + n, Form->Ws().Buffers.ProgramBuffer.begin()));
        QVERIFY(Form->MemoryWindowOpen());
        QCOMPARE(Form->MemoryWindow()->windowTitle(), QStringLiteral("Program Memory"));
        QVERIFY(Form->Ws().LoadedFileName.empty());
        QVERIFY(Form->IDFormOpen());
        QVERIFY(Form->EEFormOpen()); // OV128 has an EEPROM
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // A slow writer: Program Memory is closed while the program bytes are
    // on their way; the same image programmed again afterwards passes.
    void programClosedMidTransferThenProgrammedAgain() {
        Start("OV128");
        FillPattern();
        WriteFile(Dir->File("control"), "delay 3\n");
        {
            TProgramMemoryForm d(Form->Ws(), Form->Link());
            d.show();
            QVERIFY(QTest::qWaitFor([&] { return Text(d, "Label2") == "0020"; }, 30000));
            QVERIFY(d.WorkerRunning());
            QElapsedTimer clock;
            clock.start();
            d.done(QDialog::Rejected);
            qInfo("Program Memory closed mid-transfer: worker stopped and joined in %lld ms",
                  static_cast<long long>(clock.elapsed()));
            QVERIFY(!d.WorkerRunning());
        }
        WriteFile(Dir->File("control"), "# fast again\n");
        TProgramMemoryForm d(Form->Ws(), Form->Link());
        QVERIFY(RunToOk(d));
        QCOMPARE(Text(d, "Label1"), QStringLiteral("Program Ok!!"));
        QCOMPARE(Text(d, "Label2"), QStringLiteral("Data verify OK!!"));
    }

    // Force write through its hidden tool button: the first run starts by
    // itself, Continue programs the next chip, each run advances the pass
    // counter, Exit closes and the panel shows the count.
    void forceWriteCountsEachRun() {
        Start("OV128");
        FillPattern();
        QStringList runs;
        QTimer::singleShot(0, Form.get(), [&runs] {
            auto* d = qobject_cast<TForceWriteForm*>(QApplication::activeModalWidget());
            QVERIFY(d);
            auto* poll = new QTimer(d);
            connect(poll, &QTimer::timeout, d, [d, &runs] {
                if (d->WorkerRunning() || !d->Button("Button2")->isEnabled()) return;
                runs << d->Line("Label1")->text() + "|" + d->Line("Label2")->text();
                if (runs.size() < 2)
                    d->Button("Button2")->click();
                else
                    d->Button("Button1")->click();
            });
            poll->start(20);
        });
        Form->ToolButton23Click();
        QCOMPARE(runs, QStringList({"Program memory Ok!!|Data verify OK!!",
                                    "Program memory Ok!!|Data verify OK!!"}));
        QCOMPARE(Form->Ws().Panel.PassCount, std::string("2"));
        QCOMPARE(Form->Label13->text(), QStringLiteral("2"));
    }
};

QTEST_MAIN(OperationSimTest)
#include "OperationSimTest.moc"
