// A production run from the desktop application against the real writer-sim:
// the operator opens the data file, sets pseudo-random serial numbers, starts
// Auto Program and presses "Continue" after every chip. The chips it leaves
// must be the ones `orvan-cli auto` programs with the same settings.
#include "app/MainForm.h"
#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"
#include "production/Autopform.h"
#include "production/Serialnosetform.h"
#include "sim/SimChip.h"
#include "testlib/BoxRecorder.h"
#include "testlib/Files.h"
#include "testlib/ProgramImage.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <set>

using orvan::test::TSimProcess;
using orvan::test::TTempDir;
using orvan::test::WriteFile;

namespace {

constexpr int Chips = 20;
constexpr const char* Model = "OV128";

// A program of the model's size with two RTIW words at 0010h, as BIN.
std::string ProgramBin() {
    return orvan::test::RtiwProgramBin(Model, 0x10, 2, 0x0100, 37);
}

std::vector<std::string> SimArgs() {
    return {"--model", Model, "--fresh-chip", "--image", "chip.img", "--ports-map", "ports.map"};
}

// The used chips chip.img.1 .. chip.img.N in `dir`, as text.
std::vector<std::string> UsedChips(const TTempDir& dir) {
    std::vector<std::string> chips;
    for (int k = 1;; ++k) {
        orvan::sim::TSimChip chip;
        std::string error;
        if (!chip.Load(dir.File("chip.img." + std::to_string(k)), error)) break;
        chips.push_back(chip.ToText());
    }
    return chips;
}

} // namespace

class ProductionSimTest : public QObject {
    Q_OBJECT

  private slots:
    void autoProgramDialogGivesTheChipsOfTheCommandLine() {
        const std::string program = ProgramBin();

        // The command line's run.
        TTempDir cliDir;
        WriteFile(cliDir.File("prog.bin"), program);
        std::vector<std::string> cliChips;
        {
            TSimProcess sim(cliDir.Path(), SimArgs());
            QVERIFY(sim.Started());
            const auto r =
                orvan::test::Run(cliDir.Path(), ORVAN_CLI,
                                 {"-P", "Com1", "-d", Model, "--option", "3AAA", "auto", "prog.bin",
                                  "--count", std::to_string(Chips), "--random", "--serial-addr",
                                  "0010", "--serial-bytes", "2", "--serial-value", "1234"});
            QVERIFY2(r.Status == 0, r.Out.c_str());
            cliChips = UsedChips(cliDir);
        }
        QCOMPARE(int(cliChips.size()), Chips);
        QCOMPARE(int(std::set<std::string>(cliChips.begin(), cliChips.end()).size()), Chips);

        // The same run from the desktop application.
        TTempDir guiDir;
        WriteFile(guiDir.File("prog.bin"), program);
        const QString oldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(guiDir.Path())));
        TSimProcess sim(guiDir.Path(), SimArgs());
        QVERIFY(sim.Started());
        TBoxRecorder boxes;
        {
            TMainForm form(TMainForm::TStartOptions{});
            QCOMPARE(boxes.Boxes.size(), size_t(1));
            QCOMPARE(boxes.Boxes[0].Text, QStringLiteral("Connect OK!"));
            const int at = form.ComboBox2->findText(QString::fromLatin1(Model));
            form.ComboBox2->setCurrentIndex(at);
            emit form.ComboBox2->activated(at);

            QTimer::singleShot(0, [&] {
                auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(d);
                d->selectFile(QString::fromStdString(guiDir.File("prog.bin")));
                static_cast<QDialog*>(d)->accept();
            });
            form.FileOpen1Execute();
            orvan::WordToPair(0x3AAA, form.Ws().Buffers.OptionLo, form.Ws().Buffers.OptionHi);
            form.Ws().RefreshData(); // as the OPTION editor's OK does
            form.Ws().CalChecksum();

            QTimer::singleShot(0, [] {
                auto* d = qobject_cast<TSerialNoSetupForm*>(QApplication::activeModalWidget());
                QVERIFY(d);
                // Each field as typed and left, as its exit check runs.
                d->StartAddress->setText(QStringLiteral("0010"));
                d->StartAddressExit();
                d->NoOfByte->setText(QStringLiteral("2"));
                d->NoOfByteExit();
                d->RadioGroup1->button(1)->click(); // Pseudo-random
                d->StartValue->setText(QStringLiteral("1234"));
                d->StartValueExit();
                d->BitBtn1Click();
            });
            form.SerialNoMode1Click();
            QVERIFY(form.Ws().Serial.SerialModeOn);

            // Presses "Continue" after each chip, "Exit" after the last.
            int done = 0;
            QTimer driver;
            QObject::connect(&driver, &QTimer::timeout, [&] {
                auto* d = qobject_cast<TAutoProgramForm*>(QApplication::activeModalWidget());
                if (!d || !d->Button("Button2")->isEnabled()) return;
                if (++done < Chips)
                    d->Button("Button2")->click();
                else
                    d->Button("Button1")->click();
            });
            driver.start(10);
            form.AutoProgram1Click();
            driver.stop();
            QCOMPARE(done, Chips);
            QCOMPARE(form.Ws().Panel.PassCount, std::to_string(Chips));
        }
        QDir::setCurrent(oldDir);
        QCOMPARE(int(boxes.Boxes.size()), 1); // no message beyond "Connect OK!"

        const std::vector<std::string> guiChips = UsedChips(guiDir);
        QCOMPARE(int(guiChips.size()), Chips);
        for (int k = 0; k < Chips; ++k)
            QVERIFY2(guiChips[size_t(k)] == cliChips[size_t(k)],
                     qPrintable(QStringLiteral("chip %1 differs").arg(k + 1)));
    }
};

QTEST_MAIN(ProductionSimTest)
#include "ProductionSimTest.moc"
