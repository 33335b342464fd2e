// TEEDataForm: the "EEPROM data" window, 16 bytes per row drawn straight
// from the workspace's EEPROM buffer.
#pragma once

#include <QAbstractTableModel>
#include <QMdiSubWindow>

#include <functional>
#include <optional>

class QTableView;

namespace orvan {
class TWorkspace;
}

class TEEGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TEEGridModel(orvan::TWorkspace& ws, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void Repopulate();
    int ByteAt(const QModelIndex& index) const; // -1 outside the EEPROM
    void StoreByte(const QModelIndex& index, unsigned value);

  private:
    orvan::TWorkspace& Ws;
    int Rows = 0;
};

class TEEDataForm : public QMdiSubWindow {
    Q_OBJECT
  public:
    explicit TEEDataForm(orvan::TWorkspace& ws, QWidget* parent = nullptr);

    std::function<std::optional<unsigned>(QWidget*)> AskValue;

    void Repopulate() { Model->Repopulate(); }
    void StringGrid1Click(const QModelIndex& index);

    TEEGridModel* Model = nullptr;
    QTableView* StringGrid1 = nullptr;
};
