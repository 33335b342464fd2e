// The single-instance guard: the lock excludes a second holder in this and
// in other processes, and a refused attempt leaves the holder's lock alone.
#include "app/SingleInstance.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    // Exit code of flock(1) trying the lock without waiting: 0 got it, 1 busy.
    static int OtherProcessTries(const QString& path) {
        QProcess p;
        p.start(QStringLiteral("flock"), {QStringLiteral("-n"), path, QStringLiteral("true")});
        if (!p.waitForFinished(10000)) return -1;
        return p.exitCode();
    }

  private slots:
    void secondHolderIsRefused() {
        const std::string path = Dir.filePath(QStringLiteral("a.lock")).toStdString();
        TInstanceLock first;
        QVERIFY(first.Acquire(path));
        {
            TInstanceLock second;
            QVERIFY(!second.Acquire(path));
            QVERIFY(!second.Held());
        }
        // The refused attempt did not disturb the holder.
        QVERIFY(first.Held());
        TInstanceLock third;
        QVERIFY(!third.Acquire(path));
        first.Release();
        QVERIFY(third.Acquire(path));
    }

    void otherProcessesSeeTheLock() {
        if (QStandardPaths::findExecutable(QStringLiteral("flock")).isEmpty())
            QSKIP("flock(1) not installed");
        const QString path = Dir.filePath(QStringLiteral("b.lock"));
        {
            TInstanceLock lock;
            QVERIFY(lock.Acquire(path.toStdString()));
            QCOMPARE(OtherProcessTries(path), 1);
            QCOMPARE(OtherProcessTries(path), 1); // still held after a refusal
        }
        QCOMPARE(OtherProcessTries(path), 0); // released with the holder
    }

    void unusablePathRefuses() {
        TInstanceLock lock;
        QVERIFY(!lock.Acquire(""));
        QVERIFY(!lock.Acquire(Dir.filePath(QStringLiteral("missing/dir/c.lock")).toStdString()));
    }

    // One instance per user and display: a start on another display gets
    // its own lock, a second one on the same display is refused.
    void lockPathFollowsRuntimeDirAndDisplay() {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR"), display = qgetenv("DISPLAY");
        qputenv("XDG_RUNTIME_DIR", Dir.path().toLocal8Bit());
        qputenv("DISPLAY", ":7");
        QCOMPARE(QString::fromStdString(DefaultLockPath()),
                 Dir.filePath(QStringLiteral("orvan-writer-:7.lock")));
        TInstanceLock first, again, other;
        QVERIFY(first.Acquire(DefaultLockPath()));
        QVERIFY(!again.Acquire(DefaultLockPath()));
        qputenv("DISPLAY", "remote/host:10.0");
        QVERIFY(other.Acquire(DefaultLockPath()));
        QCOMPARE(QString::fromStdString(DefaultLockPath()),
                 Dir.filePath(QStringLiteral("orvan-writer-remote_host:10.0.lock")));

        qunsetenv("XDG_RUNTIME_DIR");
        qunsetenv("DISPLAY");
        const std::string fallback = DefaultLockPath();
        const std::string dir = "/tmp/orvan-writer-" + std::to_string(getuid());
        QCOMPARE(fallback, dir + "/orvan-writer.lock");
        struct stat st {};
        QCOMPARE(stat(dir.c_str(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QCOMPARE(st.st_uid, getuid());
        if (!saved.isNull()) qputenv("XDG_RUNTIME_DIR", saved);
        if (!display.isNull()) qputenv("DISPLAY", display);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
