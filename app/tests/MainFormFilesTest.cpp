// The main window's file commands through their real dialogs: Open, the
// configuration files, Save Program Memory and Default.cfg at start and exit.
#include "app/MainForm.h"
#include "session/ConfigFile.h"
#include "testlib/BoxRecorder.h"
#include "testlib/GuiBench.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using orvan::GetWord;
using orvan::SetWord;
using orvan::test::AnswerDialog;
using orvan::test::TSeenDialog;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// n words of `word`, little-endian.
QByteArray BinWords(int n, unsigned word) {
    QByteArray b;
    for (int i = 0; i < n; ++i) {
        b.append(char(word & 0xFF));
        b.append(char(word >> 8));
    }
    return b;
}

} // namespace

class MainFormFilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString OldDir;
    std::unique_ptr<TBoxRecorder> Recorder;

    static std::unique_ptr<TMainForm> NewForm() {
        auto form = orvan::test::NewForm();
        form->show();
        return form;
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    QStringList Messages() const { return Recorder->Texts(); }
  private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        OldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(Dir.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(OldDir); }
    void init() {
        QFile::remove(QStringLiteral("Default.cfg"));
        Recorder = std::make_unique<TBoxRecorder>();
    }
    void cleanup() { Recorder.reset(); }

    void openDialogLoadsAndCaptionsTheMemoryWindow() {
        QDir(Dir.path()).mkpath(QStringLiteral("my.project"));
        const QString data = Path(QStringLiteral("my.project/prog.bin"));
        WriteFile(data, BinWords(512, 0x1080));
        auto form = NewForm();
        TSeenDialog seen;
        AnswerDialog(&seen, {}, data);
        form->FileOpen1Execute();
        QCOMPARE(seen.Title, QStringLiteral("Open File"));
        QCOMPARE(seen.Suffix, QStringLiteral("bin"));
        QCOMPARE(seen.Filters,
                 (QStringList{"Orvan bin (*.bin)", "Orvan hex (*.ohx)", "PIC obj (*.obj)",
                              "PIC hex (*.hex)", "Config file (*.cfg)", "All File (*.*)"}));
        QVERIFY2(Messages().isEmpty(), qPrintable(Messages().join('|')));
        QCOMPARE(QString::fromStdString(form->Ws().LoadedFileName), data);
        QCOMPARE(GetWord(form->Ws().Buffers.ProgramBuffer.data(), 511), 0x1080u);
        QVERIFY(form->MemoryWindowOpen());
        bool captioned = false;
        for (QMdiSubWindow* w : form->MdiArea->subWindowList())
            captioned = captioned || w->windowTitle() == data;
        QVERIFY(captioned);
        QCOMPARE(form->Label11->text(), QString::fromStdString(form->Ws().Panel.Checksum));

        // The next dialog suggests the name up to the first "." of the file's name.
        AnswerDialog(&seen, {}, Path(QStringLiteral("missing.bin")));
        form->FileOpen1Execute();
        QCOMPARE(Messages(), QStringList{QStringLiteral("File don't exist!")});
        QCOMPARE(QString::fromStdString(form->Ws().LoadedFileName), data);
    }

    void cancelledOpenStillEndsSerialMode() {
        auto form = NewForm();
        form->Ws().Serial.SerialModeOn = true;
        form->Ws().Panel.SerialMode = "Enable";
        form->Ws().Panel.PassCount = "7";
        TSeenDialog seen;
        AnswerDialog(&seen, {}, QString());
        form->FileOpen1Execute();
        QVERIFY(!form->Ws().Serial.SerialModeOn);
        QCOMPARE(form->Label1->text(), QStringLiteral("Disable"));
        QCOMPARE(form->Label13->text(), QStringLiteral("0"));
    }

    void saveCommandsRefuseTheOtherFilter() {
        auto form = NewForm();
        TSeenDialog seen;
        AnswerDialog(&seen, QStringLiteral("Orvan Bin (*.bin)"), Path(QStringLiteral("a.cfg")));
        form->FileSaveItemClick();
        QCOMPARE(seen.Title, QStringLiteral("Save Configuration"));
        QCOMPARE(seen.Filter, QStringLiteral("Config file (*.cfg)"));
        QCOMPARE(seen.Suffix, QStringLiteral("cfg"));
        QCOMPARE(Messages(), QStringList{QStringLiteral("File can't be saved!")});
        QVERIFY(!QFile::exists(Path(QStringLiteral("a.cfg"))));

        Recorder->Boxes.clear();
        AnswerDialog(&seen, QStringLiteral("Config file (*.cfg)"), Path(QStringLiteral("b.bin")));
        form->SaveProgramMemory1Click();
        QCOMPARE(seen.Title, QStringLiteral("Save program memory buffer"));
        QCOMPARE(seen.Filter, QStringLiteral("Orvan Bin (*.bin)"));
        QCOMPARE(Messages(), QStringList{QStringLiteral("Sorry, file can't be saved!")});

        Recorder->Boxes.clear();
        AnswerDialog(&seen, QStringLiteral("Text files (*.txt)"), Path(QStringLiteral("x.txt")));
        WriteFile(Path(QStringLiteral("x.txt")), "zyl");
        form->LoadConfig1Click();
        QCOMPARE(Messages(), QStringList{QStringLiteral("Can't load file!")});
    }

    void savedFilesLoadBack() {
        auto form = NewForm();
        SetWord(form->Ws().Buffers.ProgramBuffer.data(), 0, 0x2923);
        TSeenDialog seen;
        const QString bin = Path(QStringLiteral("saved.bin"));
        AnswerDialog(&seen, {}, bin);
        form->SaveProgramMemory1Click();
        QVERIFY2(Messages().isEmpty(), qPrintable(Messages().join('|')));
        QCOMPARE(ReadFile(bin).size(), 1024);
        QCOMPARE(ReadFile(bin).left(4), QByteArray("\x23\x29\xFF\x3F", 4));

        form->Ws().LoadedFileName = bin.toStdString();
        form->Ws().Buffers.IDBuffer[0] = 0x11;
        const QString cfg = Path(QStringLiteral("saved.cfg"));
        AnswerDialog(&seen, {}, cfg);
        form->FileSaveItemClick();
        QCOMPARE(ReadFile(cfg),
                 QByteArray(reinterpret_cast<const char*>(orvan::SaveCfg(form->Ws()).data()),
                            int(orvan::SaveCfg(form->Ws()).size())));

        auto other = NewForm();
        AnswerDialog(&seen, {}, cfg);
        other->LoadConfig1Click();
        QVERIFY2(Messages().isEmpty(), qPrintable(Messages().join('|')));
        QCOMPARE(GetWord(other->Ws().Buffers.ProgramBuffer.data(), 0), 0x2923u);
        QCOMPARE(other->Ws().Buffers.IDBuffer[0], uint8_t(0x11));
    }

    void defaultConfigAtExitAndStart() {
        const QString data = Path(QStringLiteral("start.ohx"));
        // A damaged second record: reported when opened, not at start-up.
        WriteFile(data, ":0200000080106E\n:0200020023298F\n:00000001FF\n");
        {
            auto form = NewForm();
            const int at = form->ComboBox2->findText(QStringLiteral("OV128"));
            form->ComboBox2->setCurrentIndex(at);
            emit form->ComboBox2->activated(at);
            TSeenDialog seen;
            AnswerDialog(&seen, {}, data);
            form->FileOpen1Execute();
            QCOMPARE(Messages(), QStringList{QStringLiteral("File data error at line 2 !")});
            form->Ws().Serial.SerialModeOn = true;
            form->close();
        }
        QVERIFY(QFile::exists(QStringLiteral("Default.cfg")));
        Recorder->Boxes.clear();
        auto form = NewForm();
        QVERIFY2(Messages().isEmpty(), qPrintable(Messages().join('|')));
        QCOMPARE(form->ComboBox2->currentText(), QStringLiteral("OV128"));
        QCOMPARE(GetWord(form->Ws().Buffers.ProgramBuffer.data(), 0), 0x1080u);
        QVERIFY(!form->Ws().Serial.SerialModeOn);
        QCOMPARE(QString::fromStdString(form->Ws().LoadedFileName), data);
        bool captioned = false;
        for (QMdiSubWindow* w : form->MdiArea->subWindowList())
            captioned = captioned || w->windowTitle() == data;
        QVERIFY(captioned);
    }

    void brokenDefaultConfigResetsAndSays() {
        WriteFile(QStringLiteral("Default.cfg"), "zyl\x0F"
                                                 "Com1 OV101 ");
        auto form = NewForm();
        QCOMPARE(Messages(), QStringList{QStringLiteral("No data file name")});
        QCOMPARE(form->ComboBox2->currentText(), QStringLiteral("OV101"));
        QCOMPARE(form->Label11->text(), QStringLiteral("7C00"));
    }
};

QTEST_MAIN(MainFormFilesTest)
#include "MainFormFilesTest.moc"
