// The auto-program dialog on the real writer-sim, driven from the keyboard
// as a line runs it: what Enter does after each way a chip's run ends, and
// production going on over a cable pulled and put back (writer-sim gone and
// started again behind the same port name).
//
// ORVAN_SHOT=DIR saves the dialog after three chips and after the pulled
// cable there (scripts/docs-shots.sh).
#include "production/Autopform.h"
#include "production/Autoprogram.h"
#include "testlib/GuiBench.h"
#include "testlib/ProgramImage.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

using orvan::test::TSimStation;

namespace {

constexpr const char* Model = "OV128";
constexpr int Option = 0x3AAA;
// The cable goes in the middle of a chip's run.
constexpr const char* PullCable = "drop-at 300";
const QString OptionOk = QStringLiteral("OPTION program & verify OK!!");

std::string Program() {
    return orvan::test::RtiwProgramBin(Model, 0x10, 2, 0x0100, 37);
}

QString Text(TAutoProgramForm& d, const char* line) {
    return d.Line(QString::fromLatin1(line))->text();
}

bool Red(TAutoProgramForm& d, const char* line) {
    return d.Line(QString::fromLatin1(line))->palette().color(QPalette::WindowText) ==
           QColor(255, 0, 0);
}

// The run is over: its worker is done and a button is offered.
bool RunOver(TAutoProgramForm& d) {
    return QTest::qWaitFor(
        [&] {
            return !d.WorkerRunning() &&
                   (d.Button("Button1")->isEnabled() || d.Button("Button2")->isEnabled());
        },
        60000);
}

// The operator turns to another window and back: the window system
// activates the dialog again, and the keyboard goes where Qt puts it.
void Reactivate(TAutoProgramForm& d) {
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(&d);
}

// Enter where the keyboard is, as the operator presses it.
void Press(TAutoProgramForm& d, Qt::Key key = Qt::Key_Return) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && d.isAncestorOf(focus) ? focus : &d, key);
}

void Shot(TAutoProgramForm& d, const char* name) {
    if (!qEnvironmentVariableIsSet("ORVAN_SHOT")) return;
    d.layout()->activate(); // the size for the lines as they stand now
    QVERIFY(
        d.grab().save(qEnvironmentVariable("ORVAN_SHOT") + QLatin1Char('/') + QLatin1String(name)));
}

// F8 on the main window; `script` drives the dialog inside its own loop.
// A script that stops half-way leaves the dialog closed all the same.
void AutoProgram(TSimStation& s, const std::function<void(TAutoProgramForm&)>& script) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TAutoProgramForm*>(QApplication::activeModalWidget());
        if (!d) return;
        ran = true;
        script(*d);
        if (d->isVisible()) d->done(QDialog::Rejected);
    });
    QTest::keyClick(s.Form.get(), Qt::Key_F8);
    QVERIFY(ran);
}

} // namespace

class AutoProgramLineTest : public QObject {
    Q_OBJECT

  private slots:
    void enterMeansContinue_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("ending"); // a line of the ended run, as it starts
        QTest::newRow("pass") << Option << QString() << OptionOk;
        QTest::newRow("chip fail")
            << Option << QStringLiteral("empty-socket") << QStringLiteral("Nothing in socket");
        QTest::newRow("fail before the writer")
            << -1 << QString() << QStringLiteral("Some Options are Blank!");
        QTest::newRow("line lost")
            << Option << QString::fromLatin1(PullCable) << QStringLiteral("Line lost: COM1: ");
    }

    void enterMeansContinue() {
        QFETCH(int, option);
        QFETCH(QString, fault);
        QFETCH(QString, ending);
        TSimStation s(Model, Program(), option);
        QVERIFY(s.Form);
        s.Fault(fault.toStdString());
        AutoProgram(s, [&](TAutoProgramForm& d) {
            QVERIFY(RunOver(d));
            QVERIFY(QTest::qWaitFor([&] {
                for (QLabel* l : d.findChildren<QLabel*>())
                    if (l->text().startsWith(ending)) return true;
                return false;
            }));
            QVERIFY(d.Button("Button2")->isEnabled());
            Reactivate(d);
            QSignalSpy next(d.Button("Button2"), &QPushButton::clicked);
            QSignalSpy exit(d.Button("Button1"), &QPushButton::clicked);
            Press(d);
            QCOMPARE(next.count(), 1);
            QCOMPARE(exit.count(), 0);
            QVERIFY(d.isVisible());
            // Escape still leaves once the next run is over.
            QVERIFY(RunOver(d));
            Press(d, Qt::Key_Escape);
            QVERIFY(!d.isVisible());
        });
    }

    void productionGoesOnOverALostLine() {
        TSimStation s(Model, Program(), Option);
        QVERIFY(s.Form);
        AutoProgram(s, [&](TAutoProgramForm& d) {
            for (int chip = 1; chip <= 3; ++chip) {
                if (chip > 1) Press(d);
                QVERIFY(RunOver(d));
                QCOMPARE(Text(d, "Label4"), OptionOk);
            }
            QVERIFY(QTest::qWaitFor(
                [&] { return Text(d, orvan::YieldLineControl).startsWith("This run: 3 passed"); }));
            Shot(d, "auto-program.png");

            // The cable pulled in the middle of the fourth chip: said at
            // once, on the dialog's own line.
            s.Fault(PullCable);
            Press(d);
            QVERIFY(s.SimGone());
            QVERIFY(RunOver(d));
            QVERIFY(QTest::qWaitFor([&] {
                return Text(d, orvan::LinkLineControl)
                    .startsWith(QStringLiteral("Line lost: COM1: the line hung up"));
            }));
            QVERIFY(Red(d, orvan::LinkLineControl));
            Shot(d, "auto-program-line-lost.png");

            // Still out: Continue says why the port does not open, and is
            // offered again.
            Press(d);
            QVERIFY(Text(d, orvan::LinkLineControl)
                        .startsWith(QStringLiteral("Open  COM1 Port Error!!")));
            QVERIFY(Red(d, orvan::LinkLineControl));
            QVERIFY(d.Button("Button2")->isEnabled() && d.isVisible());

            // Back: the next Continue opens the port again and the chip passes.
            s.Reconnect();
            Press(d);
            QVERIFY(RunOver(d));
            QCOMPARE(Text(d, "Label4"), OptionOk);
            QCOMPARE(Text(d, orvan::LinkLineControl), QString());
            QVERIFY(QTest::qWaitFor(
                [&] { return Text(d, orvan::YieldLineControl).startsWith("This run: 4 passed"); }));
            Press(d, Qt::Key_Escape);
        });
        // The dialog said it; the main window does not say it again.
        QCOMPARE(s.Boxes.Texts(), QStringList{QStringLiteral("Connect OK!")});
        QCOMPARE(s.Form->Ws().Panel.PassCount, std::string("4"));
    }
};

QTEST_MAIN(AutoProgramLineTest)
#include "AutoProgramLineTest.moc"
