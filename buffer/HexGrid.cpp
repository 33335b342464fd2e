#include "buffer/HexGrid.h"

#include <QHeaderView>
#include <QTableView>

QTableView* MakeHexGrid(QWidget* parent, QAbstractItemModel* model, int cellWidth, int cellHeight,
                        int rowHeaderWidth) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(QStringLiteral("StringGrid1"));
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView* columns = grid->horizontalHeader();
    columns->setMinimumSectionSize(cellWidth);
    columns->setDefaultSectionSize(cellWidth);
    columns->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* rows = grid->verticalHeader();
    rows->setMinimumSectionSize(cellHeight);
    rows->setDefaultSectionSize(cellHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumWidth(rowHeaderWidth);
    return grid;
}
