// TMDIChild: the program-memory window, a grid of eight words per row drawn
// straight from the workspace's program buffer (the window keeps no copy).
#pragma once

#include <QAbstractTableModel>
#include <QMdiSubWindow>

#include <functional>
#include <optional>

class QTableView;

namespace orvan {
class TWorkspace;
}

// Rows of eight words over ProgramBuffer; header "+0/8".."+7/F" and "0x0000"...
class TMemoryGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TMemoryGridModel(orvan::TWorkspace& ws, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Re-reads the device and redraws every cell.
    void Repopulate();
    int WordAt(const QModelIndex& index) const; // -1 outside the device
    void StoreWord(const QModelIndex& index, unsigned value);

  private:
    orvan::TWorkspace& Ws;
    int Rows = 0;
};

class TMDIChild : public QMdiSubWindow {
    Q_OBJECT
  public:
    TMDIChild(orvan::TWorkspace& ws, const QString& caption, QWidget* parent = nullptr);

    // The value dialog; tests put their own answer here.
    std::function<std::optional<unsigned>(QWidget*)> AskValue;

    void Repopulate() { Model->Repopulate(); }
    void StringGrid1DblClick(const QModelIndex& index);

    TMemoryGridModel* Model = nullptr;
    QTableView* StringGrid1 = nullptr;

  signals:
    // After every double-click: checksums were recomputed.
    void BufferEdited();

  private:
    orvan::TWorkspace& Ws;
};
