// The application's start-up connection and port change against the real
// writer-sim over a pseudo-terminal, each case in a working directory of its
// own with its own ports.map.
#include "app/MainForm.h"
#include "testlib/BoxRecorder.h"
#include "testlib/Files.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <QComboBox>
#include <QDir>
#include <QtTest>

#include <memory>

using orvan::test::TSimProcess;
using orvan::test::TTempDir;
using orvan::test::WriteFile;

class StartupConnectTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTempDir> Dir;
    std::unique_ptr<TSimProcess> Sim;
    std::unique_ptr<TBoxRecorder> Recorder;
    QString OldDir;
    std::vector<QString> Events; // logo closes and boxes, in order

    void StartSim(std::vector<std::string> args, const std::string& port = "Com1") {
        args.insert(args.end(), {"--ports-map", "ports.map", "--port", port});
        Sim = std::make_unique<TSimProcess>(Dir->Path(), args);
        QVERIFY(Sim->Started());
    }

    std::unique_ptr<TMainForm> StartForm() {
        TMainForm::TStartOptions options;
        // Records how many boxes were already up when the picture went away.
        options.CloseLogo = [this] {
            Events.push_back("logo closed after " + QString::number(Recorder->Boxes.size()));
        };
        return std::make_unique<TMainForm>(std::move(options));
    }

    QStringList Texts() const { return Recorder->Texts(); }

  private slots:
    void init() {
        Dir = std::make_unique<TTempDir>();
        OldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(Dir->Path())));
        Recorder = std::make_unique<TBoxRecorder>();
        Events.clear();
    }
    void cleanup() {
        Sim.reset();
        Recorder.reset();
        QDir::setCurrent(OldDir);
        Dir.reset();
    }

    void connectOkAfterThePictureCloses() {
        StartSim({"--type", "universal"});
        auto form = StartForm();
        QCOMPARE(Texts(), QStringList{"Connect OK!"});
        QCOMPARE(Events, std::vector<QString>{"logo closed after 0"});
        QVERIFY(!form->Link().PortFailed);
    }

    void wrongWriterTypeFails() {
        StartSim({"--type", "2"}); // the first model, OV101, needs type 1
        auto form = StartForm();
        QCOMPARE(Texts(), QStringList{"Connect Fail!"});
    }

    void silentWriterTimesOutWithTheUpperCasePortName() {
        StartSim({"--silent"});
        QElapsedTimer clock;
        clock.start();
        auto form = StartForm();
        QCOMPARE(Texts(), QStringList{"Connect COM1 Timeout!!"});
        QVERIFY2(clock.elapsed() >= 1900 && clock.elapsed() < 6000,
                 qPrintable(QString::number(clock.elapsed())));
    }

    void missingPortShowsOnlyThePortError() {
        WriteFile(Dir->File("ports.map"), "Com1 " + Dir->File("no-such-tty") + "\n");
        auto form = StartForm();
        QCOMPARE(Recorder->Boxes.size(), size_t(1));
        QVERIFY2(Texts()[0].startsWith("Open  COM1 Port Error!!"), qPrintable(Texts()[0]));
        QVERIFY(form->Link().PortFailed);
        // The port error comes while the picture is still up.
        QCOMPARE(Events, std::vector<QString>{"logo closed after 1"});
    }

    void portChangeReopensAndPolls() {
        WriteFile(Dir->File("ports.map"), "Com1 " + Dir->File("no-such-tty") + "\n");
        auto form = StartForm();
        QVERIFY(form->Link().PortFailed);
        Recorder->Boxes.clear();
        // A simulator appears on Com2; choosing it is opened and polled.
        StartSim({"--type", "universal"}, "Com2");
        form->ComboBox1->setCurrentIndex(1);
        form->ComboBox1Change();
        QCOMPARE(Texts(), QStringList{"Connect OK!"});
        QVERIFY(!form->Link().PortFailed);
    }

    void pulledCableIsShownOnceAndTheNextCommandReopens() {
        StartSim({"--type", "universal"});
        auto form = StartForm();
        QCOMPARE(Texts(), QStringList{"Connect OK!"});
        Recorder->Boxes.clear();
        Sim.reset(); // the line hangs up
        QTRY_VERIFY(form->Link().PortFailed);
        QVERIFY(!form->Link().Comm1.Enabled());
        form->Timer1Timer();
        form->Timer1Timer();
        QCOMPARE(Recorder->Boxes.size(), size_t(1));
        QVERIFY2(Texts()[0].startsWith("Open  COM1 Port Error!!\n"), qPrintable(Texts()[0]));
        // Plugged back in: a chip command's entry opens the port again.
        StartSim({"--type", "universal"});
        QVERIFY(form->ChipCommandEntry());
        QVERIFY(!form->Link().PortFailed);
        QVERIFY(form->Link().Comm1.Enabled());
        QCOMPARE(Recorder->Boxes.size(), size_t(1));
    }
};

QTEST_MAIN(StartupConnectTest)
#include "StartupConnectTest.moc"
