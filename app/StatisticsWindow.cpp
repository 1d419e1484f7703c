#include "StatisticsWindow.h"
#include "TableText.h"

#include "CChartBuilder.h"
#include "CReport.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QtCharts/QChartView>

namespace
{
// The limit kept for exactly this group and unit, else the one for the
// group's every unit; null when there is neither.
const Limit* KeptLimit(const std::vector<Limit>& limits, int group, int unit)
{
    const Limit* any = nullptr;
    for (const Limit& limit : limits)
        if (limit.group == group && limit.unit == unit)
            return &limit;
        else if (limit.group == group && limit.unit == Limit::AnyUnit)
            any = &limit;
    return any;
}

// A limit as the user writes numbers: "1,2" on a German desktop.
QString LocalNumber(const std::optional<double>& number)
{
    if (!number)
        return QString();
    return Limits::NumberText(*number).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QChartView* ChartView(const char* name, QWidget* parent)
{
    auto* view = new QChartView(parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(220, 170);
    return view;
}
} // namespace

StatisticsWindow::StatisticsWindow(CQuorvanta* engine_, QWidget* parent)
    : QWidget(parent, Qt::Window), engine(engine_)
{
    ui.setupUi(this);
    // A handful of rows: each as high and each column as wide as its text.
    QTableWidget* table = ui.statisticsTable;
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(table, &QTableWidget::itemSelectionChanged, this, &StatisticsWindow::ShowChosen);

    // The chosen row's readings as pictures, side by side.
    auto* charts = new QHBoxLayout;
    histogramView = ChartView("histogramView", this);
    runChartView = ChartView("runChartView", this);
    charts->addWidget(histogramView);
    charts->addWidget(runChartView);
    ui.verticalLayout->addLayout(charts, 2);

    // The chosen group's limits, typed as the user writes numbers.
    auto* limits = new QGridLayout;
    limits->setContentsMargins(6, 6, 6, 0);
    limitsTitle = new QLabel(this);
    limitsTitle->setObjectName(QStringLiteral("limitsTitle"));
    limits->addWidget(limitsTitle, 0, 0, 1, 7);
    int column = 0;
    for (auto [edit, name, label] : {std::tuple{&lowEdit, "lowEdit", tr("Low:")},
                                     std::tuple{&highEdit, "highEdit", tr("High:")},
                                     std::tuple{&nominalEdit, "nominalEdit", tr("Nominal:")}})
    {
        *edit = new QLineEdit(this);
        (*edit)->setObjectName(QLatin1String(name));
        (*edit)->setMinimumWidth(60);
        auto* caption = new QLabel(label, this);
        caption->setBuddy(*edit);
        limits->addWidget(caption, 1, column++);
        limits->addWidget(*edit, 1, column++);
        connect(*edit, &QLineEdit::returnPressed, this, &StatisticsWindow::SetLimits);
    }
    setLimitsButton = new QPushButton(tr("Set limits"), this);
    setLimitsButton->setObjectName(QStringLiteral("setLimitsButton"));
    setLimitsButton->setAutoDefault(false);
    limits->addWidget(setLimitsButton, 1, column);
    connect(setLimitsButton, &QPushButton::clicked, this, &StatisticsWindow::SetLimits);
    limitsMessage = new QLabel(this);
    limitsMessage->setObjectName(QStringLiteral("limitsMessage"));
    limitsMessage->setWordWrap(true);
    limits->addWidget(limitsMessage, 2, 0, 1, 7);
    ui.verticalLayout->addLayout(limits);

    auto* report = new QPushButton(tr("Report…"), this);
    report->setObjectName(QStringLiteral("reportButton"));
    report->setAutoDefault(false);
    connect(report, &QPushButton::clicked, this, &StatisticsWindow::SaveReport);
    auto* print = new QPushButton(tr("Print…"), this);
    print->setObjectName(QStringLiteral("printButton"));
    print->setAutoDefault(false);
    connect(print, &QPushButton::clicked, this, &StatisticsWindow::PrintReport);
    // The figures go into a spreadsheet as the result table's rows do.
    auto* copy = new QPushButton(tr("Copy"), this);
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, [this] {
        QList<int> all;
        for (int r = 0; r < ui.statisticsTable->rowCount(); ++r)
            all << r;
        QApplication::clipboard()->setText(TableText(ui.statisticsTable, all));
    });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(6, 6, 6, 6);
    buttonRow->addStretch();
    for (QPushButton* button : {report, print, copy})
        buttonRow->addWidget(button);
    ui.verticalLayout->addLayout(buttonRow);
    resize(720, 620);
}

void StatisticsWindow::Fill()
{
    QTableWidget* table = ui.statisticsTable;
    const Statistics::Row* chosen = Chosen();
    const int group = chosen ? chosen->group : 0;
    const int unit = chosen ? chosen->unit : 0;
    rows = Statistics::Compute(engine->data, engine->Limits());
    bool judged = false;
    for (const Statistics::Row& s : rows)
        judged = judged || s.judged;
    // Pass and fail, Cp and Cpk only where limits apply.
    QStringList columns = engine->StatisticsColumns();
    const int plain = int(columns.size());
    if (judged)
        columns << engine->LimitColumns().mid(3); // pass, fail, Cp, Cpk
    const QSignalBlocker quiet(table);
    table->clear();
    table->setColumnCount(int(columns.size()));
    table->setHorizontalHeaderLabels(columns);
    table->setRowCount(int(rows.size()));
    int again = 0;
    for (int r = 0; r < int(rows.size()); ++r)
    {
        const Statistics::Row& s = rows[std::size_t(r)];
        QStringList texts = Statistics::Texts(s, engine->UnitText(s.unit), QString());
        if (judged)
            texts << (s.judged ? QString::number(s.pass) : QString())
                  << (s.judged ? QString::number(s.fail) : QString())
                  << (s.capable ? Statistics::Format(s.cp, 2) : QString())
                  << (s.capable ? Statistics::Format(s.cpk, 2) : QString());
        for (int c = 0; c < int(texts.size()); ++c)
        {
            auto* item = new QTableWidgetItem(texts[c]);
            if (c != 1)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == plain + 1 && s.fail > 0)
                item->setForeground(QColor(0xc0, 0x1c, 0x28));
            table->setItem(r, c, item);
        }
        if (s.group == group && s.unit == unit)
            again = r;
    }
    if (!rows.empty())
        table->selectRow(again);
    ShowChosen();
}

const Statistics::Row* StatisticsWindow::Chosen() const
{
    const QList<QTableWidgetItem*> items = ui.statisticsTable->selectedItems();
    if (items.isEmpty())
        return nullptr;
    const int r = items.first()->row();
    return r >= 0 && r < int(rows.size()) ? &rows[std::size_t(r)] : nullptr;
}

void StatisticsWindow::ShowChosen()
{
    const Statistics::Row* row = Chosen();
    for (QWidget* w :
         std::initializer_list<QWidget*>{lowEdit, highEdit, nominalEdit, setLimitsButton})
        w->setEnabled(row != nullptr);
    // A Limits.ini not understood stays said until limits set here replace it.
    limitsMessage->setText(engine->LimitsNotice());
    if (!row)
    {
        for (QChartView* view : {histogramView, runChartView})
        {
            QChart* old = view->chart();
            view->setChart(new QChart);
            delete old;
        }
        limitsTitle->clear();
        return;
    }
    const QString unit = engine->UnitText(row->unit);
    const CChartBuilder builder(engine->data, engine->Limits());
    // A chart view gives its old chart back to the caller.
    QChart* old = histogramView->chart();
    histogramView->setChart(builder.Histogram(*row, unit));
    delete old;
    old = runChartView->chart();
    runChartView->setChart(builder.RunChart(*row, unit));
    delete old;

    limitsTitle->setText(
        tr("Limits of group %1 in %2, as shown (empty: none):").arg(row->group).arg(unit));
    const Limit* kept = KeptLimit(engine->Limits(), row->group, row->unit);
    lowEdit->setText(LocalNumber(kept ? kept->low : std::nullopt));
    highEdit->setText(LocalNumber(kept ? kept->high : std::nullopt));
    nominalEdit->setText(LocalNumber(kept ? kept->nominal : std::nullopt));
}

bool StatisticsWindow::ReadNumber(QLineEdit* edit, std::optional<double>* number)
{
    const QString text = edit->text().trimmed();
    number->reset();
    if (text.isEmpty())
        return true;
    // A "." on a desktop that writes "1,2" is refused, not read as thousands.
    QLocale here;
    here.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = here.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
    {
        limitsMessage->setText(
            tr("\"%1\" is not a number; write it like %2.").arg(text, here.toString(1.25)));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    *number = value;
    return true;
}

void StatisticsWindow::SetLimits()
{
    const Statistics::Row* row = Chosen();
    if (!row)
        return;
    Limit limit;
    limit.group = row->group;
    limit.unit = row->unit;
    if (!ReadNumber(lowEdit, &limit.low) || !ReadNumber(highEdit, &limit.high) ||
        !ReadNumber(nominalEdit, &limit.nominal))
        return;
    if (limit.low && limit.high && *limit.low > *limit.high)
    {
        limitsMessage->setText(tr("The low limit is above the high limit."));
        lowEdit->setFocus();
        return;
    }
    // This group and unit's own limit replaces the one it had; none when
    // every field is empty.
    std::vector<Limit> changed;
    for (const Limit& kept : engine->Limits())
        if (kept.group != limit.group || kept.unit != limit.unit)
            changed.push_back(kept);
    if (limit.low || limit.high || limit.nominal)
        changed.push_back(limit);
    if (!engine->ChangeLimits(changed))
    {
        limitsMessage->setText(
            tr("The limits could not be saved: %1.").arg(engine->SaveErrorText()));
        return;
    }
    Fill();
    limitsMessage->setText(tr("Limits saved."));
    emit LimitsChanged();
}

bool StatisticsWindow::AskNote()
{
    bool ok = false;
    const QString note = QInputDialog::getMultiLineText(
        this, tr("Report"), tr("A note for the report's title block (may stay empty):"),
        engine->reportNote, &ok);
    if (ok)
        engine->reportNote = note;
    return ok;
}

void StatisticsWindow::SaveReport()
{
    if (!AskNote())
        return;
    const QString proposed = engine->SaveFolder() +
                             QFileInfo(engine->SuggestFileName()).completeBaseName() +
                             QStringLiteral(".pdf");
    QFileDialog dialog(this, tr("Save report as"), proposed, tr("PDF report (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    if (!engine->Write(engine->EncodePath(path).constData(), CQuorvanta::SaveFormat::Report))
        QMessageBox::warning(this, tr("Report"),
                             tr("The report %1 could not be saved: %2.")
                                 .arg(QDir::toNativeSeparators(path), engine->SaveErrorText()));
}

void StatisticsWindow::PrintReport()
{
    if (!AskNote())
        return;
    QPrinter printer(QPrinter::HighResolution);
    CReport::SetUpPage(&printer);
    printer.setDocName(tr("Measurement report"));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const CReport report(engine->data, engine->Limits(), engine->TransferDescription(),
                         engine->reportNote, engine->ReportFormat());
    if (!report.Paint(&printer))
        QMessageBox::warning(this, tr("Report"), tr("The printer could not be used."));
}
