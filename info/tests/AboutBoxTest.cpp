// The about box and the version history window, the about box against the
// real writer-sim over a pseudo-terminal: the firmware text of a universal
// writer, "Unknown" from the other types, the earlier text kept when the
// writer is gone or was not asked.
#include "info/AboutBox.h"
#include "app/MainForm.h"
#include "info/AboutInfo.h"
#include "info/VersionInfo.h"
#include "testlib/BoxRecorder.h"
#include "testlib/Files.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <memory>

using orvan::test::TSimProcess;
using orvan::test::TTempDir;
using orvan::test::WriteFile;

class AboutBoxTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTempDir> Dir;
    std::unique_ptr<TSimProcess> Sim1, Sim2;
    std::unique_ptr<TBoxRecorder> Recorder;
    QString OldDir;

    // writer-sim on Com1 (and, when given, a second one on Com2).
    void StartSims(const std::vector<std::string>& com1,
                   const std::vector<std::string>& com2 = {}) {
        Sim1 = std::make_unique<TSimProcess>(Dir->Path(), com1);
        QVERIFY(Sim1->Started());
        std::string map = "Com1 " + Sim1->Slave() + " nocts\n";
        if (!com2.empty()) {
            Sim2 = std::make_unique<TSimProcess>(Dir->Path(), com2);
            QVERIFY(Sim2->Started());
            map += "Com2 " + Sim2->Slave() + " nocts\n";
        }
        WriteFile(Dir->File("ports.map"), map);
    }

    // The main window, connected to Com1 at start-up as the application is.
    std::unique_ptr<TMainForm> StartForm() {
        auto form = std::make_unique<TMainForm>(TMainForm::TStartOptions{});
        [&] { QCOMPARE(Texts(), QStringList{"Connect OK!"}); }();
        Recorder->Boxes.clear();
        return form;
    }

    QString OpenAbout(TMainForm& form) {
        TAboutBox box(form.windowTitle(), form.Ws(), form.Link(), &form);
        return box.WriterID->text();
    }

    QStringList Texts() const { return Recorder->Texts(); }

  private slots:
    void init() {
        Dir = std::make_unique<TTempDir>();
        OldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(Dir->Path())));
        Recorder = std::make_unique<TBoxRecorder>();
    }
    void cleanup() {
        Sim1.reset();
        Sim2.reset();
        Recorder.reset();
        QDir::setCurrent(OldDir);
        Dir.reset();
    }

    void universalWriterGivesItsFirmwareText() {
        StartSims({"--type", "universal", "--firmware", "UNIV-SIM 2.07"});
        auto form = StartForm();
        TAboutBox box(form->windowTitle(), form->Ws(), form->Link(), form.get());
        QCOMPARE(box.WriterID->text(), QStringLiteral("UNIV-SIM 2.0")); // twelve characters
        QCOMPARE(QString::fromStdString(form->Link().WriterId()), QStringLiteral("UNIV-SIM 2.0"));
        QCOMPARE(box.windowTitle(), QStringLiteral("About Orvan Writer"));
        QCOMPARE(box.size(), QSize(295, 415));
        QCOMPARE(box.Label3->text(), QStringLiteral("Version V2.43"));
        QCOMPARE(box.Label8->text(),
                 QString::fromStdString(orvan::MemoryLine(orvan::TotalPhysicalMemory())));
        QVERIFY(box.Label8->text().endsWith(QStringLiteral(" KB")));
        QCOMPARE(box.Label6->text(),
                 QString::fromStdString(orvan::OsLine(orvan::QueryOsVersion())));
        QVERIFY(box.Label6->text().startsWith(QStringLiteral(" (Build ")));
        QCOMPARE(box.Label7->text(), QStringLiteral("Memory Available to Windows :"));
        QCOMPARE(box.StaticText4->text(), QStringLiteral("Writer firmware version :"));
        QCOMPARE(box.Label1->text(), QStringLiteral("Orvan"));
        QCOMPARE(box.Label2->text(), QStringLiteral("Writer"));
        QCOMPARE(box.Label5->text(), QStringLiteral("All Rights Reserved."));
        QCOMPARE(box.Image1->pixmap().size(), QSize(96, 96));
        QCOMPARE(box.Image2->pixmap().size(), QSize(32, 32));
        QCOMPARE(box.OKButton->text(), QStringLiteral("Exit"));
        QVERIFY(Texts().isEmpty()); // no message box, whatever the writer said
    }

    void versionLineFollowsTheCaption() {
        StartSims({"--type", "1"});
        auto form = StartForm();
        form->setWindowTitle(QStringLiteral("Orvan Writer (line 3) V2.43-test"));
        TAboutBox box(form->windowTitle(), form->Ws(), form->Link());
        QCOMPARE(box.Label3->text(), QStringLiteral("Version V2.43-test"));
        // A type 1 writer is not asked.
        QCOMPARE(box.WriterID->text(), QStringLiteral("Unknown"));
    }

    void earlierTextKeptWhenNotAskedOrGone() {
        StartSims({"--type", "universal", "--firmware", "FW-A"},
                  {"--type", "1", "--firmware", "SECRET"});
        auto form = StartForm();
        QCOMPARE(OpenAbout(*form), QStringLiteral("FW-A"));
        // The writer on Com2 is a type 1 writer: not asked, the text stays.
        form->ComboBox1->setCurrentIndex(1);
        form->ComboBox1Change();
        QCOMPARE(Texts(), QStringList{"Connect OK!"});
        QCOMPARE(OpenAbout(*form), QStringLiteral("FW-A"));
        // The writer goes away: still the text of the first opening.
        Sim2->Stop();
        QCOMPARE(OpenAbout(*form), QStringLiteral("FW-A"));
        QCOMPARE(Texts(), QStringList{"Connect OK!"});
    }

    void firmwareReplyCutShortForgetsTheText() {
        StartSims({"--type", "universal", "--firmware", "FW-LONG-TEXT", "--control", "faults"});
        auto form = StartForm();
        QCOMPARE(OpenAbout(*form), QStringLiteral("FW-LONG-TEXT"));
        // Step 0 is the poll, step 1 the request: the reply ends at once.
        WriteFile(Dir->File("faults"), "bad-reply 1:B8\n");
        QCOMPARE(OpenAbout(*form), QStringLiteral("Unknown"));
        QVERIFY(form->Link().WriterId().empty());
    }

    void portThatNeverOpenedShowsUnknown() {
        WriteFile(Dir->File("ports.map"), "Com1 " + Dir->File("no-such-tty") + "\n");
        auto form = std::make_unique<TMainForm>(TMainForm::TStartOptions{});
        QVERIFY(form->Link().PortFailed);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(OpenAbout(*form), QStringLiteral("Unknown"));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(Recorder->Boxes.size(), size_t(1)); // the start-up port error only
    }

    void helpMenuOpensBothWindowsModally() {
        StartSims({"--type", "universal", "--firmware", "V9"});
        auto form = StartForm();
        QString shown;
        int result = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
            if (!box) return;
            shown = box->WriterID->text();
            connect(box, &QDialog::finished, [&](int r) { result = r; });
            box->OKButton->click();
        });
        form->HelpAbout1->trigger();
        QCOMPARE(shown, QStringLiteral("V9"));
        QCOMPARE(result, 1);

        QString caption, notes;
        bool scrolls = false, readOnly = false;
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<TVersionInfo*>(QApplication::activeModalWidget());
            if (!w) return;
            caption = w->windowTitle();
            notes = w->MemoVer->toPlainText();
            readOnly = w->MemoVer->isReadOnly();
            scrolls = w->MemoVer->verticalScrollBar()->maximum() > 0;
            QCOMPARE(w->size(), QSize(454, 525));
            QCOMPARE(w->Button1->text(), QStringLiteral("Exit"));
            w->Button1->click();
        });
        form->VersionInfo1->trigger();
        QCOMPARE(caption, QStringLiteral("VersionInfo"));
        QVERIFY(readOnly);
        QVERIFY(scrolls);
        // The newest version first, then every earlier one back to the first.
        QVERIFY(notes.indexOf(QStringLiteral("V2.43")) < notes.indexOf(QStringLiteral("V2.42")));
        QVERIFY(notes.contains(QStringLiteral("\nV1.00\n")));
        QCOMPARE(notes, TVersionInfo::ReleaseNotes());
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
