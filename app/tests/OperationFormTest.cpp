// The operation dialogs and the OPTION editor on the offscreen platform:
// lines, buttons, how the worker's updates are rendered, and the main
// window's entries. No writer is needed here; see OperationSimTest.cpp.
#include "app/MainForm.h"
#include "device/Editoptionform.h"
#include "ops/Bcform.h"
#include "ops/Forcewriteform.h"
#include "ops/Pmemoryform.h"
#include "ops/Poptionform.h"
#include "ops/Programeeform.h"
#include "ops/Rxform.h"
#include "ops/Verifyicform.h"
#include "testlib/BoxRecorder.h"
#include "testlib/GuiBench.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include <memory>
#include <thread>

namespace {

struct TLineExpect {
    const char* Name;
    const char* Text;
    bool Visible;
};

QColor TextColour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

} // namespace

using orvan::test::NewForm;
using orvan::test::SelectDevice;

class OperationFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString OldDir;
    std::unique_ptr<TBoxRecorder> Recorder;

    // Lines top to bottom with their initial text and visibility, then the buttons.
    static void CheckDialog(TOperationForm& d, const QString& caption,
                            const std::vector<TLineExpect>& lines,
                            const std::vector<std::pair<const char*, const char*>>& buttons,
                            bool gauge) {
        QCOMPARE(d.windowTitle(), caption);
        QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
        int lastY = -1;
        d.adjustSize();
        for (const TLineExpect& l : lines) {
            QLabel* label = d.Line(QString::fromLatin1(l.Name));
            QVERIFY2(label, l.Name);
            QCOMPARE(label->text(), QString::fromUtf8(l.Text));
            QCOMPARE(!label->isHidden(), l.Visible);
            QCOMPARE(label->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
            QVERIFY2(label->geometry().y() > lastY, l.Name);
            lastY = label->geometry().y();
        }
        for (const auto& [name, text] : buttons) {
            QPushButton* b = d.Button(QString::fromLatin1(name));
            QVERIFY2(b, name);
            QCOMPARE(b->text(), QString::fromLatin1(text));
            QVERIFY2(!b->isEnabled(), name);
        }
        QCOMPARE(d.Gauge() != nullptr, gauge);
        if (gauge) {
            QCOMPARE(d.Gauge()->minimum(), 0);
            QCOMPARE(d.Gauge()->maximum(), 100);
            QCOMPARE(d.Gauge()->value(), 0);
        }
    }

  private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        OldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(Dir.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(OldDir); }
    void init() { Recorder = std::make_unique<TBoxRecorder>(); }
    void cleanup() { Recorder.reset(); }

    void blankCheckDialogLines() {
        auto form = NewForm();
        TBlankCheckForm d(form->Ws(), form->Link());
        CheckDialog(d, "Blank Check",
                    {{"StaticText1", "Blank Check", true},
                     {"Label1", "", false},
                     {"Label2", "", true},
                     {"Label3", "", true},
                     {"Label4", "", true},
                     {"Label5", "", true}},
                    {{"Button1", "OK"}}, false);
    }

    // Updates sent from another thread arrive on the GUI thread in order:
    // texts, red and default colours, visibility, buttons, the gauge, and
    // commits applied to the workspace between them.
    void updatesRenderInOrderOnTheGuiThread() {
        auto form = NewForm();
        TBlankCheckForm d(form->Ws(), form->Link());
        QSignalSpy rendered(&d, &TOperationForm::UpdatesRendered);
        std::thread::id commitThread;
        QString label2AtCommit;
        std::thread worker([&] {
            orvan::TOpDialog out(d.Sink());
            out.Text("Label2", "first");
            out.Text("Label2", "OPTION program && verify OK!!");
            out.Commit([&](orvan::IOpTarget& target) {
                commitThread = std::this_thread::get_id();
                label2AtCommit = d.Line("Label2")->text();
                dynamic_cast<orvan::TWorkspace&>(target).ReadDone = true;
            });
            out.Fail("Label3", "Writer Error!!");
            out.Fail("Label4", "Connect Timeout!!");
            out.Colour("Label4", orvan::TLineColour::Default);
            out.Visible("Label1", true);
            out.Visible("Label5", false);
            out.Text("CGauge1", "ignored");
            out.Text("NoSuchLine", "ignored");
            out.Enabled("Button1", true);
        });
        worker.join();
        QVERIFY(rendered.wait(5000));
        QCOMPARE(commitThread, std::this_thread::get_id());
        QCOMPARE(label2AtCommit, QStringLiteral("OPTION program & verify OK!!"));
        QVERIFY(form->Ws().ReadDone);
        QCOMPARE(d.Line("Label2")->text(), QStringLiteral("OPTION program & verify OK!!"));
        QCOMPARE(d.Line("Label3")->text(), QStringLiteral("Writer Error!!"));
        QCOMPARE(TextColour(d.Line("Label3")), QColor(255, 0, 0));
        QCOMPARE(TextColour(d.Line("Label4")), TextColour(&d));
        QCOMPARE(TextColour(d.Line("Label2")), TextColour(&d));
        QVERIFY(!d.Line("Label1")->isHidden());
        QVERIFY(d.Line("Label5")->isHidden());
        QVERIFY(d.Button("Button1")->isEnabled());
    }

    void otherDialogLines() {
        auto form = NewForm();
        {
            TReadForm d(form->Ws(), form->Link());
            CheckDialog(d, "Read",
                        {{"StaticText1", "Read", true},
                         {"Label1", "", true},
                         {"Label2", "", true},
                         {"Label3", "", true},
                         {"EEInfo", "", false}},
                        {{"Button1", "OK"}}, true);
            QVERIFY(d.Gauge()->geometry().y() > d.Line("EEInfo")->geometry().y());
        }
        {
            TProgramMemoryForm d(form->Ws(), form->Link());
            CheckDialog(d, "Program Memory",
                        {{"StaticText1", "Program memory", true},
                         {"Label1", "Program.....", true},
                         {"Label2", "0000", true}},
                        {{"Button1", "OK"}}, false);
        }
        {
            TProgramOptionForm d(form->Ws(), form->Link());
            CheckDialog(d, "Program OPTION",
                        {{"StaticText1", "OPTION", true}, {"Label1", "Programming.....", true}},
                        {{"Button1", "OK"}}, false);
            QVERIFY(!d.Line("Label2"));
        }
        {
            TVerifyForm d(form->Ws(), form->Link());
            CheckDialog(d, "Verify",
                        {{"StaticText1", "Verify", true},
                         {"Label2", "Verify ......", true},
                         {"Label4", "", true},
                         {"Label5", "", true},
                         {"EEInfo", "", false},
                         {"Label3", "IC=0000 , Buffer=0000", false}},
                        {{"Button1", "OK"}}, false);
        }
        {
            TProgramEEPROM d(form->Ws(), form->Link());
            CheckDialog(d, "Program EEPROM",
                        {{"StaticText1", "Program EEPROM", true},
                         {"Label1", "Program...", true},
                         {"Label3", "", false},
                         {"Label2", "", false}},
                        {{"ButtonOk", "OK"}}, false);
            QVERIFY(!d.Button("Button1"));
        }
    }

    // Force write starts its first run with the dialog, both buttons off;
    // the worker's lines wait for the event loop. Continue starts the next
    // run; Exit closes.
    void forceWriteRunsWithoutContinue() {
        auto form = NewForm();
        form->Ws().DeviceName = "OV128";
        TForceWriteForm d(form->Ws(), form->Link());
        CheckDialog(d, "Program Memory Without Check",
                    {{"StaticText1", "Program Memory Without Check", true},
                     {"Label1", "", false},
                     {"Label2", "", true},
                     {"Label3", "", false}},
                    {{"Button1", "Exit"}, {"Button2", "Continue"}}, true);
        QVERIFY(d.Gauge()->geometry().y() < d.Line("Label2")->geometry().y());
        // No port is open: the run ends at the writer check.
        QVERIFY(QTest::qWaitFor([&] { return d.Button("Button2")->isEnabled(); }, 20000));
        QVERIFY(d.Button("Button1")->isEnabled());
        QVERIFY(!d.Line("Label1")->isHidden());
        QCOMPARE(TextColour(d.Line("Label1")), QColor(255, 0, 0));
        const QString first = d.Line("Label1")->text();
        QVERIFY2(first.contains("Timeout") || first.contains("Error") || first.contains("error"),
                 qPrintable(first));
        QSignalSpy rendered(&d, &TOperationForm::UpdatesRendered);
        d.Button("Button2")->click();
        QVERIFY(!d.Button("Button1")->isEnabled());
        QVERIFY(!d.Button("Button2")->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return d.Button("Button2")->isEnabled(); }, 20000));
        QVERIFY(rendered.count() > 0);
        QCOMPARE(d.Line("Label1")->text(), first);
        QCOMPARE(form->Ws().Panel.PassCount, std::string("0")); // never reached the read-back
        QSignalSpy finished(&d, &QDialog::finished);
        d.Button("Button1")->click();
        QCOMPARE(finished.count(), 1);
    }

    void gaugeIsBlueAndBounded() {
        auto form = NewForm();
        TReadForm withGauge(form->Ws(), form->Link());
        QProgressBar* g = withGauge.Gauge();
        // The bar is blue; its text reads on the bar and beside it, in a light
        // and in a dark palette (a contrast of at least 4.5 to the ground).
        auto luminance = [](QColor c) {
            auto lin = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
        };
        auto bestContrast = [&](const QImage& img, QColor ground) {
            double best = 1;
            for (int y = 0; y < img.height(); ++y)
                for (int x = img.width() / 4; x < 3 * img.width() / 4; ++x) {
                    const double a = luminance(img.pixelColor(x, y)), b = luminance(ground);
                    best = std::max(best, (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05));
                }
            return best;
        };
        g->resize(300, 24);
        for (const QColor base : {QColor(Qt::white), QColor(30, 30, 30)}) {
            QPalette pal = g->palette();
            pal.setColor(QPalette::Base, base);
            pal.setColor(QPalette::Text, base.lightness() > 128 ? Qt::black : Qt::white);
            g->setPalette(pal);
            g->setValue(100);
            QImage full = g->grab().toImage();
            QCOMPARE(full.pixelColor(3, 12), QColor(0, 0, 255));
            QVERIFY(bestContrast(full, QColor(0, 0, 255)) >= 4.5);
            g->setValue(0);
            QVERIFY(bestContrast(g->grab().toImage(), base) >= 4.5);
        }
        orvan::TOpDialog out(withGauge.Sink());
        out.Gauge(42);
        withGauge.DrainUpdates();
        QCOMPARE(g->value(), 42);
        out.Gauge(250);
        withGauge.DrainUpdates();
        QCOMPARE(g->value(), 100);
        // A dialog without a gauge ignores gauge updates.
        TBlankCheckForm d(form->Ws(), form->Link());
        orvan::TOpDialog(d.Sink()).Gauge(10);
        d.DrainUpdates();
        QVERIFY(!d.Gauge());
    }

    // The real worker with no model selected: one line, the writer is never
    // contacted (the port is not even open), OK enabled. Escape closes only
    // once OK is enabled.
    void unknownModelRunsToItsLine() {
        auto form = NewForm();
        form->Ws().DeviceName.clear();
        TBlankCheckForm d(form->Ws(), form->Link());
        QSignalSpy finished(&d, &QDialog::finished);
        d.reject();
        QCOMPARE(finished.count(), 0);
        d.show();
        QTRY_VERIFY_WITH_TIMEOUT(d.Button("Button1")->isEnabled(), 10000);
        QCOMPARE(d.Line("Label2")->text(), QStringLiteral("Unknow IC Type!!"));
        QCOMPARE(TextColour(d.Line("Label2")), TextColour(&d));
        QCOMPARE(d.Line("Label3")->text(), QString());
        QVERIFY(!d.WorkerRunning());
        d.reject();
        QCOMPARE(finished.count(), 1);
    }

    // Blank Check and Erase through the main window: the flag each sets,
    // and a failed port that stays failed never opens the dialog.
    void mainWindowEntries() {
        auto form = NewForm();
        form->Ws().DeviceName.clear();
        QStringList titles;
        auto answer = [&] {
            QTimer::singleShot(0, form.get(), [&] {
                auto* d = qobject_cast<TBlankCheckForm*>(QApplication::activeModalWidget());
                QVERIFY(d);
                // Once a dialog: updates rendered after the click find it again.
                auto finish = [d, &titles, done = std::make_shared<bool>(false)] {
                    if (*done || !d->Button("Button1")->isEnabled()) return;
                    *done = true;
                    titles << d->Line("StaticText1")->text() + "|" + d->Line("Label2")->text();
                    d->Button("Button1")->click();
                };
                connect(d, &TOperationForm::UpdatesRendered, d, finish);
                finish();
            });
        };
        answer();
        form->EraseClick();
        QVERIFY(form->Ws().EraseFirst);
        answer();
        form->BlankCheckActionExecute();
        QVERIFY(!form->Ws().EraseFirst);
        QCOMPARE(titles,
                 QStringList({"Blank Check|Unknow IC Type!!", "Blank Check|Unknow IC Type!!"}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        // With the port failed and its re-open failing, nothing opens.
        form->Link().PortFailed = true;
        form->ComboBox1->setCurrentIndex(7);
        form->BlankCheckActionExecute();
        QCOMPARE(titles.size(), 2);
        QVERIFY(!Recorder->Boxes.empty());
    }

    // --- OPTION editor ------------------------------------------------------

    void optionEditorListsFollowTheDevice() {
        auto form = NewForm();
        SelectDevice(*form, "OV101");
        TEditOption e(form->Ws());
        e.FormShow();
        QCOMPARE(e.windowTitle(), QStringLiteral("Edit OPTION"));
        QCOMPARE(e.Captions[orvan::ListOsc]->text(), QStringLiteral("Oscillator Type"));
        QCOMPARE(e.Captions[orvan::ListOsc]->objectName(), QStringLiteral("StaticText1"));
        QCOMPARE(e.Lists[orvan::ListPrd]->objectName(), QStringLiteral("ComboBox6"));
        QVERIFY(!e.Lists[orvan::ListPrd]->isEnabled());
        QVERIFY(!e.Captions[orvan::ListPrd]->isEnabled());
        QCOMPARE(e.Lists[orvan::ListOst]->itemText(1), QStringLiteral("150uS"));
        QCOMPARE(e.Lists[orvan::ListSec]->count(), 2);
        QCOMPARE(e.Lists[orvan::ListOsc]->currentText(), QStringLiteral("Blank"));
        QCOMPARE(e.Lists[orvan::ListSec]->currentText(), QStringLiteral("Disable"));
        QVERIFY(e.Help->isReadOnly());
        QCOMPARE(e.Help->toPlainText().split('\n').size(), 11);
        QCOMPARE(e.BitBtn1->text(), QStringLiteral("OK"));
        QCOMPARE(e.BitBtn2->text(), QStringLiteral("Cancel"));

        SelectDevice(*form, "OV128");
        e.FormShow();
        QCOMPARE(e.Lists[orvan::ListSec]->itemText(0), QStringLiteral("Blank"));
        QCOMPARE(e.Captions[orvan::ListPrd]->text(), QStringLiteral("MCLR HI:"));
        QCOMPARE(e.Captions[orvan::ListOst]->text(), QStringLiteral("PUT"));
        QVERIFY(e.Lists[orvan::ListPrd]->isEnabled());
    }

    // OK stores the working copy and the panel follows at the next tick;
    // Cancel after several changes leaves the OPTION word alone.
    void optionEditorOkAndCancel() {
        auto form = NewForm();
        SelectDevice(*form, "OV101");
        auto& b = form->Ws().Buffers;
        const uint8_t lo = b.OptionLo, hi = b.OptionHi;
        {
            TEditOption e(form->Ws());
            e.FormShow();
            e.Lists[orvan::ListOst]->setCurrentIndex(1);
            emit e.Lists[orvan::ListOst]->activated(1);
            e.Lists[orvan::ListWdt]->setCurrentIndex(2);
            emit e.Lists[orvan::ListWdt]->activated(2);
            QVERIFY(e.WorkingLo() != lo || e.WorkingHi() != hi);
            e.reject();
        }
        QCOMPARE(b.OptionLo, lo);
        QCOMPARE(b.OptionHi, hi);
        QVERIFY(!form->Ws().RefreshPending);

        // Through the Edit menu: the modal window, "150uS", OK.
        QTimer::singleShot(0, form.get(), [] {
            auto* e = qobject_cast<TEditOption*>(QApplication::activeModalWidget());
            QVERIFY(e);
            QCOMPARE(e->Lists[orvan::ListOst]->currentText(), QStringLiteral("Blank"));
            e->Lists[orvan::ListOst]->setCurrentIndex(1);
            emit e->Lists[orvan::ListOst]->activated(1);
            e->BitBtn1->click();
        });
        form->EditOPTIONClick();
        QVERIFY(form->Ws().RefreshPending);
        QCOMPARE(form->OptionValues[orvan::RowOst]->text(), QStringLiteral("Blank"));
        form->Timer1Timer();
        QVERIFY(!form->Ws().RefreshPending);
        QCOMPARE(form->OptionValues[orvan::RowOst]->text(), QStringLiteral("150uS"));

        // The next editor opens on the stored choice.
        TEditOption again(form->Ws());
        again.FormShow();
        QCOMPARE(again.Lists[orvan::ListOst]->currentText(), QStringLiteral("150uS"));
    }

    void optionEditorBlankPedOnOV128() {
        auto form = NewForm();
        SelectDevice(*form, "OV128");
        form->Ws().Buffers.OptionLo = 0;
        form->Ws().Buffers.OptionHi = 0;
        TEditOption e(form->Ws());
        e.FormShow();
        e.Lists[orvan::ListPed]->setCurrentIndex(0);
        emit e.Lists[orvan::ListPed]->activated(0);
        e.BitBtn1Click();
        QCOMPARE(form->Ws().Buffers.OptionLo & 0x40, 0x40); // bit 6
        QCOMPARE(form->Ws().Buffers.OptionHi & 0x01, 0x01); // bit 7
        form->Timer1Timer();
        QCOMPARE(form->OptionValues[orvan::RowPed]->text(), QStringLiteral("Blank"));
    }
};

QTEST_MAIN(OperationFormTest)
#include "OperationFormTest.moc"
