// The operation dialogs of the application against the real writer-sim over
// a pseudo-terminal: whole runs, and a dialog closed in the middle of a
// transfer followed by a run that succeeds.
#include "app/MainForm.h"
#include "app/tests/TestSupport.h"
#include "ops/Bcform.h"
#include "sim/tests/SimProcess.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

using orvan::sim::test::TSimProcess;
using orvan::sim::test::TTempDir;
using orvan::sim::test::WriteFile;

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
};

QTEST_MAIN(OperationSimTest)
#include "OperationSimTest.moc"
