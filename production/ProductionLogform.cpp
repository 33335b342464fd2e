#include "production/ProductionLogform.h"

#include "app/MessageBoxes.h"
#include "production/Records.h"
#include "production/StoreConfig.h"
#include "session/Workspace.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Enough for a shift at one station.
constexpr int ShownRecords = 500;
} // namespace

TProductionLogForm::TProductionLogForm(orvan::IProductionStore& store, std::string station,
                                       QWidget* parent)
    : QDialog(parent), Store(store), Station(std::move(station)) {
    setObjectName(QStringLiteral("ProductionLogForm"));
    setWindowTitle(QStringLiteral("Production Log"));
    auto* lines = new QVBoxLayout(this);
    YieldLine = new QLabel(this);
    YieldLine->setObjectName(QStringLiteral("YieldLine"));
    QFont bold = YieldLine->font();
    bold.setBold(true);
    YieldLine->setFont(bold);
    lines->addWidget(YieldLine);
    Table = new QTableWidget(0, 7, this);
    Table->setObjectName(QStringLiteral("LogTable"));
    Table->setHorizontalHeaderLabels({QStringLiteral("Time (UTC)"), QStringLiteral("Station"),
                                      QStringLiteral("Model"), QStringLiteral("Operation"),
                                      QStringLiteral("Serial No."), QStringLiteral("Result"),
                                      QStringLiteral("Failure")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->setVisible(false);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setMinimumSize(760, 360);
    lines->addWidget(Table);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* refresh = new QPushButton(QStringLiteral("Refresh"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    row->addWidget(refresh);
    row->addWidget(close);
    lines->addLayout(row);
    connect(refresh, &QPushButton::clicked, this, &TProductionLogForm::Refresh);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    Refresh();
}

void TProductionLogForm::Refresh() {
    std::string error;
    const std::string today = orvan::UtcNow().substr(0, 10);
    orvan::TReportQuery q;
    q.Since = today;
    q.Station = Station;
    std::vector<orvan::TReportRow> rows;
    if (!Store.Report(q, rows, error)) {
        YieldLine->setText(
            QStringLiteral("Production records: %1").arg(QString::fromStdString(error)));
        return;
    }
    int64_t chips = 0, passes = 0;
    for (const orvan::TReportRow& r : rows) {
        chips += r.Chips;
        passes += r.Passes;
    }
    const QString who = Station.empty()
                            ? QStringLiteral("all stations")
                            : QStringLiteral("station %1").arg(QString::fromStdString(Station));
    YieldLine->setText(
        chips == 0 ? QStringLiteral("Today (%1, UTC), %2: no chips yet")
                         .arg(QString::fromStdString(today), who)
                   : QStringLiteral("Today (%1, UTC), %2: %3 chips, %4 passed, %5 failed, yield %6")
                         .arg(QString::fromStdString(today), who)
                         .arg(chips)
                         .arg(passes)
                         .arg(chips - passes)
                         .arg(QString::fromStdString(orvan::YieldText(passes, chips))));

    std::vector<orvan::TChipRecord> records;
    q = {};
    q.Station = Station;
    q.Limit = ShownRecords;
    Table->setRowCount(0);
    if (!Store.Chips(q, records, error)) return;
    Table->setRowCount(int(records.size()));
    for (int r = 0; r < int(records.size()); ++r) {
        const orvan::TChipRecord& c = records[size_t(r)];
        const QStringList cells = {QString::fromStdString(c.Utc),
                                   QString::fromStdString(c.Station),
                                   QString::fromStdString(c.Model),
                                   QString::fromStdString(c.Operation),
                                   QString::fromStdString(c.Serial),
                                   c.Pass ? QStringLiteral("pass") : QStringLiteral("FAIL"),
                                   QString::fromStdString(c.Failure)};
        for (int col = 0; col < cells.size(); ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            if (!c.Pass) item->setForeground(QColor(255, 0, 0));
            Table->setItem(r, col, item);
        }
    }
    Table->resizeColumnsToContents();
}

void ShowProductionLog(QWidget* parent, orvan::TWorkspace& ws) {
    std::string error;
    if (!orvan::PrepareRecords(ws.Records, ws.PortName(), ws.LoadedFileName, error)) {
        ShowPlainMessage(parent, QStringLiteral("Production records cannot be opened: %1")
                                     .arg(QString::fromStdString(error)));
        return;
    }
    TProductionLogForm form(*ws.Records->Store, ws.Records->Station, parent);
    form.exec();
}
