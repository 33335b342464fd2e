// The Production Log window over a real SQLite store: newest first,
// failures in red, the day's yield at the top. With ORVAN_SHOT set, its
// picture is saved there as production-log.png.
#include "production/ProductionLogform.h"
#include "production/StoreConfig.h"
#include "testlib/Files.h"
#include "testlib/StoreBench.h"
#include "testlib/TempDir.h"

#include <QLabel>
#include <QTableWidget>
#include <QtTest>

class ProductionLogTest : public QObject {
    Q_OBJECT
  private slots:
    void NewestFirstFailuresRedYieldOnTop();
};

void ProductionLogTest::NewestFirstFailuresRedYieldOnTop() {
    orvan::test::TTempDir dir;
    std::string error;
    auto store = orvan::OpenProductionStore(dir.File("production.db"), error);
    QVERIFY2(store, error.c_str());
    const std::string today = orvan::UtcNow();
    const struct {
        const char* Station;
        const char* Serial;
        bool Pass;
        const char* Failure;
        std::string Utc;
    } runs[] = {{"bench1", "0100", true, "", "2026-01-05T08:00:00Z"},
                {"bench1", "0101", true, "", today},
                {"bench1", "0102", false, "Data verify Fail!!", today},
                {"bench1", "0102", true, "", today},
                {"bench2", "0103", true, "", today},
                {"bench1", "0104", true, "", today}};
    for (const auto& r : runs) {
        orvan::TChipRecord c;
        c.Utc = r.Utc;
        c.Station = r.Station;
        c.Operation = "auto";
        c.Model = "OV128";
        c.Serial = r.Serial;
        c.Pass = r.Pass;
        c.Failure = r.Failure;
        QVERIFY2(store->Record(c, false, error), error.c_str());
    }
    TProductionLogForm form(*store, "bench1");
    form.show();
    auto* table = form.findChild<QTableWidget*>(QStringLiteral("LogTable"));
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 5); // bench2's chip is not this station's
    QCOMPARE(table->item(0, 4)->text(), QStringLiteral("0104"));
    QCOMPARE(table->item(4, 4)->text(), QStringLiteral("0100"));
    QCOMPARE(table->item(2, 5)->text(), QStringLiteral("FAIL"));
    QCOMPARE(table->item(2, 6)->text(), QStringLiteral("Data verify Fail!!"));
    QCOMPARE(table->item(2, 0)->foreground().color(), QColor(255, 0, 0));
    QVERIFY(table->item(1, 0)->foreground().color() != QColor(255, 0, 0));
    auto* yield = form.findChild<QLabel*>(QStringLiteral("YieldLine"));
    QVERIFY(yield);
    QVERIFY2(yield->text().contains(QStringLiteral("station bench1: 4 chips, 3 passed, 1 failed, "
                                                   "yield 75.0%")),
             qPrintable(yield->text()));

    // A record written while the window is open shows after Refresh.
    orvan::TChipRecord c;
    c.Station = "bench1";
    c.Operation = "force-write";
    c.Model = "OV128";
    c.Pass = true;
    QVERIFY(store->Record(c, false, error));
    form.Refresh();
    QCOMPARE(table->rowCount(), 6);
    QCOMPARE(table->item(0, 3)->text(), QStringLiteral("force-write"));
    if (qEnvironmentVariableIsSet("ORVAN_SHOT"))
        form.grab().save(qEnvironmentVariable("ORVAN_SHOT") +
                         QStringLiteral("/production-log.png"));
}

QTEST_MAIN(ProductionLogTest)
#include "ProductionLogTest.moc"
