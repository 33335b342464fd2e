// The disassembly window through the main window: "Disassemble" opens and
// replaces the listing, the window shows the core's lines, and "Save
// Disassmble" writes them through its dialog (or refuses with its message).
#include "disasm/Disform.h"
#include "app/MainForm.h"
#include "disasm/Disassembler.h"
#include "testlib/BoxRecorder.h"
#include "testlib/GuiBench.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using orvan::test::AnswerDialog;
using orvan::test::TSeenDialog;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList CoreLines(orvan::TWorkspace& ws) {
    ws.GetICInfo();
    QStringList out;
    for (const std::string& l :
         orvan::DisassembleLines(ws.Buffers.ProgramBuffer, ws.Device.ICMemBytes))
        out << QString::fromStdString(l);
    return out;
}

} // namespace

class DisformTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    std::unique_ptr<TBoxRecorder> Recorder;

    static std::unique_ptr<TMainForm> NewForm() {
        auto form = orvan::test::NewForm();
        form->show();
        return form;
    }
    static QList<TDisassembleForm*> Listings(TMainForm& form) {
        QList<TDisassembleForm*> list;
        for (QMdiSubWindow* w : form.MdiArea->subWindowList())
            if (auto* d = qobject_cast<TDisassembleForm*>(w)) list << d;
        return list;
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    QStringList Messages() const { return Recorder->Texts(); }

  private slots:
    void init() { Recorder = std::make_unique<TBoxRecorder>(); }
    void cleanup() { Recorder.reset(); }

    void windowShowsTheListingReadOnlyInFixedPitch() {
        auto form = NewForm();
        uint8_t* program = form->Ws().Buffers.ProgramBuffer.data();
        orvan::SetWord(program, 0, 0x3A55);
        orvan::SetWord(program, 7, 0x0D03);
        QVERIFY(!form->DisasmOpen());
        form->Disassemble1Click();
        QVERIFY(form->DisasmOpen());
        QVERIFY(form->FileSaveAsItem->isEnabled());
        const auto listings = Listings(*form);
        QCOMPARE(listings.size(), 1);
        TDisassembleForm* d = listings.first();
        QCOMPARE(d->windowTitle(), QStringLiteral("Disassembly"));
        QCOMPARE(d->Lines(), CoreLines(form->Ws()));
        QVERIFY(
            d->Lines().contains(QStringLiteral("        BTSS    STATUS,ZF       ;0007    0D03")));
        QVERIFY(d->Memo1->isReadOnly());
        QCOMPARE(d->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(d->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(d->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // The columns line up: narrow and wide letters take the same width.
        const QFontMetrics metrics(d->Memo1->font());
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')),
                 metrics.horizontalAdvance(QLatin1Char('W')));
        QCOMPARE(d->size(), QSize(545, 480));
    }

    void disassembleAgainReplacesTheFrozenListing() {
        auto form = NewForm();
        form->Ws().LoadedFileName = "/work/demo.hex";
        uint8_t* program = form->Ws().Buffers.ProgramBuffer.data();
        orvan::SetWord(program, 0, 0x1004);
        form->Disassemble1Click();
        QPointer<TDisassembleForm> first = Listings(*form).value(0);
        QVERIFY(first);
        QCOMPARE(first->windowTitle(), QStringLiteral("/work/demo.hex"));
        // A later edit does not reach the open listing...
        orvan::SetWord(program, 0, 0x3A01);
        QVERIFY(first->Lines().contains(
            QStringLiteral("        RET                     ;0000    1004")));
        // ...until Disassemble replaces the window.
        form->Disassemble1Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        const auto listings = Listings(*form);
        QCOMPARE(listings.size(), 1);
        QVERIFY(listings.first()->Lines().contains(
            QStringLiteral("        LDWI    001H            ;0000    3A01")));

        // Closing the window clears the flag; the timer then disables the save command.
        listings.first()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!form->DisasmOpen());
        form->Timer1Timer();
        QVERIFY(!form->FileSaveAsItem->isEnabled());
    }

    void saveWritesTheWindowsLinesWithCrLf() {
        auto form = NewForm();
        form->Ws().LoadedFileName = Path(QStringLiteral("demo.v2.hex")).toStdString();
        uint8_t* program = form->Ws().Buffers.ProgramBuffer.data();
        orvan::SetWord(program, 3, 0x2FFF);
        form->Disassemble1Click();
        const QStringList shown = Listings(*form).first()->Lines();
        // The buffer changes after the listing was made: the file holds what is shown.
        orvan::SetWord(program, 3, 0x3FFF);

        TSeenDialog seen;
        const QString out = Path(QStringLiteral("listing.dis"));
        AnswerDialog(&seen, {}, out);
        form->FileSaveAsItemClick();
        QCOMPARE(seen.Title, QStringLiteral("Save disassembly"));
        QCOMPARE(seen.Filters, (QStringList{"Disassemble files (*.dis)", "Text files (*.txt)"}));
        QCOMPARE(seen.Filter, QStringLiteral("Disassemble files (*.dis)"));
        QCOMPARE(seen.Suffix, QStringLiteral("dis"));
        QCOMPARE(seen.Proposed, QStringLiteral("demo"));
        QVERIFY2(Messages().isEmpty(), qPrintable(Messages().join('|')));
        QCOMPARE(ReadFile(out),
                 (shown.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
        QVERIFY(ReadFile(out).contains("        LJUMP   07FFH           ;0003    2FFF\r\n"));

        // Saving again replaces the file.
        orvan::SetWord(program, 3, 0x3FFF);
        form->Disassemble1Click();
        AnswerDialog(&seen, {}, out);
        form->FileSaveAsItemClick();
        QCOMPARE(ReadFile(out), (CoreLines(form->Ws()).join("\r\n") + "\r\n").toLatin1());
    }

    void textFilterAndCancelWriteNothing() {
        auto form = NewForm();
        form->Disassemble1Click();
        const QString existing = Path(QStringLiteral("keep.txt"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("operator's notes");
        }
        TSeenDialog seen;
        AnswerDialog(&seen, QStringLiteral("Text files (*.txt)"), existing);
        form->FileSaveAsItemClick();
        QCOMPARE(Messages(), QStringList{QStringLiteral("File can't be saved!")});
        QCOMPARE(ReadFile(existing), QByteArray("operator's notes"));

        // No file loaded: no name proposed. Cancel: nothing at all.
        Recorder->Boxes.clear();
        seen = {};
        AnswerDialog(&seen, {}, QString());
        form->FileSaveAsItemClick();
        QVERIFY(seen.Shown);
        QCOMPARE(seen.Proposed, QString());
        QVERIFY(Messages().isEmpty());

        // A folder that does not exist: the failure is reported.
        AnswerDialog(&seen, {}, Path(QStringLiteral("missing/out.dis")));
        form->FileSaveAsItemClick();
        QCOMPARE(Messages(), QStringList{QStringLiteral("File can't be saved!")});
    }

    void saveWithoutAListingShowsNoDialog() {
        auto form = NewForm();
        TSeenDialog seen;
        AnswerDialog(&seen, {}, QString());
        form->FileSaveAsItemClick();
        QTest::qWait(20); // let the answer run: there is no dialog for it
        QVERIFY(!seen.Shown);
        QVERIFY(Messages().isEmpty());
    }
};

QTEST_MAIN(DisformTest)
#include "DisformTest.moc"
