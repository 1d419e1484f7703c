#ifndef PARVESTA_TABLETEXT_H
#define PARVESTA_TABLETEXT_H

#include <QList>
#include <QString>

class QTableWidget;

// Rows of a table as a spreadsheet takes them from the clipboard: the
// header first, cells separated by tabs, numbers with the user's decimal
// separator so that they arrive as numbers.
QString TableText(const QTableWidget* table, const QList<int>& rows);

#endif
