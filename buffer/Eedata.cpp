#include "buffer/Eedata.h"

#include "buffer/Editsingledata.h"
#include "buffer/HexGrid.h"
#include "session/Workspace.h"

#include <QHeaderView>
#include <QTableView>

namespace {
constexpr int BytesPerRow = 16;
constexpr int EECellWidth = 30;
constexpr int EECellHeight = 20;

int RowsFor(const orvan::TDeviceState& device) {
    return device.EEBytes() >> 4;
}
} // namespace

TEEGridModel::TEEGridModel(orvan::TWorkspace& ws, QObject* parent)
    : QAbstractTableModel(parent), Ws(ws) {
    Ws.GetICInfo();
    Rows = RowsFor(Ws.Device);
}

int TEEGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Rows;
}

int TEEGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : BytesPerRow;
}

int TEEGridModel::ByteAt(const QModelIndex& index) const {
    if (!index.isValid()) return -1;
    const int at = index.row() * BytesPerRow + index.column();
    return at < orvan::EEBufferBytes ? at : -1;
}

QVariant TEEGridModel::data(const QModelIndex& index, int role) const {
    const int at = ByteAt(index);
    if (at < 0) return {};
    if (role == Qt::DisplayRole) return HexCell(Ws.Buffers.EEBuffer[size_t(at)], 2);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

QVariant TEEGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) return QStringLiteral("+") + HexCell(unsigned(section), 1);
    return QStringLiteral("0x") + HexCell(unsigned(section * BytesPerRow), 2);
}

void TEEGridModel::Repopulate() {
    beginResetModel();
    Ws.GetICInfo();
    Rows = RowsFor(Ws.Device);
    endResetModel();
}

void TEEGridModel::StoreByte(const QModelIndex& index, unsigned value) {
    const int at = ByteAt(index);
    if (at < 0 || value > 0xFF) return;
    Ws.Buffers.EEBuffer[size_t(at)] = static_cast<uint8_t>(value);
    emit dataChanged(index, index, {Qt::DisplayRole});
}

TEEDataForm::TEEDataForm(orvan::TWorkspace& ws, QWidget* parent)
    : QMdiSubWindow(parent), AskValue(&TEditSingleData::Ask) {
    setObjectName(QStringLiteral("EEDataForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("EEPROM data"));
    Model = new TEEGridModel(ws, this);
    StringGrid1 = MakeHexGrid(this, Model, EECellWidth, EECellHeight, EECellWidth + 10);
    setWidget(StringGrid1);
    resize(17 * EECellWidth + 50, 9 * EECellHeight + 50);
    connect(StringGrid1, &QTableView::clicked, this, &TEEDataForm::StringGrid1Click);
}

void TEEDataForm::StringGrid1Click(const QModelIndex& index) {
    const QString shown = Model->data(index).toString();
    if (shown.isEmpty()) return;
    const std::optional<unsigned> value = AskValue ? AskValue(this) : std::nullopt;
    if (!value || *value >= 0x100) return;
    if (Model->data(index).toString() == shown) Model->StoreByte(index, *value);
}
