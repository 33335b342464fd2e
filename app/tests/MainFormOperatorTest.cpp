// The main window as an operator meets it: re-picking a selector, the
// keyboard after a Fill Buffer error, where message boxes appear and how
// wide they are, the reset-address question's buttons, Cascade and the
// scrolling window area, and the device list's length. Boxes here are the
// real ones, answered from a timer.
#include "app/MainForm.h"
#include "app/MessageBoxes.h"
#include "buffer/Fillbuffer.h"
#include "buffer/Mdichild.h"
#include "testlib/BoxRecorder.h"
#include "testlib/GuiBench.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using orvan::GetWord;
using orvan::SetWord;

namespace {

using orvan::test::NewForm;

// Runs `inspect` on the next message box once it is on screen, then clicks
// the button `answer` names, or closes the box as its title bar would.
void OnNextBox(std::function<void(QMessageBox&)> inspect, const QString& answer = {}) {
    QTimer::singleShot(0, [inspect = std::move(inspect), answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QFAIL("no message box");
            return;
        }
        inspect(*box);
        for (QAbstractButton* b : box->buttons()) {
            if (!answer.isEmpty() && b->text().remove(QLatin1Char('&')) == answer) {
                b->click();
                return;
            }
        }
        box->close();
    });
}

QPoint Centre(const QRect& r) {
    return r.center();
}

// The box's caption needs its text and the title bar's icon and buttons.
int CaptionNeed(const QMessageBox& box) {
    QFont bold = box.font();
    bold.setBold(true);
    const int bar = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    return QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + 4 * bar;
}

} // namespace

class MainFormOperatorTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString OldDir;

    static void Pick(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

  private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        OldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(Dir.path()));
        orvan::test::MapPortsNowhere();
    }
    void cleanupTestCase() { QDir::setCurrent(OldDir); }
    void init() { QFile::remove(QStringLiteral("Default.cfg")); }

    void rePickingTheSelectionChangesNothing() {
        TBoxRecorder recorder;
        auto form = NewForm();
        form->show();
        orvan::TWorkspace& ws = form->Ws();

        // The device already selected: the edited buffer stays.
        Pick(form->ComboBox2, form->ComboBox2->findText(QStringLiteral("OV117")));
        SetWord(ws.Buffers.ProgramBuffer.data(), 4, 0x0123);
        ws.Serial.SerialModeOn = true;
        Pick(form->ComboBox2, form->ComboBox2->currentIndex());
        QCOMPARE(GetWord(ws.Buffers.ProgramBuffer.data(), 4), 0x0123u);
        QVERIFY(ws.Serial.SerialModeOn);
        Pick(form->ComboBox2, form->ComboBox2->findText(QStringLiteral("OV118")));
        QCOMPARE(GetWord(ws.Buffers.ProgramBuffer.data(), 4), 0x3FFFu);

        // Port and handshake: a new choice re-opens the port (and reports
        // that it cannot), the same choice again does nothing.
        Pick(form->ComboBox1, 2);
        QCOMPARE(recorder.Boxes.size(), size_t(1));
        QVERIFY(recorder.Boxes[0].Text.startsWith(QStringLiteral("Open  COM3 Port Error!!")));
        Pick(form->ComboBox1, 2);
        QCOMPARE(recorder.Boxes.size(), size_t(1));
        Pick(form->HandShake, 1);
        QCOMPARE(recorder.Boxes.size(), size_t(2));
        Pick(form->HandShake, 1);
        QCOMPARE(recorder.Boxes.size(), size_t(2));
        Pick(form->HandShake, 2);
        QCOMPARE(recorder.Boxes.size(), size_t(3));
        Pick(form->ComboBox1, 0);
        QCOMPARE(recorder.Boxes.size(), size_t(4));
        QCOMPARE(ws.PortIndex, 0);
    }

    void keyboardWorksAfterAFillBufferError() {
        auto form = NewForm();
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QString shown;
        QTimer::singleShot(0, form.get(), [&shown] {
            auto* dialog = qobject_cast<TFillBufferForm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->StartAddr->setText(QStringLiteral("FFFF"));
            OnNextBox([&shown](QMessageBox& box) { shown = box.text(); });
            dialog->Button1->click();
        });
        form->FillBuffer1Click();
        QCOMPARE(shown, QStringLiteral("Start address is a invalid value!"));
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(form.get()));

        // F5 reaches the blank check, which stops at the port error while
        // the port is failed; Ctrl+F opens the Fill Buffer dialog again.
        form->Link().PortFailed = true;
        QString portError;
        OnNextBox([&portError](QMessageBox& box) { portError = box.text(); });
        QTest::keyClick(form.get(), Qt::Key_F5);
        QVERIFY2(portError.startsWith(QStringLiteral("Open  COM1 Port Error!!")),
                 qPrintable(portError));
        bool fillOpened = false;
        QTimer::singleShot(0, form.get(), [&fillOpened] {
            auto* dialog = qobject_cast<TFillBufferForm*>(QApplication::activeModalWidget());
            fillOpened = dialog != nullptr;
            if (dialog) dialog->reject();
        });
        QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(fillOpened);
    }

    void messageBoxesAreCentredAndFitTheirCaption() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        auto check = [](QWidget* parent, const QPoint& centre, const char* what) {
            bool seen = false;
            OnNextBox([&](QMessageBox& box) {
                seen = true;
                QVERIFY2((Centre(box.geometry()) - centre).manhattanLength() <= 4, what);
                // A desktop lays the box out again after it shows.
                QEvent relayout(QEvent::LayoutRequest);
                QCoreApplication::sendEvent(&box, &relayout);
                QVERIFY2(box.width() >= CaptionNeed(box), what);
            });
            ShowPlainMessage(parent, QStringLiteral("Connect OK!"));
            QVERIFY2(seen, what);
        };
        // Before any window ("Process is running!").
        check(nullptr, screen.center(), "no parent");
        // At start-up the main window exists but is not shown yet.
        auto form = NewForm();
        form->setGeometry(10, 40, 300, 200);
        check(form.get(), screen.center(), "hidden main window");
        // Once it shows, on the main window.
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        check(form.get(), Centre(form->geometry()), "main window");
    }

    void resetAddressQuestionOffersAbortThenIgnore() {
        for (const QString& answer : {QStringLiteral("Abort"), QStringLiteral("Ignore")}) {
            int abortX = -1, ignoreX = -1;
            OnNextBox(
                [&](QMessageBox& box) {
                    for (QAbstractButton* b : box.buttons()) {
                        const QString text = b->text().remove(QLatin1Char('&'));
                        const int x = b->mapTo(&box, QPoint()).x();
                        if (text == QStringLiteral("Abort")) abortX = x;
                        if (text == QStringLiteral("Ignore")) ignoreX = x;
                    }
                    QCOMPARE(box.buttons().size(), 2);
                    QCOMPARE(box.defaultButton()->text().remove(QLatin1Char('&')),
                             QStringLiteral("Abort"));
                },
                answer);
            const bool goOn =
                AskAbortIgnore(nullptr, QStringLiteral("Reset address (01FFh) is blank!!"));
            QCOMPARE(goOn, answer == QStringLiteral("Ignore"));
            QVERIFY(abortX >= 0 && ignoreX >= 0);
            QVERIFY(abortX < ignoreX);
        }
        // Closing the box is Abort.
        OnNextBox([](QMessageBox&) {});
        QVERIFY(!AskAbortIgnore(nullptr, QStringLiteral("Reset address (0000h) is blank!!")));
    }

    void cascadeKeepsDefaultSizesAndTheAreaScrolls() {
        auto form = NewForm();
        form->resize(800, 628);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const auto children = form->MdiArea->subWindowList();
        QCOMPARE(children.size(), 2);
        QHash<QMdiSubWindow*, QSize> defaults;
        for (QMdiSubWindow* w : children)
            defaults.insert(w, w->size());
        for (QMdiSubWindow* w : children)
            w->resize(120, 80); // shrunk by hand first
        form->WindowCascade1Execute();
        for (QMdiSubWindow* w : children) {
            QVERIFY2(w->width() >= defaults[w].width() && w->height() >= defaults[w].height(),
                     qPrintable(w->windowTitle()));
        }
        QVERIFY(children[0]->pos() != children[1]->pos());

        // A child reaching under the status panel can be scrolled into view.
        TMDIChild* memory = form->MemoryWindow();
        QVERIFY(memory);
        const int areaWidth = form->MdiArea->viewport()->width();
        memory->move(areaWidth - memory->width() / 2, 0);
        QTRY_VERIFY(form->MdiArea->horizontalScrollBar()->isVisible());
        QVERIFY(form->MdiArea->horizontalScrollBar()->maximum() > 0);
        memory->move(0, form->MdiArea->viewport()->height() - 40);
        QTRY_VERIFY(form->MdiArea->verticalScrollBar()->isVisible());
    }

    // At start the area is narrower than the ID window (the main window is
    // maximised afterwards): every child's corner stays in view.
    void theAreaOpensUnscrolled() {
        auto form = NewForm();
        form->resize(800, 628);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        for (QMdiSubWindow* w : form->MdiArea->subWindowList())
            QVERIFY2(w->x() >= 0 && w->y() >= 0, qPrintable(w->windowTitle()));
        QCOMPARE(form->MdiArea->horizontalScrollBar()->value(),
                 form->MdiArea->horizontalScrollBar()->minimum());
    }

    void deviceListShows28EntriesAndScrolls() {
        auto form = NewForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QComboBox* list = form->ComboBox2;
        list->showPopup();
        QAbstractItemView* view = list->view();
        QTRY_VERIFY(view->isVisible());
        const int rowHeight = view->visualRect(list->model()->index(0, 0)).height();
        QVERIFY(rowHeight > 0);
        const int rows = view->viewport()->height() / rowHeight;
        QCOMPARE(rows, 28);
        QVERIFY(view->verticalScrollBar()->isVisible());
        list->hidePopup();
    }
};

QTEST_MAIN(MainFormOperatorTest)
#include "MainFormOperatorTest.moc"
