#include "TableText.h"

#include <QLocale>
#include <QStringList>
#include <QTableWidget>

QString TableText(const QTableWidget* table, const QList<int>& rows)
{
    const QLocale here;
    QStringList lines;
    QStringList header;
    for (int c = 0; c < table->columnCount(); ++c)
        header << (table->horizontalHeaderItem(c) ? table->horizontalHeaderItem(c)->text()
                                                  : QString());
    lines << header.join(QLatin1Char('\t'));
    for (const int r : rows)
    {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
        {
            QString text = table->item(r, c) ? table->item(r, c)->text() : QString();
            bool number = false;
            QLocale::c().toDouble(text, &number);
            if (number)
                text.replace(QLatin1Char('.'), here.decimalPoint());
            cells << text;
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
