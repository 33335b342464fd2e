#include "buffer/Mdichild.h"

#include "buffer/Editsingledata.h"
#include "buffer/HexGrid.h"
#include "session/Workspace.h"

#include <QHeaderView>
#include <QTableView>

namespace {
constexpr int WordsPerRow = 8;
constexpr int CellWidth = 40;
constexpr int CellHeight = 20;

} // namespace

TMemoryGridModel::TMemoryGridModel(orvan::TWorkspace& ws, QObject* parent)
    : QAbstractTableModel(parent), Ws(ws) {
    Ws.GetICInfo();
    Rows = (Ws.Device.ICLastAddrHi + 1) * 32;
}

int TMemoryGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Rows;
}

int TMemoryGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : WordsPerRow;
}

int TMemoryGridModel::WordAt(const QModelIndex& index) const {
    if (!index.isValid()) return -1;
    const int word = index.row() * WordsPerRow + index.column();
    // The buffer ends before the last word of the largest row count.
    return word < orvan::ProgramBytes / 2 ? word : -1;
}

QVariant TMemoryGridModel::data(const QModelIndex& index, int role) const {
    const int word = WordAt(index);
    if (word < 0) return {};
    if (role == Qt::DisplayRole)
        return HexCell(orvan::GetWord(Ws.Buffers.ProgramBuffer.data(), word), 4);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

QVariant TMemoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return QStringLiteral("+%1/%2").arg(section).arg(HexCell(unsigned(section + 8), 1));
    return QStringLiteral("0x") + HexCell(unsigned(section * WordsPerRow), 4);
}

void TMemoryGridModel::Repopulate() {
    beginResetModel();
    Ws.GetICInfo();
    Rows = (Ws.Device.ICLastAddrHi + 1) * 32;
    endResetModel();
}

void TMemoryGridModel::StoreWord(const QModelIndex& index, unsigned value) {
    const int word = WordAt(index);
    if (word < 0) return;
    orvan::SetWord(Ws.Buffers.ProgramBuffer.data(), word, value);
    emit dataChanged(index, index, {Qt::DisplayRole});
}

TMDIChild::TMDIChild(orvan::TWorkspace& ws, const QString& caption, QWidget* parent)
    : QMdiSubWindow(parent), AskValue(&TEditSingleData::Ask), Ws(ws) {
    setObjectName(QStringLiteral("MDIChild"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    Model = new TMemoryGridModel(ws, this);
    StringGrid1 = MakeHexGrid(this, Model, CellWidth, CellHeight, CellWidth + 14);
    setWidget(StringGrid1);
    resize(9 * CellWidth + 60, 20 * CellHeight + 40);
    connect(StringGrid1, &QTableView::doubleClicked, this, &TMDIChild::StringGrid1DblClick);
}

void TMDIChild::StringGrid1DblClick(const QModelIndex& index) {
    const QString shown = Model->data(index).toString();
    if (!shown.isEmpty()) {
        const std::optional<unsigned> value = AskValue ? AskValue(this) : std::nullopt;
        // Something else may have rewritten the buffer while the dialog was up.
        if (value && *value < 0x4000 && Model->data(index).toString() == shown)
            Model->StoreWord(index, *value);
    }
    Ws.CalChecksum();
    emit BufferEdited();
}
