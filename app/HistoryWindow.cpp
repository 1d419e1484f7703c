#include "HistoryWindow.h"
#include "PaintedIconEngine.h"

#include "CArchive.h"
#include "CQuorvanta.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QIconEngine>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QStandardItemModel>

namespace
{
enum Column
{
    TimeColumn,
    FamilyColumn,
    MeasurementsColumn,
    PagesColumn,
    SavesColumn,
    Columns
};
constexpr int IdRole = Qt::UserRole + 1;
constexpr int CountRole = Qt::UserRole + 2;

// A clock face with an arrow running back round it, drawn at each size asked
// for, in the colours of the tool buttons' pictures beside it.
class CClockEngine : public PaintedIconEngine
{
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const double side = std::min(rect.width(), rect.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(QRectF(rect).center());
        painter->scale(side / 42.0, side / 42.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.4);
        // The arrow: most of a circle, its head at the top left, pointing back.
        QPen arc(QColor(30, 90, 170), 3.2, Qt::SolidLine, Qt::RoundCap);
        painter->setPen(arc);
        painter->setBrush(Qt::NoBrush);
        const QRectF round(-18, -18, 36, 36);
        painter->drawArc(round, 135 * 16, -300 * 16);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(30, 90, 170));
        QPainterPath head;
        head.moveTo(-19.5, -6.5);
        head.lineTo(-6.5, -13.5);
        head.lineTo(-17.5, -19.5);
        head.closeSubpath();
        painter->drawPath(head);
        // The face and its hands at ten past ten.
        painter->setPen(QPen(QColor(40, 44, 52), 1.6));
        painter->setBrush(QColor(250, 250, 245));
        painter->drawEllipse(QPointF(0, 0), 12.5, 12.5);
        painter->setPen(QPen(QColor(40, 44, 52), 2.4, Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(QPointF(0, 0), QPointF(0, -9));
        painter->drawLine(QPointF(0, 0), QPointF(6.5, 3.5));
        painter->restore();
    }
    QIconEngine* clone() const override { return new CClockEngine; }
};
} // namespace

QIcon HistoryWindow::Icon()
{
    return QIcon(new CClockEngine);
}

HistoryWindow::HistoryWindow(CQuorvanta* quorvanta, QWidget* parent)
    : QWidget(parent, Qt::Window), engine(quorvanta),
      model(new QStandardItemModel(0, Columns, this))
{
    ui.setupUi(this);
    model->setHorizontalHeaderLabels(
        {tr("Date and time"), tr("Family"), tr("Measurements"), tr("Pages"), tr("Saved files")});
    ui.historyTable->setModel(model);
    QHeaderView* header = ui.historyTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(SavesColumn, QHeaderView::Stretch);
    ui.historyTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui.historyTable->installEventFilter(this);

    // Until a day is ticked the dates set no bound; they start at today.
    const QDate today = QDate::currentDate();
    ui.fromEdit->setDate(today);
    ui.toEdit->setDate(today);
    connect(ui.fromCheck, &QCheckBox::toggled, ui.fromEdit, &QWidget::setEnabled);
    connect(ui.toCheck, &QCheckBox::toggled, ui.toEdit, &QWidget::setEnabled);
    for (QCheckBox* check : {ui.fromCheck, ui.toCheck})
        connect(check, &QCheckBox::toggled, this, &HistoryWindow::Filtered);
    for (auto [edit, check] :
         {std::pair(ui.fromEdit, ui.fromCheck), std::pair(ui.toEdit, ui.toCheck)})
        connect(edit, &QDateEdit::dateChanged, this, [this, check = check] {
            if (check->isChecked())
                Filtered();
        });

    typing.setSingleShot(true);
    typing.setInterval(250);
    connect(ui.filterEdit, &QLineEdit::textChanged, &typing, qOverload<>(&QTimer::start));
    connect(&typing, &QTimer::timeout, this, &HistoryWindow::Filtered);
    // Enter in the line does not wait for the pause.
    connect(ui.filterEdit, &QLineEdit::returnPressed, this, &HistoryWindow::Filtered);

    connect(ui.newerButton, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(ui.olderButton, &QPushButton::clicked, this, [this] { Step(1); });
    connect(ui.openButton, &QPushButton::clicked, this, &HistoryWindow::OpenChosen);
    connect(ui.deleteButton, &QPushButton::clicked, this, &HistoryWindow::DeleteChosen);
    connect(ui.historyTable, &QTableView::doubleClicked, this, &HistoryWindow::OpenChosen);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    // Transfers kept since it was last looked at are shown.
    if (!event->spontaneous())
    {
        Refresh();
        // Enter opens the newest at once; a click or Tab reaches the filter.
        ui.historyTable->setFocus();
    }
    QWidget::showEvent(event);
}

void HistoryWindow::Filtered()
{
    typing.stop();
    offset = 0;
    Refresh();
}

void HistoryWindow::Step(int pages)
{
    offset = std::max(0, offset + pages * pageSize);
    Refresh();
}

void HistoryWindow::Refresh()
{
    const QString chosen = ChosenId();
    CArchive::Filter filter;
    filter.text = ui.filterEdit->text();
    if (ui.fromCheck->isChecked())
        filter.from = ui.fromEdit->date();
    if (ui.toCheck->isChecked())
        filter.to = ui.toEdit->date();
    filter.offset = offset;
    filter.limit = pageSize;
    QVector<CArchive::Entry> entries;
    CArchive& archive = engine->Archive();
    bool read = archive.Page(filter, &entries, &total);
    // A page emptied by deletions gives way to the one before it.
    if (read && entries.isEmpty() && offset > 0 && total > 0)
    {
        offset = (total - 1) / pageSize * pageSize;
        filter.offset = offset;
        read = archive.Page(filter, &entries, &total);
    }
    model->removeRows(0, model->rowCount());
    if (!read)
    {
        // Why, where the list would be: the user can do something about it.
        ui.problemLabel->setText(tr("The archive cannot be shown: %1").arg(archive.Error()));
        ui.pages->setCurrentWidget(ui.problemPage);
        for (QPushButton* button : {ui.newerButton, ui.olderButton, ui.openButton, ui.deleteButton})
            button->setEnabled(false);
        ui.rangeLabel->clear();
        return;
    }
    ui.pages->setCurrentWidget(ui.listPage);
    const QLocale here;
    model->setRowCount(int(entries.size()));
    int chosenRow = 0;
    for (int row = 0; row < int(entries.size()); ++row)
    {
        const CArchive::Entry& entry = entries[row];
        auto* time =
            new QStandardItem(here.toString(entry.time.toLocalTime(), QLocale::ShortFormat));
        time->setData(entry.id, IdRole);
        auto* measurements = new QStandardItem(here.toString(entry.measurements));
        measurements->setData(entry.measurements, CountRole);
        measurements->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* pages = new QStandardItem(
            entry.complete
                ? tr("complete")
                : tr("partial: %1 of %2 pages").arg(entry.pagesReceived).arg(entry.pagesAnnounced));
        QStringList names;
        for (const QString& file : entry.saves)
            names << QFileInfo(file).fileName();
        auto* saves = new QStandardItem(names.join(QStringLiteral(", ")));
        saves->setToolTip(entry.saves.join(QLatin1Char('\n')));
        model->setItem(row, TimeColumn, time);
        model->setItem(row, FamilyColumn, new QStandardItem(entry.family));
        model->setItem(row, MeasurementsColumn, measurements);
        model->setItem(row, PagesColumn, pages);
        model->setItem(row, SavesColumn, saves);
        if (entry.id == chosen)
            chosenRow = row;
    }
    if (!entries.isEmpty())
        ui.historyTable->selectRow(chosenRow);
    ui.rangeLabel->setText(entries.isEmpty() ? tr("No transfers")
                                             : tr("%1\u2013%2 of %3")
                                                   .arg(here.toString(offset + 1),
                                                        here.toString(offset + int(entries.size())),
                                                        here.toString(total)));
    ui.newerButton->setEnabled(offset > 0);
    ui.olderButton->setEnabled(offset + int(entries.size()) < total);
    ui.openButton->setEnabled(!entries.isEmpty());
    ui.deleteButton->setEnabled(!entries.isEmpty());
}

QString HistoryWindow::ChosenId() const
{
    const QModelIndex current = ui.historyTable->currentIndex();
    if (!current.isValid())
        return QString();
    return model->index(current.row(), TimeColumn).data(IdRole).toString();
}

void HistoryWindow::OpenChosen()
{
    const QString id = ChosenId();
    if (!id.isEmpty())
        emit OpenTransfer(id);
}

void HistoryWindow::DeleteChosen()
{
    const QString id = ChosenId();
    if (id.isEmpty())
        return;
    const int row = ui.historyTable->currentIndex().row();
    const QString when = model->item(row, TimeColumn)->text();
    const QString family = model->item(row, FamilyColumn)->text();
    const int measurements = model->item(row, MeasurementsColumn)->data(CountRole).toInt();
    // Nothing is deleted unasked; the box opens on No.
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Delete transfer"),
        tr("Delete the transfer of %1 (%2, %n measurements) from the archive? Files saved of it "
           "stay where they are.",
           nullptr, measurements)
            .arg(when, family),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (!engine->DeleteArchived(id))
        QMessageBox::warning(
            this, tr("Delete transfer"),
            tr("The transfer could not be deleted: %1").arg(engine->Archive().Error()));
    Refresh();
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.historyTable && event->type() == QEvent::KeyPress)
    {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
        {
            OpenChosen();
            return true;
        }
        if (key == Qt::Key_Delete)
        {
            DeleteChosen();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
    {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
