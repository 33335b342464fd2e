// The fixed-cell, read-only grid view both buffer windows show their model in.
#pragma once

#include <QString>

class QAbstractItemModel;
class QTableView;
class QWidget;

// A view named "StringGrid1": no in-place editing, single selection, fixed
// cells of cellWidth x cellHeight, a row-header column wide enough for
// the address texts.
QTableView* MakeHexGrid(QWidget* parent, QAbstractItemModel* model, int cellWidth, int cellHeight,
                        int rowHeaderWidth);

// `value` in `digits` upper-case hexadecimal digits, as the cells show it.
inline QString HexCell(unsigned value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}
