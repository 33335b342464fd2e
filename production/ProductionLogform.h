// Production Log window (View menu): the latest chip records, newest first,
// failures in red, and the day's yield at the top.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QTableWidget;

namespace orvan {
class IProductionStore;
class TWorkspace;
} // namespace orvan

class TProductionLogForm : public QDialog {
    Q_OBJECT
  public:
    // `station` empty: every station's chips.
    TProductionLogForm(orvan::IProductionStore& store, std::string station,
                       QWidget* parent = nullptr);
    // Reads the records again.
    void Refresh();

  private:
    orvan::IProductionStore& Store;
    std::string Station;
    QLabel* YieldLine = nullptr;
    QTableWidget* Table = nullptr;
};

// The View menu's entry: opens the records (as production does) and shows
// this station's log.
void ShowProductionLog(QWidget* parent, orvan::TWorkspace& ws);
