#include "MainWindow.h"
#include "PaintedIconEngine.h"
#include "TableText.h"

#include "CArchive.h"
#include "CDeviceWatcher.h"
#include "CQuorvanta.h"
#include "HistoryWindow.h"
#include "Installation.h"
#include "SerialPort.h"
#include "SettingsWindow.h"
#include "Statistics.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QIconEngine>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace
{
// The window's place on the user's screen belongs to the user, not to the
// program's folder: it is kept in the user's own configuration, away from
// Settings.ini.
const char* const PlaceKey = "window/geometry";

// A gear, drawn at each size asked for, so that it stays sharp at 2x; in the
// colour of the button's text, as the style's own icons beside it are.
class CGearEngine : public PaintedIconEngine
{
public:
    explicit CGearEngine(const QColor& ink) : colour(ink) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const double side = std::min(rect.width(), rect.height());
        QPainterPath gear;
        const int teeth = 8;
        const double outer = side * 0.48;
        const double inner = side * 0.36;
        for (int i = 0; i < teeth * 4; ++i)
        {
            // Each tooth: two corners out, two corners in.
            const double angle = (i - 0.5) * M_PI * 2 / (teeth * 4);
            const double r = (i % 4 < 2) ? outer : inner;
            const QPointF at(r * std::cos(angle), r * std::sin(angle));
            if (i == 0)
                gear.moveTo(at);
            else
                gear.lineTo(at);
        }
        gear.closeSubpath();
        gear.addEllipse(QPointF(0, 0), side * 0.15, side * 0.15);
        gear.setFillRule(Qt::OddEvenFill);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(QRectF(rect).center());
        QColor fill = colour;
        if (mode == QIcon::Disabled)
            fill.setAlphaF(0.4);
        painter->fillPath(gear, fill);
        painter->restore();
    }
    QIconEngine* clone() const override { return new CGearEngine(colour); }

private:
    QColor colour;
};

QIcon GearIcon(const QColor& colour)
{
    return QIcon(new CGearEngine(colour));
}

// A table cell that sorts by the number it shows: cell 10 after cell 2,
// result 10.25 after 9.5; words (the unit) sort as words.
class CNumberItem : public QTableWidgetItem
{
public:
    explicit CNumberItem(const QString& text = QString()) : QTableWidgetItem(text) {}
    bool operator<(const QTableWidgetItem& other) const override
    {
        bool mine = false;
        bool theirs = false;
        const double a = QLocale::c().toDouble(text(), &mine);
        const double b = QLocale::c().toDouble(other.text(), &theirs);
        if (mine && theirs)
            return a < b;
        if (mine != theirs)
            return mine; // numbers before words and empty cells
        return text() < other.text();
    }
};

QByteArray KeptPlace()
{
    return QSettings(QStringLiteral("Parvesta"), QStringLiteral("Parvesta"))
        .value(PlaceKey)
        .toByteArray();
}

void KeepPlace(const QByteArray& geometry)
{
    QSettings(QStringLiteral("Parvesta"), QStringLiteral("Parvesta")).setValue(PlaceKey, geometry);
}

// The height of a table row with one line of text, as the toolkit would
// measure it from its contents: the item's own, with the grid line, and no
// less than the header allows.
int OneLineRowHeight(const QTableWidget* table)
{
    QStyleOptionViewItem line;
    line.initFrom(table);
    line.features = QStyleOptionViewItem::HasDisplay;
    line.text = QStringLiteral("0");
    const int item =
        table->style()->sizeFromContents(QStyle::CT_ItemViewItem, &line, QSize(), table).height();
    const int grid = table->showGrid() ? 1 : 0;
    return std::max(item + grid, table->verticalHeader()->minimumSectionSize());
}
// A picture drawn for ratio 1 and its variant with twice the pixels: the
// variant where the screen has the pixels for it.
QPixmap AtRatio(const QString& path, qreal ratio)
{
    if (ratio > 1)
    {
        QPixmap sharp(QString(path).replace(".png", "@2x.png"));
        if (!sharp.isNull())
        {
            sharp.setDevicePixelRatio(2);
            return sharp;
        }
    }
    return QPixmap(path);
}

// A word of the start picture, white on the grey like the step numbers, or
// dark on a card, set where the drawing leaves room for it.
QLabel* StartWord(QWidget* words, const char* name, const QString& text, QRect place, bool onCard)
{
    auto* label = new QLabel(text, words);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(onCard ? 11 : 14);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(onCard ? QStringLiteral("color: rgb(34, 38, 44);")
                                : QStringLiteral("color: white;"));
    if (!onCard)
    {
        auto* shadow = new QGraphicsDropShadowEffect(label);
        shadow->setBlurRadius(0);
        shadow->setOffset(0, 1);
        shadow->setColor(QColor(0, 0, 0, 110));
        label->setGraphicsEffect(shadow);
    }
    return label;
}

// Keeps the words over the drawing, which the label centres the way the
// style aligns any picture.
class StartWordsPlace : public QObject
{
public:
    StartWordsPlace(QWidget* placed, QLabel* picture) : QObject(picture), words(placed) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
        {
            const auto* picture = static_cast<QLabel*>(watched);
            words->setGeometry(QStyle::alignedRect(picture->layoutDirection(), Qt::AlignCenter,
                                                   words->size(), picture->contentsRect()));
        }
        return false;
    }

private:
    QWidget* words;
};

// The words of the start picture in the user's language, over the drawing
// and centred with it: the heading of step 1, the name of each connection
// on its card, and step 2 naming the Transfer Data button beside its icon.
void SetStartWords(QLabel* picture, const QIcon& transferIcon)
{
    auto* words = new QWidget(picture);
    words->setObjectName(QStringLiteral("startWords"));
    words->setFixedSize(288, 355);
    // The picture's grey is for the room around the drawing, not over it.
    words->setStyleSheet(QStringLiteral("background: transparent;"));
    picture->installEventFilter(new StartWordsPlace(words, picture));

    StartWord(words, "connectWord", MainWindow::tr("Connect the instrument"), {35, 6, 243, 20},
              false);
    StartWord(words, "usbWord", MainWindow::tr("USB cable"), {20, 144, 250, 15}, true);
    StartWord(words, "infraredWord", MainWindow::tr("Infrared receiver"), {20, 298, 250, 15}, true);

    auto* step = new QWidget(words);
    step->setObjectName(QStringLiteral("transferStep"));
    step->setGeometry(35, 331, 242, 24); // up to the cards' right edge
    auto* line = new QHBoxLayout(step);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(5);
    QLabel* press = StartWord(step, "pressWord", MainWindow::tr("Press"), {}, false);
    auto* icon = new QLabel(step);
    icon->setObjectName(QStringLiteral("transferIcon"));
    icon->setPixmap(transferIcon.pixmap(QSize(22, 22), picture->devicePixelRatioF()));
    QLabel* name = StartWord(step, "transferWord", MainWindow::tr("Transfer Data"), {}, false);
    line->addWidget(press);
    line->addWidget(icon);
    line->addWidget(name);
    line->addStretch();
    // A language whose line would run past the cards sets it condensed
    // rather than cutting the button's name.
    if (line->sizeHint().width() > step->width())
        for (QLabel* word : {press, name})
        {
            QFont condensed = word->font();
            condensed.setFamily(QStringLiteral("DejaVu Sans Condensed"));
            word->setFont(condensed);
        }
}
// The record behind a value in the result table, by its place in its group.
constexpr int PositionRole = Qt::UserRole + 1;
const QColor MarkColour(0xc0, 0x1c, 0x28);

// A limit as the user writes numbers: "1,2" on a German desktop.
QString LocalNumber(double number)
{
    return Limits::NumberText(number).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

// The sign beside a reading above (▲) or below (▼) its limits, drawn for
// screens of ratio 1 and 2.
QIcon MarkIcon(bool above)
{
    static QIcon icons[2];
    QIcon& icon = icons[above ? 1 : 0];
    if (icon.isNull())
        for (int ratio : {1, 2})
        {
            QPixmap sign(12 * ratio, 12 * ratio);
            sign.setDevicePixelRatio(ratio);
            sign.fill(Qt::transparent);
            QPainter painter(&sign);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(MarkColour);
            const QPolygonF triangle = above ? QPolygonF({{1, 10}, {11, 10}, {6, 2}})
                                             : QPolygonF({{1, 2}, {11, 2}, {6, 10}});
            painter.drawPolygon(triangle);
            painter.end();
            icon.addPixmap(sign);
        }
    return icon;
}
} // namespace

MainWindow::MainWindow(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    ui.setupUi(this);
    // The start picture without words, sharp on the screen it opens on; its
    // words follow once the Transfer Data icon they show is set. A picture
    // that loads nothing keeps the form's one rather than an empty window.
    const QPixmap background =
        AtRatio(QStringLiteral(":/Image/background_plain.png"), devicePixelRatioF());
    if (!background.isNull())
        ui.bckgroundLabel->setPixmap(background);
    formTitle = windowTitle();
    messageTimer = new QTimer(this);
    messageTimer->setSingleShot(true);
    connect(messageTimer, &QTimer::timeout, this, &MainWindow::EndMessage);

    setButtonIcon(ui.trnsfrDataButton, ":/Button/data_transf.bmp", ":/Button/data_transf_mask.bmp");
    setButtonIcon(ui.saveAsButton, ":/Button/save_file.bmp", ":/Button/save_file_mask.bmp");
    setButtonIcon(ui.statisticsButton, ":/Button/statistics.bmp", ":/Button/statistics_mask.bmp");
    setButtonIcon(ui.helpButton, ":/Button/help.bmp", ":/Button/help_mask.bmp");
    setButtonIcon(ui.aboutButton, ":/Button/about.bmp", ":/Button/about_mask.bmp");
    if (!background.isNull())
        SetStartWords(ui.bckgroundLabel, ui.trnsfrDataButton->icon());

    // The Statistics window reads the engine's records and limits.
    engine = new CQuorvanta;
    CreateAboutWindow();
    CreateHelpWindow();
    CreateProgressWindow();
    CreateStatusLine();
    CreateStatisticsWindow();
    CreateKeys();

    ui.tableWidget->hide();
    ui.tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Every row holds one line of text, so every row is as tall as one line
    // needs: measuring thousands of rows one by one would take longer than
    // filling them.
    ui.tableWidget->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui.tableWidget->verticalHeader()->setDefaultSectionSize(OneLineRowHeight(ui.tableWidget));
    // Rows are chosen whole, sorted by a click on a column's title, and
    // copied for a spreadsheet with Ctrl+C or the table's menu.
    ui.tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui.tableWidget->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui.tableWidget->horizontalHeader()->setSectionsClickable(true);
    connect(ui.tableWidget->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &MainWindow::SortBy);
    ui.tableWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.tableWidget, &QWidget::customContextMenuRequested, this, &MainWindow::TableMenu);
    ui.tableWidget->installEventFilter(this);
    CreateSortKeys();

    // The lab's server may take seconds to answer, or never: transfers go
    // there in the background, those left from earlier runs first, and the
    // status line says so when they cannot (the whole of a long reason in
    // its tip). A transfer's own texts come first; the results show the
    // notice when they appear.
    connect(engine, &CQuorvanta::LabPassEnded, this, [this] {
        const QString notice = engine->ArchiveNotice();
        if (Busy())
            return;
        if (!ui.tableWidget->isHidden())
            ShowStatus(ResultsStatus(), notice);
        else if (!notice.isEmpty())
            ShowStatus(SearchStatus() + QStringLiteral(" \u2014 ") + notice,
                       notice + QLatin1Char('\n') + engine->SearchDetails());
    });
    engine->SendInBackground();
    CreateHistoryWindow();

    // A device change waits until the devices have settled; every further
    // change makes it wait again, so one search answers a burst of them.
    settleTimer.setSingleShot(true);
    connect(&settleTimer, &QTimer::timeout, this, &MainWindow::RequestSearch);
    searchTimer.setSingleShot(true);
    connect(&searchTimer, &QTimer::timeout, this, [this] { StepSearch(engine->ContinueSearch()); });
    deviceWatcher = new CDeviceWatcher(PortsFolder(), this);
    connect(deviceWatcher, &CDeviceWatcher::DeviceChanged, this, &MainWindow::DeviceChangeEvent);

    // Where and how large the user left the window last time.
    restoreGeometry(KeptPlace());

    // The window is shown while the ports are asked; the status line says so.
    StartSearch();
    SetViewState(NoResults);
}

MainWindow::~MainWindow()
{
    // Writes the settings file and closes any port still open.
    delete engine;
    engine = nullptr;
}

void MainWindow::TransferData()
{
    if (!CheckUnsavedData())
        return;
    SetViewState(NoResults);
    if (readOut)
        CancelTransfer(); // the same button cancels a running transfer
    else
        BeginTransfer();
}

void MainWindow::BeginTransfer()
{
    openedTime = QDateTime();
    SetViewState(TransferRunning);
    readOut = new CReadOut(engine, this);
    readOut->pollIntervalMs = pollIntervalMs;
    connect(readOut, &CReadOut::Progress, this, &MainWindow::ProgressChanged);
    connect(readOut, &CReadOut::Progress, this, [this](int percent) {
        receivedPercent = percent;
        if (!stalledNow)
            ShowStatus(ReceivingStatus());
    });
    receivedPercent = 0;
    stalledNow = false;
    ShowStatus(ReceivingStatus());
    connect(readOut, &CReadOut::Stalled, this, &MainWindow::ShowStall);
    connect(readOut, &CReadOut::Finished, this, &MainWindow::TransferFinished);
    readOut->Start();
}

void MainWindow::CancelTransfer()
{
    if (readOut)
        readOut->Cancel();
}

void MainWindow::TransferFinished(CReadOut::Outcome outcome)
{
    CReadOut* ended = readOut;
    readOut = nullptr;
    if (outcome == CReadOut::Outcome::Records || outcome == CReadOut::Outcome::NoRecords)
        NoteFamily();
    ShowStall(false);
    SetViewState(NoResults);
    switch (outcome)
    {
    case CReadOut::Outcome::Records:
        // The results follow when the text has been read.
        ShowMessage(engine->msgSuccess, successMessageMs);
        ended->deleteLater();
        return;
    case CReadOut::Outcome::Partial:
        OfferPartialReply(ended);
        break;
    case CReadOut::Outcome::Cancelled:
        break;
    case CReadOut::Outcome::Failed:
        // Say why now rather than show 0 % for ever.
        QMessageBox::warning(this, engine->textDataTransfer, ended->Message(), QMessageBox::Ok,
                             QMessageBox::NoButton);
        break;
    case CReadOut::Outcome::NoRecords:
    case CReadOut::Outcome::NotUnderstood:
    case CReadOut::Outcome::TooManyPages:
        // A reply that could not be understood is a failed transfer, not an
        // instrument without measurements; the window's own words for that.
        QMessageBox::warning(this, "",
                             outcome == CReadOut::Outcome::NoRecords
                                 ? tr("No measurements in connected device!")
                                 : ended->Message(),
                             QMessageBox::Ok, QMessageBox::NoButton);
        SetViewState(NoResults);
        break;
    }
    ended->deleteLater();
    // A search asked for during the transfer runs now.
    ResumeSearch();
}

void MainWindow::OfferPartialReply(CReadOut* ended)
{
    const CQuorvanta::PartialReply part = engine->PartialSummary();
    // Whole pages are whole records: nothing that arrived is dropped unasked.
    // A device search meanwhile would empty the link that holds them.
    offeringPages = true;
    QMessageBox box(QMessageBox::Question, engine->textDataTransfer,
                    tr("The transfer did not complete. Keep the %n measurements from %1 of %2 "
                       "pages received?",
                       nullptr, part.records)
                        .arg(part.pagesReceived)
                        .arg(part.pagesAnnounced),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    // Esc or the box's close button is no answer: only No drops the pages.
    box.setEscapeButton(QMessageBox::Yes);
    box.exec();
    offeringPages = false;
    if (box.clickedButton() == box.button(QMessageBox::Yes) && ended->KeepPartial())
    {
        NoteFamily(); // the kept pages were decoded just now
        SetViewState(ResultsShown);
    }
}

void MainWindow::NoteFamily()
{
    // A reply of a known family names the instrument on that port from now on.
    const QString family = engine->data.family;
    knownFamily = family == QLatin1String("VirtualDevice") ? QString() : family;
    knownPort = engine->CurrentPortLabel();
}

QString MainWindow::ReceivingStatus() const
{
    return stalledNow ? tr("No data arriving (%1 % received)").arg(receivedPercent)
                      : tr("Receiving\u2026 %1 %").arg(receivedPercent);
}

void MainWindow::ShowStall(bool stalled)
{
    stalledNow = stalled;
    if (readOut)
        ShowStatus(ReceivingStatus());
    if (stalled == !progressUi.messageLabel->isHidden())
        return;
    progressUi.messageLabel->setText(
        stalled ? tr("No data is arriving. Bring the instrument back to the receiver or check "
                     "its cable; press Cancel to stop.")
                : QString());
    progressUi.messageLabel->setVisible(stalled);
    FitProgressWindow();
}

void MainWindow::CancelFromProgress()
{
    if (readOut)
        TransferData();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == statusLabel && event->type() == QEvent::Resize)
        FitStatus();
    if (watched == ui.tableWidget && event->type() == QEvent::KeyPress)
    {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy))
        {
            CopyRows();
            return true;
        }
        // The menu key, or Shift+F10 where the keyboard has none, opens the
        // table's menu at the current row.
        if (key->key() == Qt::Key_Menu ||
            (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier))
        {
            const QModelIndex current = ui.tableWidget->currentIndex();
            if (current.isValid())
                ui.tableWidget->scrollTo(current); // a sort may have moved it out of sight
            const QRect shown = ui.tableWidget->viewport()->rect();
            const QPoint at =
                current.isValid() ? ui.tableWidget->visualRect(current).center() : shown.topLeft();
            TableMenu(QPoint(std::clamp(at.x(), 0, shown.right()),
                             std::clamp(at.y(), 0, shown.bottom())));
            return true;
        }
    }
    // The progress window had the keys while it was up (Esc cancels there);
    // once it goes, they come back here, or Ctrl+S after a transfer would
    // reach no window.
    if (watched == progressWindow && event->type() == QEvent::Hide &&
        QGuiApplication::focusWindow() == progressWindow->windowHandle())
        activateWindow();
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
    {
        if (watched == progressWindow)
        {
            CancelFromProgress();
            return true;
        }
        if (watched == helpWindow || watched == aboutWindow || watched == statisticsWindow)
        {
            static_cast<QWidget*>(watched)->hide();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ShowMessage(QString text, int milliseconds)
{
    progressWindow->hide();
    progressUi.messageLabel->setText(text);
    progressUi.messageLabel->show();
    progressUi.progressBar->hide();
    cancelButton->hide();
    progressWindow->setWindowModality(Qt::ApplicationModal);
    FitProgressWindow();
    progressWindow->show();
    // Neither a new transfer nor a save may start before the results are shown.
    ui.trnsfrDataButton->setEnabled(false);
    ui.saveAsButton->setEnabled(false);
    ui.statisticsButton->setEnabled(false);
    messageTimer->start(milliseconds);
}

void MainWindow::EndMessage()
{
    progressWindow->hide();
    progressUi.messageLabel->hide();
    progressUi.progressBar->show();
    cancelButton->show();
    progressWindow->setWindowModality(Qt::NonModal);
    FitProgressWindow();
    SetViewState(ResultsShown);
    ResumeSearch();
}

void MainWindow::FitProgressWindow()
{
    // The form's size, grown downwards as far as a text of several lines needs.
    int height = progressFormSize.height();
    QLayout* layout = progressWindow->layout();
    layout->activate();
    height = std::max(height, layout->hasHeightForWidth()
                                  ? layout->totalHeightForWidth(progressFormSize.width())
                                  : layout->totalSizeHint().height());
    progressWindow->resize(progressFormSize.width(), height);
    CentreProgressWindow();
}

QString MainWindow::ResultsTitle() const
{
    // A transfer opened from the history names its day.
    const QString title =
        openedTime.isValid()
            ? tr("Transfer of %1")
                      .arg(QLocale().toString(openedTime.toLocalTime(), QLocale::ShortFormat)) +
                  " - " + formTitle
            : formTitle;
    // Results kept from a transfer that did not complete say so first, where
    // a narrow title bar still shows it.
    if (engine->incomplete.pagesAnnounced == 0)
        return title;
    return tr("Incomplete: %1 of %2 pages")
               .arg(engine->incomplete.pagesReceived)
               .arg(engine->incomplete.pagesAnnounced) +
           " - " + title;
}

bool MainWindow::Busy() const
{
    return readOut || messageTimer->isActive() || offeringPages;
}

bool MainWindow::CheckUnsavedData()
{
    if (!engine->unsavedData)
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, engine->msgUnsavedTitle, engine->msgUnsavedQuestion,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::NoButton);
    switch (answer)
    {
    case QMessageBox::Yes:
        return SaveData();
    case QMessageBox::No:
        return true;
    case QMessageBox::Cancel:
        return false;
    default:
        return true;
    }
}

bool MainWindow::SaveData()
{
    // The data folder beside the program does not exist before the first
    // save; without it the dialog would open somewhere else. No other folder
    // is made: a stale one on a drive taken away would appear empty under
    // its mount point.
    if (engine->dataPath == engine->DefaultDataPath())
        QDir().mkpath(engine->dataPath);
    const QString folder = engine->SaveFolder();
    if (QDir::cleanPath(folder) == QDir::cleanPath(engine->dataPath))
    {
        // The dialog's own idea of the folder: absolute, with one separator.
        QFileDialog normaliser(nullptr, QString(), QString(), QString());
        normaliser.setDirectory(engine->dataPath);
        engine->dataPath = normaliser.directory().absolutePath() + "/";
    }
    const QString name = engine->SuggestFileName();
    // The format follows the name's extension, whichever filter is chosen; a
    // name typed without one gets the chosen type's, before the dialog asks
    // whether to replace a file of that name.
    using Format = CQuorvanta::SaveFormat;
    static const Format formats[] = {Format::Csv, Format::Workbook, Format::Json, Format::Reply,
                                     Format::Report};
    const QStringList filters = {tr("Measurements (*.csv)"), tr("Excel workbook (*.xlsx)"),
                                 tr("JSON for other programs (*.json)"),
                                 tr("Instrument reply (*.bin)"), tr("PDF report (*.pdf)")};
    QFileDialog dialog(this, tr("Save measurements as"), engine->SaveFolder() + name,
                       filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(CQuorvanta::ExtensionOf(formats[0]));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString& f) {
        const qsizetype chosen = std::max<qsizetype>(filters.indexOf(f), 0);
        const QString extension = CQuorvanta::ExtensionOf(formats[chosen]);
        dialog.setDefaultSuffix(extension);
        // The name shown follows the type chosen, when it ends in one of
        // the types' extensions (the proposed name does).
        const QFileInfo shown(dialog.selectedFiles().value(0));
        CQuorvanta::SaveFormat named;
        if (CQuorvanta::FormatNamed(shown.suffix(), &named) && named != formats[chosen])
            dialog.selectFile(shown.completeBaseName() + '.' + extension);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    if (path.isEmpty())
        return false;
    const CQuorvanta::SaveFormat format = CQuorvanta::FormatOf(path);
    // A report carries a note of the user's in its title block.
    if (format == CQuorvanta::SaveFormat::Report && !statisticsWindow->AskNote())
        return false;
    if (!engine->Write(engine->EncodePath(path).constData(), format))
    {
        // The user must not believe the results are safe, and must learn what to do.
        QMessageBox::warning(this, engine->msgUnsavedTitle,
                             tr("The file %1 could not be saved: %2.")
                                 .arg(QDir::toNativeSeparators(path), engine->SaveErrorText()),
                             QMessageBox::Ok, QMessageBox::NoButton);
        return false;
    }
    // The path may be longer than the status line: its middle gives way.
    const QString file = QDir::toNativeSeparators(path);
    ShowStatus(tr("Saved to %1")
                   .arg(statusLabel->fontMetrics().elidedText(file, Qt::ElideMiddle,
                                                              statusLabel->contentsRect().width())),
               tr("Saved to %1").arg(file));
    if (!engine->DataPathKept())
        QMessageBox::information(
            this, QString(),
            tr("The results were saved. The name of the folder %1 holds a line break, so the "
               "next save starts in the folder used before.")
                .arg(QDir::toNativeSeparators(QFileInfo(path).path())));
    // The instrument's bytes alone, or a report for people, do not count as
    // the results saved.
    return format != CQuorvanta::SaveFormat::Reply && format != CQuorvanta::SaveFormat::Report;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing ends a running transfer as cancelling does: what whole pages
    // brought is offered first, then guarded like any results.
    CancelTransfer();
    if (!CheckUnsavedData())
    {
        event->ignore();
        return;
    }
    KeepPlace(saveGeometry());
}

bool MainWindow::event(QEvent* event)
{
    // The status line always says what the program knows; a button's tip
    // under the mouse must not take its place.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && !event->isAutoRepeat())
        helpWindow->show();
    if (event->key() == Qt::Key_F5 && !event->isAutoRepeat())
        SearchAgain();
    QMainWindow::keyPressEvent(event);
}

void MainWindow::moveEvent(QMoveEvent*)
{
    CentreProgressWindow();
}

void MainWindow::CentreProgressWindow()
{
    const QRect main = frameGeometry();
    const QRect progress = progressWindow->frameGeometry();
    progressWindow->move(x() + (main.width() - progress.width()) / 2,
                         y() + (main.height() - progress.height()) / 2);
}

void MainWindow::DeviceChangeEvent()
{
    settleTimer.start(deviceSettleMs);
}

void MainWindow::SearchAgain()
{
    // A search under way already answers the request.
    if (!engine->Searching())
        RequestSearch();
}

void MainWindow::OpenSettings()
{
    SettingsWindow settings(engine, this);
    if (settings.exec() != QDialog::Accepted)
        return;
    // The port and the speed chosen are looked at now, not at the next start.
    if (engine->Searching())
    {
        searchTimer.stop();
        engine->AbandonSearch();
    }
    RequestSearch();
}

void MainWindow::RequestSearch()
{
    // Searching now would take the running transfer's port away from it,
    // empty the link whose pages are offered, or end the success text early.
    if (Busy())
    {
        searchPending = true;
        return;
    }
    StartSearch();
}

void MainWindow::ResumeSearch()
{
    // A device still settling brings its own search.
    if (searchPending && !settleTimer.isActive())
        QTimer::singleShot(0, this, &MainWindow::RequestSearch);
}

void MainWindow::StartSearch()
{
    searchPending = false;
    // One search answers every change reported so far.
    deviceWatcher->Discard();
    searchButton->setEnabled(false);
    const int waitMs = engine->BeginSearch();
    ui.trnsfrDataButton->setEnabled(engine->deviceFound);
    ShowStatus(SearchStatus());
    StepSearch(waitMs);
}

void MainWindow::StepSearch(int waitMs)
{
    if (waitMs >= 0)
    {
        searchTimer.start(waitMs);
        return;
    }
    searchButton->setEnabled(true);
    ui.trnsfrDataButton->setEnabled(engine->deviceFound);
    // A Settings.ini or Limits.ini the program could not understand is said
    // once, in place of the first search's outcome, which its tip still holds.
    QStringList notices{engine->SettingsNotice(), engine->LimitsNotice()};
    notices.removeAll(QString());
    if (!settingsNoticeShown && !notices.isEmpty())
    {
        settingsNoticeShown = true;
        ShowStatus(notices.join(QLatin1Char(' ')),
                   SearchStatus() + QLatin1Char('\n') + engine->SearchDetails());
        return;
    }
    ShowStatus(SearchStatus(), engine->SearchDetails());
}

QString MainWindow::SearchStatus() const
{
    if (engine->Searching())
        return tr("Searching for the instrument…");
    // The family is known once a transfer from that port revealed it.
    if (engine->deviceFound && !knownFamily.isEmpty() && engine->CurrentPortLabel() == knownPort)
        return tr("%1 on %2").arg(knownFamily, knownPort);
    return engine->SearchSummary();
}

QString MainWindow::ResultsStatus() const
{
    int records = 0;
    int groups = 0;
    for (int group = 1; group <= engine->data.groupCount; ++group)
    {
        const int n = engine->data.RecordCount(group);
        records += n;
        groups += n > 0 ? 1 : 0;
    }
    QString text;
    if (records == 1)
        text = tr("1 measurement in 1 group");
    else if (groups == 1)
        text = tr("%n measurements in 1 group", nullptr, records);
    else
        text = tr("%n measurements in %1 groups", nullptr, records).arg(groups);
    // Results kept from a transfer that did not complete say so.
    if (engine->incomplete.pagesAnnounced > 0)
        text = tr("Incomplete: %1 of %2 pages")
                   .arg(engine->incomplete.pagesReceived)
                   .arg(engine->incomplete.pagesAnnounced) +
               QStringLiteral(" \u2014 ") + text;
    // A transfer the archive could not keep is shown all the same, with why.
    if (!engine->ArchiveNotice().isEmpty())
        text += QStringLiteral(" \u2014 ") + engine->ArchiveNotice();
    return text;
}

void MainWindow::ShowStatus(const QString& text, const QString& details)
{
    statusText = text;
    statusDetails = details;
    FitStatus();
}

void MainWindow::FitStatus()
{
    // The line holds two lines of text: a longer one ends in "…" rather
    // than showing lines cut in half, and its tip has the whole of it.
    const QFontMetrics metrics = statusLabel->fontMetrics();
    const int width = statusLabel->contentsRect().width();
    const auto fits = [&](const QString& shown) {
        return metrics
                   .boundingRect(QRect(0, 0, width, 100 * metrics.lineSpacing()), Qt::TextWordWrap,
                                 shown)
                   .height() <= 2 * metrics.lineSpacing();
    };
    QString shown = statusText;
    if (width > 0 && !fits(shown))
    {
        int low = 0;
        int high = int(statusText.size());
        while (low < high) // the longest beginning that fits with its "…"
        {
            const int middle = (low + high + 1) / 2;
            if (fits(statusText.left(middle).trimmed() + QChar(0x2026)))
                low = middle;
            else
                high = middle - 1;
        }
        // A word is not cut in the middle when an earlier break will do.
        const int space = statusText.lastIndexOf(QLatin1Char(' '), low);
        if (low < statusText.size() && statusText[low] != QLatin1Char(' ') && space > 0)
            low = space;
        shown = statusText.left(low).trimmed() + QChar(0x2026);
    }
    statusLabel->setText(shown);
    // A screen reader reads the whole text, not the part that fitted.
    statusLabel->setAccessibleName(statusText);
    // The whole text when a part had to give way, and what lies behind it.
    QString tip = statusDetails;
    if (shown != statusText)
        tip = statusText.contains(statusDetails) ? statusText
                                                 : statusText + QLatin1Char('\n') + statusDetails;
    statusLabel->setToolTip(tip);
}

void MainWindow::FillTable()
{
    const int groups = engine->data.groupCount;
    const bool sorting = ui.tableWidget->isSortingEnabled();
    ui.tableWidget->setSortingEnabled(false);
    ui.tableWidget->clearContents();
    ui.tableWidget->setRowCount(0);
    for (int group = 1; group <= groups; ++group)
        AddGroupRows(group);
    ui.tableWidget->setSortingEnabled(sorting);
    // Fresh rows come in the order they are saved in.
    ui.tableWidget->horizontalHeader()->setSortIndicatorShown(false);
    sortColumn = -1;
    savedOrderAction->setEnabled(false);
}

void MainWindow::SortBy(int column)
{
    // First click ascending, second descending, third back to the order
    // the instrument sent and the files keep.
    QHeaderView* header = ui.tableWidget->horizontalHeader();
    if (column != sortColumn)
        sortOrder = Qt::AscendingOrder;
    else if (sortOrder == Qt::AscendingOrder)
        sortOrder = Qt::DescendingOrder;
    else
        return OriginalOrder();
    sortColumn = column;
    ui.tableWidget->sortItems(column, sortOrder);
    header->setSortIndicator(column, sortOrder);
    header->setSortIndicatorShown(true);
    savedOrderAction->setEnabled(true);
}

void MainWindow::OriginalOrder()
{
    FillTable();
}

QList<int> MainWindow::ChosenRows() const
{
    // The rows chosen, top to bottom as shown; all of them when none is.
    QList<int> rows;
    for (const QModelIndex& index : ui.tableWidget->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        for (int r = 0; r < ui.tableWidget->rowCount(); ++r)
            rows << r;
    return rows;
}

void MainWindow::CopyRows()
{
    QApplication::clipboard()->setText(TableText(ui.tableWidget, ChosenRows()));
}

void MainWindow::TableMenu(const QPoint& at)
{
    QMenu menu(ui.tableWidget);
    menu.addAction(tr("Copy"), QKeySequence::Copy, this, &MainWindow::CopyRows);
    menu.addAction(tr("Select All"), QKeySequence::SelectAll, ui.tableWidget,
                   &QTableWidget::selectAll);
    menu.addSeparator();
    menu.addActions(sortActions);
    menu.addAction(savedOrderAction);
    menu.exec(ui.tableWidget->viewport()->mapToGlobal(at));
}

void MainWindow::CreateSortKeys()
{
    // Sorting without the mouse: Ctrl+1 to Ctrl+4 do what a click on that
    // column's title does, Ctrl+0 brings back the saved order. The table's
    // menu and the titles' tips name the keys.
    for (int column = 0; column < ui.tableWidget->columnCount(); ++column)
    {
        QTableWidgetItem* title = ui.tableWidget->horizontalHeaderItem(column);
        const QKeySequence key(Qt::CTRL | (Qt::Key_1 + column));
        auto* sort = new QAction(tr("Sort by %1").arg(title ? title->text() : QString()), this);
        sort->setShortcut(key);
        sort->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(sort, &QAction::triggered, this, [this, column] { SortBy(column); });
        ui.tableWidget->addAction(sort);
        sortActions << sort;
        if (title)
            title->setToolTip(tr("Sort by this column: click or %1; again for the reverse "
                                 "order, a third time for the saved order")
                                  .arg(key.toString(QKeySequence::NativeText)));
    }
    savedOrderAction = new QAction(tr("Saved order"), this);
    savedOrderAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    savedOrderAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    savedOrderAction->setEnabled(false);
    connect(savedOrderAction, &QAction::triggered, this, &MainWindow::OriginalOrder);
    ui.tableWidget->addAction(savedOrderAction);
}

void MainWindow::AddGroupRows(int group)
{
    const int n = engine->data.RecordCount(group);
    const int first = ui.tableWidget->rowCount();
    ui.tableWidget->setRowCount(first + n);
    int row = first;
    int added = 0;
    for (int position = 1; position <= n; ++position)
    {
        CMeasurement record;
        if (!engine->data.GetRecord(group, position, &record))
            continue;
        ui.tableWidget->setItem(row, 0, new CNumberItem(QString::number(group, 10)));
        ui.tableWidget->setItem(row, 1, new CNumberItem(QString::number(record.cell, 10)));
        auto* unit = new CNumberItem;
        unit->setText(engine->UnitText(record.unit));
        auto* result = new CNumberItem;
        result->setText(FormatValue(record));
        result->setData(PositionRole, position);
        MarkReading(result, record);
        ui.tableWidget->setItem(row, 2, result);
        ui.tableWidget->setItem(row, 3, unit);
        ++row;
        ++added;
    }
    ui.tableWidget->setRowCount(first + added);
}

void MainWindow::MarkReading(QTableWidgetItem* item, const CMeasurement& record)
{
    const Limit* limit = Limits::Find(engine->Limits(), record.group, record.unit);
    switch (Limits::Judge(limit, ExactValue(record)))
    {
    case Limits::Verdict::High:
        item->setIcon(MarkIcon(true));
        item->setForeground(MarkColour);
        item->setToolTip(tr("Above the high limit %1").arg(LocalNumber(*limit->high)));
        break;
    case Limits::Verdict::Low:
        item->setIcon(MarkIcon(false));
        item->setForeground(MarkColour);
        item->setToolTip(tr("Below the low limit %1").arg(LocalNumber(*limit->low)));
        break;
    default:
        item->setIcon(QIcon());
        item->setData(Qt::ForegroundRole, QVariant());
        item->setToolTip(QString());
        break;
    }
}

void MainWindow::MarkReadings()
{
    // In whatever order the rows stand: each value knows its record.
    QTableWidget* table = ui.tableWidget;
    for (int r = 0; r < table->rowCount(); ++r)
    {
        QTableWidgetItem* value = table->item(r, 2);
        CMeasurement record;
        if (value && table->item(r, 0) &&
            engine->data.GetRecord(table->item(r, 0)->text().toInt(),
                                   value->data(PositionRole).toInt(), &record))
            MarkReading(value, record);
    }
}

void MainWindow::SetViewState(int state)
{
    ui.trnsfrDataButton->setEnabled(engine->deviceFound);

    switch (state)
    {
    case NoResults:
        setWindowTitle(formTitle);
        ShowStatus(SearchStatus(), engine->Searching() ? QString() : engine->SearchDetails());
        ui.tableWidget->hide();
        ui.saveAsButton->setEnabled(false);
        ui.statisticsButton->setEnabled(false);
        statisticsWindow->hide(); // its figures belong to the results that are gone
        progressWindow->hide();
        ui.bckgroundLabel->show();
        break;
    case TransferRunning:
        // Every transfer starts from an empty bar, whatever the last one reached.
        emit ProgressChanged(0);
        progressWindow->show();
        break;
    case ResultsShown:
        setWindowTitle(ResultsTitle());
        FillTable();
        ShowStatus(ResultsStatus());
        ui.bckgroundLabel->hide();
        progressWindow->hide();
        ui.tableWidget->show();
        ui.saveAsButton->setEnabled(true);
        ui.statisticsButton->setEnabled(true);
        if (statisticsWindow->isVisible())
            ShowStatistics(); // figures of the new results
        if (historyWindow->isVisible())
            historyWindow->Refresh(); // the transfer just kept
        break;
    }
}

void MainWindow::setButtonIcon(QAbstractButton* button, QString imagePath, QString maskPath)
{
    QIcon icon;
    QPixmap picture(imagePath);
    // Loading as a bitmap dithers the mask's grey edges to black and white, so
    // each pixel ends fully opaque or fully transparent: the magenta behind
    // the picture never shows, not even half-blended at an edge.
    const QBitmap mask(maskPath);
    if (!picture.isNull() && !mask.isNull() && mask.size() == picture.size())
    {
        QImage withAlpha = picture.toImage().convertToFormat(QImage::Format_ARGB32);
        withAlpha.setAlphaChannel(mask.toImage());
        picture = QPixmap::fromImage(withAlpha);
    }
    // Only the normal pixmaps: the toolkit greys them for a disabled button.
    icon.addPixmap(picture, QIcon::Normal, QIcon::Off);
    // Beside each bitmap lies its drawing with twice the pixels and real
    // transparency; the icon hands it to screens of ratio 2 instead of
    // enlarging the bitmap.
    QPixmap sharp(QString(imagePath).replace(".bmp", "@2x.png"));
    if (!sharp.isNull())
    {
        sharp.setDevicePixelRatio(2);
        icon.addPixmap(sharp, QIcon::Normal, QIcon::Off);
    }
    button->setIcon(icon);
}

void MainWindow::CreateAboutWindow()
{
    aboutWindow =
        new QWidget(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    aboutUi.setupUi(aboutWindow);
    connect(ui.aboutButton, &QToolButton::clicked, aboutWindow, &QWidget::show);
}

void MainWindow::CreateHelpWindow()
{
    helpWindow = new QWidget(this, Qt::Window);
    helpUi.setupUi(helpWindow);

    // Pages come from the Help folder beside the program (or in the share
    // folder of an installation), their pictures from its Images folder;
    // without the folder the window opens blank.
    const QString helpFolder = Installation::ShareFolder() + "Help";
    helpUi.helpTBrowser->setSearchPaths(QStringList() << helpFolder << helpFolder + "//Images");
    // The start page is a translated text, so a catalogue can name its own.
    helpUi.helpTBrowser->setSource(QUrl(tr("index.html")));
    helpWindow->setWindowTitle(tr("Parvesta help"));
    // Back and Home above the page, and lines that wrap to the window's
    // width instead of running out to the side.
    QTextBrowser* browser = helpUi.helpTBrowser;
    browser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    browser->setLineWrapMode(QTextEdit::WidgetWidth);
    browser->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    auto* back = new QToolButton(helpWindow);
    back->setObjectName(QStringLiteral("backButton"));
    back->setText(tr("Back"));
    back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    auto* home = new QToolButton(helpWindow);
    home->setObjectName(QStringLiteral("homeButton"));
    home->setText(tr("Home"));
    home->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    for (QToolButton* button : {back, home})
    {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
    }
    connect(back, &QToolButton::clicked, browser, &QTextBrowser::backward);
    connect(home, &QToolButton::clicked, browser, &QTextBrowser::home);
    connect(browser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(back);
    row->addWidget(home);
    row->addStretch(1);
    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    helpUi.horizontalLayout->removeWidget(browser);
    column->addLayout(row);
    column->addWidget(browser);
    helpUi.horizontalLayout->addLayout(column);
    connect(ui.helpButton, &QToolButton::clicked, helpWindow, &QWidget::show);
}

void MainWindow::CreateKeys()
{
    // The two actions a technician repeats all day have keys of their own;
    // the tips say which.
    const auto keyed = [](QToolButton* button, const QKeySequence& key) {
        button->setShortcut(key);
        const QString tip = button->toolTip() + QStringLiteral(" (") +
                            key.toString(QKeySequence::NativeText) + QLatin1Char(')');
        button->setToolTip(tip);
    };
    keyed(ui.trnsfrDataButton, QKeySequence(Qt::CTRL | Qt::Key_T));
    keyed(ui.saveAsButton, QKeySequence::Save);
    keyed(ui.historyButton, QKeySequence(Qt::CTRL | Qt::Key_H));
    for (QToolButton* button : {ui.trnsfrDataButton, ui.saveAsButton, ui.statisticsButton,
                                ui.historyButton, ui.helpButton, ui.aboutButton})
    {
        // The buttons show only pictures: a screen reader says their words.
        button->setAccessibleName(button->text());
    }
    // Which button Tab reached must be plain to see on any style.
    ui.centralWidget->setStyleSheet(QStringLiteral(
        "QToolButton:focus { border: 2px solid palette(highlight); border-radius: 3px; }"));
    // Tab moves on to the buttons instead of from cell to cell.
    ui.tableWidget->setTabKeyNavigation(false);
    // Esc puts the Help, About and Statistics windows away.
    for (QWidget* window : {helpWindow, aboutWindow, static_cast<QWidget*>(statisticsWindow)})
        window->installEventFilter(this);
}

void MainWindow::CreateStatusLine()
{
    QStatusBar* line = statusBar();
    line->setObjectName(QStringLiteral("statusBar"));
    // The window's frame resizes it; a grip would take room from the text.
    line->setSizeGripEnabled(false);
    statusLabel = new QLabel(line);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    // Two lines: room for a reason and what to do about it. A fixed height
    // keeps the window from jumping as the text changes.
    statusLabel->setWordWrap(true);
    statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusLabel->setContentsMargins(4, 0, 0, 0);
    statusLabel->setFixedHeight(2 * statusLabel->fontMetrics().lineSpacing() + 2);
    statusLabel->installEventFilter(this);
    line->addWidget(statusLabel, 1);
    // The two buttons one above the other, each a line high: the text keeps
    // the width it needs for its two lines in the narrowest window.
    auto* tools = new QWidget(line);
    auto* toolsLayout = new QVBoxLayout(tools);
    toolsLayout->setContentsMargins(0, 0, 0, 0);
    toolsLayout->setSpacing(0);
    const int toolHeight = statusLabel->height() / 2 + 1;
    const QSize toolIcon(toolHeight - 4, toolHeight - 4);
    searchButton = new QToolButton(tools);
    searchButton->setObjectName(QStringLiteral("searchButton"));
    searchButton->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    searchButton->setText(tr("Search again"));
    searchButton->setToolTip(tr("Search for the instrument again (F5)"));
    searchButton->setAutoRaise(true);
    searchButton->setIconSize(toolIcon);
    searchButton->setFixedHeight(toolHeight);
    toolsLayout->addWidget(searchButton);
    connect(searchButton, &QToolButton::clicked, this, &MainWindow::SearchAgain);
    settingsButton = new QToolButton(tools);
    settingsButton->setObjectName(QStringLiteral("settingsButton"));
    settingsButton->setIcon(GearIcon(palette().color(QPalette::ButtonText)));
    settingsButton->setText(tr("Settings"));
    settingsButton->setAccessibleName(settingsButton->text());
    // Ctrl+, is where other programs keep their settings; the platform's own
    // key for them is empty on Linux.
    const QKeySequence settingsKey(Qt::CTRL | Qt::Key_Comma);
    settingsButton->setShortcut(settingsKey);
    settingsButton->setToolTip(
        tr("Port, speed and data folder (%1)").arg(settingsKey.toString(QKeySequence::NativeText)));
    settingsButton->setAutoRaise(true);
    settingsButton->setIconSize(toolIcon);
    settingsButton->setFixedHeight(toolHeight);
    toolsLayout->addWidget(settingsButton);
    line->addPermanentWidget(tools);
    connect(settingsButton, &QToolButton::clicked, this, &MainWindow::OpenSettings);
    // The window grows by the status line: the picture and the table keep
    // the room the form gives them.
    resize(width(), height() + line->sizeHint().height());
}

void MainWindow::CreateProgressWindow()
{
    progressWindow = new QWidget(this, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowTitleHint |
                                           Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint);
    progressUi.setupUi(progressWindow);
    progressUi.messageLabel->hide();
    progressUi.messageLabel->setWordWrap(true); // the stall text takes a few lines
    progressFormSize = progressWindow->size();
    connect(this, &MainWindow::ProgressChanged, progressUi.progressBar, &QProgressBar::setValue);
    // Cancel, or Esc, stops the transfer right where the user looks, as
    // Transfer Data does in the main window.
    cancelButton = new QPushButton(tr("Cancel"), progressWindow);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    progressUi.verticalLayout->addSpacing(6);
    progressUi.verticalLayout->addWidget(cancelButton, 0, Qt::AlignHCenter);
    connect(cancelButton, &QPushButton::clicked, this, &MainWindow::CancelFromProgress);
    progressWindow->installEventFilter(this);
    FitProgressWindow();
}

void MainWindow::CreateStatisticsWindow()
{
    statisticsWindow = new StatisticsWindow(engine, this);
    connect(ui.statisticsButton, &QToolButton::clicked, this, &MainWindow::ShowStatistics);
    connect(statisticsWindow, &StatisticsWindow::LimitsChanged, this, &MainWindow::MarkReadings);
}

void MainWindow::PlaceStatistics()
{
    // Beside the main window, so the figures and the rows they sum up are
    // seen together.
    PlaceBeside(statisticsWindow);
}

void MainWindow::PlaceBeside(QWidget* window)
{
    // On the side where the screen has room.
    const QRect main = frameGeometry();
    QRect beside(QPoint(main.right() + 1, main.top()), window->frameGeometry().size());
    const QScreen* screen = this->screen();
    if (screen)
    {
        const QRect room = screen->availableGeometry();
        if (beside.right() > room.right())
            beside.moveRight(main.left() - 1);
        if (beside.left() < room.left())
            beside.moveLeft(std::max(room.left(), room.right() - beside.width() + 1));
        if (beside.bottom() > room.bottom())
            beside.moveBottom(room.bottom());
        if (beside.top() < room.top())
            beside.moveTop(room.top());
    }
    window->move(beside.topLeft());
}

void MainWindow::ShowStatistics()
{
    statisticsWindow->Fill();
    if (!statisticsWindow->isVisible())
        PlaceStatistics();
    statisticsWindow->show();
    statisticsWindow->raise();
}

void MainWindow::CreateHistoryWindow()
{
    ui.historyButton->setIcon(HistoryWindow::Icon());
    // Six pictures share the 288 pixels the window had when its width was
    // fixed: each button a little narrower than the style would make it.
    for (QToolButton* button : {ui.trnsfrDataButton, ui.saveAsButton, ui.statisticsButton,
                                ui.historyButton, ui.helpButton, ui.aboutButton})
        button->setFixedWidth(288 / 6);
    historyWindow = new HistoryWindow(engine, this);
    connect(ui.historyButton, &QToolButton::clicked, this, &MainWindow::ShowHistory);
    connect(historyWindow, &HistoryWindow::OpenTransfer, this, &MainWindow::OpenArchived);
}

void MainWindow::ShowHistory()
{
    if (!historyWindow->isVisible())
        PlaceBeside(historyWindow);
    historyWindow->show();
    historyWindow->raise();
    historyWindow->activateWindow();
}

void MainWindow::OpenArchived(const QString& id)
{
    // Not over a transfer under way, its success text or pages on offer.
    if (Busy() || !CheckUnsavedData())
        return;
    if (!engine->LoadArchived(id))
    {
        QMessageBox::warning(
            historyWindow, historyWindow->windowTitle(),
            tr("The transfer could not be opened: %1").arg(engine->Archive().Error()));
        return;
    }
    // What the archive keeps is not lost when other results replace it.
    engine->unsavedData = false;
    openedTime = engine->downloaded;
    SetViewState(ResultsShown);
}
