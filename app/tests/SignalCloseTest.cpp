// A termination signal reaches the GUI thread as one call, so the window can
// close the way File > Exit does.
#include "app/SignalClose.h"

#include <QCoreApplication>
#include <QtTest>

#include <csignal>

class SignalCloseTest : public QObject {
    Q_OBJECT

  private slots:
    void eachSignalRunsTheHandlerOnTheGuiThread() {
        int calls = 0;
        Qt::HANDLE thread = nullptr;
        QVERIFY(InstallCloseOnSignal(this, [&] {
            ++calls;
            thread = QThread::currentThreadId();
        }));
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            const int before = calls;
            QVERIFY(::raise(sig) == 0); // the process lives on
            QTRY_COMPARE_WITH_TIMEOUT(calls, before + 1, 2000);
        }
        QCOMPARE(thread, QThread::currentThreadId());
    }
};

QTEST_GUILESS_MAIN(SignalCloseTest)
#include "SignalCloseTest.moc"
