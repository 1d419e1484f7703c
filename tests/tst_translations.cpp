// The program in Russian and in English. With the compiled Russian catalogue
// installed every window and engine text is Russian, the help window opens
// the Russian page and the CSV file carries Russian words; without it all
// stays English. Also: the catalogue keeps what the program relies on in its
// texts, the Russian texts fit the narrow window, and a Russian build places
// its catalogues beside the program.
#include "app/MainWindow.h"
#include "engine/CQuorvanta.h"
#include "sim/PinnedPorts.h"
#include "support/Records.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>
#include <memory>

namespace
{
const QString CompiledCatalogue = QStringLiteral(PARVESTA_CATALOGUE);
const QString SourceCatalogue = QStringLiteral(PARVESTA_SOURCE_DIR "/translations/quorvanta_ru.ts");
const QString SourceHelp = QStringLiteral(PARVESTA_SOURCE_DIR "/Help");
const QString ProgramFolder = QStringLiteral(PARVESTA_PROGRAM_DIR);
constexpr bool RussianBuild = PARVESTA_RUSSIAN_BUILD;

QString AppDir()
{
    return QCoreApplication::applicationDirPath();
}

QString SettingsPath()
{
    return AppDir() + "/Settings.ini";
}

// The program's Russian catalogue, installed for as long as this lives.
class Russian
{
public:
    Russian()
    {
        loaded = translator.load(CompiledCatalogue);
        if (loaded)
            QCoreApplication::installTranslator(&translator);
    }
    ~Russian() { QCoreApplication::removeTranslator(&translator); }
    Russian(const Russian&) = delete;
    Russian& operator=(const Russian&) = delete;

    bool loaded = false;

private:
    QTranslator translator;
};

// A catalogue whose background picture names nothing the program carries.
class MissingBackground : public QTranslator
{
public:
    QString translate(const char* context, const char* source, const char* = nullptr,
                      int = -1) const override
    {
        if (QByteArray(context) == "MainWindow" && QByteArray(source) == ":/Image/background.bmp")
            return ":/Image/background_xx.bmp";
        return QString();
    }
    bool isEmpty() const override { return false; }
};

QImage Shown(QWidget* window)
{
    const QLabel* label = window->findChild<QLabel*>("bckgroundLabel");
    return label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Resource(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

bool CopyFolder(const QString& from, const QString& to)
{
    QDir(to).removeRecursively();
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

// A window text named "object.property"; "tableWidget.headerN" is the title
// of column N.
QString Text(QWidget* window, const QString& key)
{
    const QString object = key.section('.', 0, 0);
    const QString property = key.section('.', 1);
    if (property.startsWith("header"))
    {
        auto* table = window->findChild<QTableWidget*>(object);
        QTableWidgetItem* item = table ? table->horizontalHeaderItem(property.mid(6).toInt()) : nullptr;
        return item ? item->text() : "<no header>";
    }
    QObject* o = window->objectName() == object ? window : window->findChild<QObject*>(object);
    if (!o)
        return "<no " + object + ">";
    const QVariant value = o->property(property.toLatin1());
    return value.userType() == QMetaType::QUrl ? value.toUrl().toString() : value.toString();
}

QString EngineText(const CQuorvanta& engine, const QString& key)
{
    const QMap<QString, QString> texts = {
        {"msgSuccess", engine.msgSuccess},
        {"msgFailed", engine.msgFailed},
        {"msgUnsavedTitle", engine.msgUnsavedTitle},
        {"msgUnsavedQuestion", engine.msgUnsavedQuestion},
        {"textGroup", engine.textGroup},
        {"textOf", engine.textOf},
        {"textDataTransfer", engine.textDataTransfer},
        {"unit 0", engine.UnitText(0)},
        {"unit 1", engine.UnitText(1)},
        {"unit 2", engine.UnitText(2)},
        {"unit 3", engine.UnitText(3)},
        {"unit 4", engine.UnitText(4)},
        {"csvHeader", engine.csvHeader},
        {"data folder", engine.dataPath.mid(engine.appDir.size())},
    };
    return texts.value(key, "<no " + key + ">");
}

// What a rich-text page looks like, block by block: alignment and the font
// size, weight and colour of every piece, pictures by name. Texts apart.
QStringList Shape(const QTextDocument* document)
{
    QStringList shape;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
    {
        const QTextCharFormat b = block.charFormat();
        QString line = QString("align %1 | %2 %3 %4").arg(int(block.blockFormat().alignment()))
                           .arg(b.fontPointSize()).arg(b.fontWeight()).arg(b.foreground().color().name());
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            const QTextCharFormat f = it.fragment().charFormat();
            line += f.isImageFormat() ? QString(" | image %1").arg(f.toImageFormat().name())
                                      : QString(" | %1 %2 %3").arg(f.fontPointSize()).arg(f.fontWeight())
                                            .arg(f.foreground().color().name());
        }
        shape << line;
    }
    return shape;
}

QStringList BlockTexts(const QTextDocument* document)
{
    QStringList texts;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        texts << block.text();
    return texts;
}

// Pictures, anchors and links of a help page, in the order they appear.
struct PageParts
{
    QStringList images, anchors, links;
};

PageParts Parts(const QTextDocument* document)
{
    PageParts parts;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
    {
        // An empty named anchor marks the heading block that follows it.
        parts.anchors << block.charFormat().anchorNames();
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                parts.images << f.toImageFormat().name();
            parts.anchors << f.anchorNames();
            if (f.isAnchor() && !f.anchorHref().isEmpty() &&
                (parts.links.isEmpty() || parts.links.last() != f.anchorHref()))
                parts.links << f.anchorHref();
        }
    }
    parts.anchors.removeDuplicates();
    return parts;
}

struct Message
{
    QString context, source, translation, type;
};

QList<Message> ReadCatalogue(const QString& path, QString* error)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        *error = "cannot read " + path;
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message m;
    while (!xml.atEnd())
    {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.name() == u"message")
            m = Message{context, {}, {}, {}};
        else if (xml.name() == u"source")
            m.source = xml.readElementText();
        else if (xml.name() == u"translation")
        {
            m.type = xml.attributes().value("type").toString();
            m.translation = xml.readElementText();
            messages << m;
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

QStringList All(const QString& text, const QString& pattern)
{
    QStringList found;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    return found;
}

// Answers the next modal window with the given action, once it is shown.
void WhenModal(std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        answer(w);
    });
    timer->start(20);
}

bool WaitForTable(QWidget* window)
{
    auto* table = window->findChild<QTableWidget*>("tableWidget");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000 && !table->isVisible())
        QTest::qWait(50);
    return table->isVisible();
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The same windows in both languages, over the real help pages and
        // with no serial device of this machine taking part.
        ports = std::make_unique<PinnedPorts>();
        QFile::remove(SettingsPath());
        QVERIFY(CopyFolder(SourceHelp, AppDir() + "/Help"));
        english = std::make_unique<MainWindow>();
        Russian russian;
        QVERIFY2(russian.loaded, qPrintable(CompiledCatalogue));
        inRussian = std::make_unique<MainWindow>();
    }

    // Each engine starts without a settings file, so its folder is its own.
    void init() { QFile::remove(SettingsPath()); }

    void cleanupTestCase()
    {
        english.reset();
        inRussian.reset();
        ports.reset();
        QDir(AppDir() + "/Help").removeRecursively();
        QFile::remove(SettingsPath());
    }

    void windowTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("inEnglish");
        QTest::addColumn<QString>("inRussian");
        QTest::newRow("main window title") << "MainWindowGUI.windowTitle" << "Parvesta" << "Parvesta";
        QTest::newRow("Transfer Data tip") << "trnsfrDataButton.toolTip"
                                           << "Transfer data from the device" << "Передать данные из прибора";
        QTest::newRow("Transfer Data status tip") << "trnsfrDataButton.statusTip"
                                                  << "Transfer data from the device"
                                                  << "Передать данные из прибора";
        QTest::newRow("Transfer Data name") << "trnsfrDataButton.text" << "Transfer Data"
                                            << "Передать данные";
        QTest::newRow("Save As tip") << "saveAsButton.toolTip" << "Save data as .csv"
                                     << "Сохранить данные в файл .csv";
        QTest::newRow("Save As name") << "saveAsButton.text" << "Save As" << "Сохранить как";
        QTest::newRow("Help tip") << "helpButton.whatsThis" << "Open help" << "Открыть справку";
        QTest::newRow("About tip") << "aboutButton.toolTip" << "About Quorvanta" << "Сведения о программе";
        QTest::newRow("About name") << "aboutButton.text" << "About" << "О программе";
        QTest::newRow("column 1") << "tableWidget.header0" << "Group" << "Группа";
        QTest::newRow("column 2") << "tableWidget.header1" << "Cell" << "Ячейка";
        QTest::newRow("column 3") << "tableWidget.header2" << "Result" << "Значение";
        QTest::newRow("column 4") << "tableWidget.header3" << "Unit" << "Ед. изм.";
        QTest::newRow("grey around the picture")
            << "bckgroundLabel.styleSheet" << "background-color: rgb(161, 161, 161);"
            << "background-color: rgb(161, 161, 161);";
        QTest::newRow("progress window") << "ProgressWindowGUI.windowTitle" << "Receiving Data"
                                         << "Приём данных";
        QTest::newRow("help window") << "HelpWindowGUI.windowTitle" << "Parvesta help"
                                     << "Справка Parvesta";
        QTest::newRow("help start page") << "helpTBrowser.source" << "index.html" << "index_ru.html";
        QTest::newRow("About window") << "AboutWindowGUI.windowTitle" << "About Parvesta"
                                      << "О программе Parvesta";
    }
    void windowTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, inEnglish);
        QFETCH(QString, inRussian);
        QCOMPARE(Text(english.get(), key), inEnglish);
        QCOMPARE(Text(this->inRussian.get(), key), inRussian);
    }

    void helpWindowOpensThePageOfItsLanguage()
    {
        auto* en = english->findChild<QTextBrowser*>("helpTBrowser");
        auto* ru = inRussian->findChild<QTextBrowser*>("helpTBrowser");
        QVERIFY(en->toPlainText().contains("Connecting the instrument"));
        QVERIFY(ru->toPlainText().contains("Подключение прибора"));
        QVERIFY(!ru->toPlainText().contains("Connecting the instrument"));
        QCOMPARE(ru->documentTitle(), QString("Справка Parvesta"));
    }

    // The Russian page is the English one in other words: the same pictures
    // in the same places, the same sections to jump to, no dead link.
    void russianHelpPageMatchesTheEnglishOne()
    {
        auto* en = english->findChild<QTextBrowser*>("helpTBrowser");
        auto* ru = inRussian->findChild<QTextBrowser*>("helpTBrowser");
        const PageParts e = Parts(en->document());
        const PageParts r = Parts(ru->document());
        QCOMPARE(r.images, e.images);
        QCOMPARE(r.anchors, e.anchors);
        QCOMPARE(r.links, e.links);
        QVERIFY(e.images.size() >= 7);
        QVERIFY(e.anchors.size() >= 8);
        QVERIFY(e.links.size() >= 8);
        for (const QString& link : r.links)
            QVERIFY2(link.startsWith('#') && r.anchors.contains(link.mid(1)), qPrintable(link));
        for (const QString& image : r.images)
        {
            const QVariant picture = ru->document()->resource(QTextDocument::ImageResource, QUrl(image));
            QImage loaded = picture.value<QImage>();
            if (loaded.isNull())
                loaded = QImage::fromData(picture.toByteArray());
            QVERIFY2(!loaded.isNull(), qPrintable(image));
        }
    }

    // The background has words drawn into it: each language shows its own
    // picture, and a catalogue naming a missing one leaves the English one.
    void backgroundPictureOfItsLanguage()
    {
        const QImage en = Resource(":/Image/background.bmp");
        const QImage ru = Resource(":/Image/background_ru.bmp");
        QCOMPARE(en.size(), QSize(288, 355));
        QCOMPARE(ru.size(), en.size());
        QVERIFY(ru != en);
        QCOMPARE(Shown(english.get()), en);
        QCOMPARE(Shown(inRussian.get()), ru);

        MissingBackground missing;
        QCoreApplication::installTranslator(&missing);
        QCOMPARE(QCoreApplication::translate("MainWindow", ":/Image/background.bmp"),
                 QString(":/Image/background_xx.bmp"));
        const QImage shown = Shown(std::make_unique<MainWindow>().get());
        QCoreApplication::removeTranslator(&missing);
        QCOMPARE(shown, en);
    }

    void engineTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("inEnglish");
        QTest::addColumn<QString>("inRussian");
        QTest::newRow("success") << "msgSuccess" << "Data transfer completed successfully."
                                 << "Данные успешно переданы.";
        QTest::newRow("failure") << "msgFailed" << "Data transfer failed! Please try again."
                                 << "Ошибка передачи данных! Повторите попытку.";
        QTest::newRow("question title") << "msgUnsavedTitle" << "Received data was not saved."
                                        << "Полученные данные не сохранены.";
        QTest::newRow("question") << "msgUnsavedQuestion"
                                  << "Received data will be lost. Do you want to save it?"
                                  << "Полученные данные будут потеряны. Сохранить их?";
        QTest::newRow("group") << "textGroup" << "Group" << "Группа";
        QTest::newRow("of") << "textOf" << "of" << "из";
        QTest::newRow("data transfer") << "textDataTransfer" << "Data transfer" << "Передача данных";
        QTest::newRow("velocity") << "unit 0" << "m/s" << "м/с";
        QTest::newRow("time") << "unit 1" << "us" << "мкс";
        QTest::newRow("thickness") << "unit 2" << "mm" << "мм";
        QTest::newRow("inches") << "unit 3" << "Inches" << "дюйм.";
        QTest::newRow("unknown unit") << "unit 4" << "" << "";
        QTest::newRow("CSV header") << "csvHeader" << "\"Group\";\"Cell\";\"Result\";\"Unit\""
                                    << "\"Группа\";\"Ячейка\";\"Значение\";\"Ед. изм.\"";
        // One folder name in every language: it is the folder users look for.
        QTest::newRow("data folder") << "data folder" << "Data/" << "Data/";
    }
    void engineTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, inEnglish);
        QFETCH(QString, inRussian);
        {
            CQuorvanta engine;
            QCOMPARE(EngineText(engine, key), inEnglish);
        }
        QFile::remove(SettingsPath());
        Russian russian;
        CQuorvanta engine;
        QCOMPARE(EngineText(engine, key), inRussian);
    }

    // The instructions keep their thirteen lines: model names, empty lines
    // and the blank that continues line 3 stay where they were.
    void instructionsKeepTheirLines()
    {
        QStringList en, ru;
        {
            CQuorvanta engine;
            en = engine.msgInstructions.split('\n');
        }
        {
            Russian russian;
            CQuorvanta engine;
            ru = engine.msgInstructions.split('\n');
        }
        QCOMPARE(en.size(), 13);
        QCOMPARE(ru.size(), 13);
        for (int i = 0; i < 13; ++i)
        {
            QCOMPARE(ru[i].isEmpty(), en[i].isEmpty());
            QCOMPARE(ru[i].endsWith(' '), en[i].endsWith(' '));
        }
        QVERIFY(ru[2].endsWith(' '));
        QCOMPARE(ru[0], QString("VX-40(VX-41)"));
        QCOMPARE(ru[6], QString("TR-620(\u041C)"));
        QCOMPARE(ru[11], QString("VX-77"));
        QCOMPARE(ru[1], QString("Подключите прибор к ПК USB-кабелем."));
        QVERIFY(ru[7].contains("ИК-приёмник"));
    }

    void csvFileInRussian()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("results1.csv");
        {
            Russian russian;
            CQuorvanta engine;
            engine.decimalSeparator = ",";
            for (const CMeasurement& r : {Record(1, 1, 1234, 100, 2), Record(1, 2, 486, 1000, 3),
                                          Record(2, 1, 5920, 1, 0), Record(2, 2, 337, 100, 1),
                                          Record(3, 1, 7, 0, 7)})
                engine.data.Append(r);
            QVERIFY(engine.WriteCsv(path.toLocal8Bit().constData()));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\"Группа\";\"Ячейка\";\"Значение\";\"Ед. изм.\"\r\n"
                                            "1;1;12,34;\"мм\"\r\n"
                                            "1;2;0,486;\"дюйм.\"\r\n"
                                            "2;1;5920;\"м/с\"\r\n"
                                            "2;2;3,37;\"мкс\"\r\n"
                                            "3;1;7;\"\"\r\n"));
    }

    // Only the words change on the About page; its layout stays.
    void aboutPageKeepsItsLayout()
    {
        const QTextDocument* en = english->findChild<QTextBrowser*>("aboutTBrowser")->document();
        const QTextDocument* ru = inRussian->findChild<QTextBrowser*>("aboutTBrowser")->document();
        QCOMPARE(Shape(ru), Shape(en));
        QCOMPARE(en->blockCount(), 14);
        QVERIFY(Shape(en)[3].contains("image :/Image/logo.bmp"));

        const QStringList e = BlockTexts(en);
        const QStringList r = BlockTexts(ru);
        QCOMPARE(r.size(), e.size());
        int translated = 0;
        for (int i = 0; i < e.size(); ++i)
        {
            if (e[i] == "developed by" || e[i] == "Trondheim, Norway")
            {
                QVERIFY(!r[i].isEmpty());
                translated += r[i] != e[i] ? 1 : 0;
            }
            else
                QCOMPARE(r[i], e[i]);
        }
        QCOMPARE(translated, 2);
        QVERIFY(e.contains("Parvesta v3.0"));
    }

    // The window is 288 pixels wide: column titles must not be cut, even
    // when the scroll bar takes its share, nor the message in the progress
    // window.
    void textsFitTheNarrowWindow_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::newRow("English") << false;
        QTest::newRow("Russian") << true;
    }
    void textsFitTheNarrowWindow()
    {
        QFETCH(bool, russian);
        MainWindow* window = russian ? inRussian.get() : english.get();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto* table = window->findChild<QTableWidget*>("tableWidget");
        auto* picture = window->findChild<QLabel*>("bckgroundLabel");
        picture->hide();
        table->show();
        table->setRowCount(200);
        QCoreApplication::processEvents();
        QVERIFY(table->verticalScrollBar()->isVisible());
        QHeaderView* header = table->horizontalHeader();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int c = 0; c < 4; ++c)
        {
            const QString title = table->horizontalHeaderItem(c)->text();
            const int needed = header->fontMetrics().horizontalAdvance(title) + 2 * margin;
            QVERIFY2(needed <= header->sectionSize(c),
                     qPrintable(QString("%1: %2 > %3").arg(title).arg(needed).arg(header->sectionSize(c))));
        }
        table->setRowCount(0);
        table->hide();
        picture->show();
        window->hide();

        std::unique_ptr<Russian> catalogue(russian ? new Russian : nullptr);
        CQuorvanta engine;
        auto* progress = window->findChild<QWidget*>("ProgressWindowGUI");
        auto* label = progress->findChild<QLabel*>("messageLabel");
        const QMargins around = progress->layout()->contentsMargins();
        label->setText(engine.msgSuccess);
        QVERIFY2(label->sizeHint().width() <= progress->maximumWidth() - around.left() - around.right(),
                 qPrintable(engine.msgSuccess));
        label->clear();
    }

    // Every message of the catalogue is finished and keeps what the program
    // or the user relies on: placeholders, file patterns, blanks at the
    // ends, line structure, instrument names, markup, the CSV fields.
    void catalogueKeepsWhatTheProgramReliesOn()
    {
        QString error;
        const QList<Message> messages = ReadCatalogue(SourceCatalogue, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QSet<QString> contexts;
        for (const Message& m : messages)
        {
            contexts << m.context;
            const QByteArray where = (m.context + ": " + m.source.left(60)).toUtf8();
            QVERIFY2(m.type.isEmpty() && !m.translation.isEmpty(), where);
            QVERIFY2(!m.translation.contains("\uFFFD"), where);

            auto sorted = [](QStringList l) {
                l.sort();
                return l;
            };
            QCOMPARE(sorted(All(m.translation, "%\\d")), sorted(All(m.source, "%\\d")));
            QCOMPARE(All(m.translation, "\\(\\*\\.\\w+\\)"), All(m.source, "\\(\\*\\.\\w+\\)"));
            QCOMPARE(m.translation.count('\n'), m.source.count('\n'));
            QCOMPARE(All(m.translation, "^\\s+|\\s+$"), All(m.source, "^\\s+|\\s+$"));
            for (const QString& model : All(m.source, "\\b[A-Z]{2}-\\d+(\\([^)]*\\))?"))
                QVERIFY2(m.translation.contains(model), where + " lost " + model.toUtf8());
            if (m.source.contains('<'))
                QCOMPARE(All(m.translation, "<[^>]*>"), All(m.source, "<[^>]*>"));
            if (m.source.startsWith('"'))
            {
                const QRegularExpression fields("^\"[^\";]+\"(;\"[^\";]+\")*$");
                QVERIFY2(fields.match(m.translation).hasMatch(), where);
                QCOMPARE(m.translation.count(';'), m.source.count(';'));
            }
            if (m.source.endsWith(".html"))
                QVERIFY2(QFile::exists(SourceHelp + "/" + m.translation), qPrintable(m.translation));
            // A picture the catalogue names is carried by the program, at the
            // size of the one it replaces: the window's width depends on it.
            if (m.source.startsWith(":/"))
            {
                QVERIFY2(m.translation.startsWith(":/"), where);
                const QImage picture(m.translation);
                QVERIFY2(!picture.isNull(), qPrintable(m.translation));
                QCOMPARE(picture.size(), QImage(m.source).size());
            }
        }
        QCOMPARE(contexts, QSet<QString>({"MainWindowGUI", "AboutWindowGUI", "HelpWindowGUI",
                                          "ProgressWindowGUI", "MainWindow", "CQuorvanta"}));
        QVERIFY(messages.size() >= 39);

        // The compiled catalogue is the one built from this file.
        QTranslator compiled;
        QVERIFY(compiled.load(CompiledCatalogue));
        for (const Message& m : messages)
            QCOMPARE(compiled.translate(m.context.toUtf8(), m.source.toUtf8()), m.translation);
    }

    // A Russian build places both catalogues beside the program, and Qt's
    // own texts of a message box turn Russian too; an ordinary build leaves
    // no catalogue there.
    void cataloguesBesideTheProgram()
    {
        const QString program = ProgramFolder + "/quorvanta.qm";
        const QString toolkit = ProgramFolder + "/qt_ru.qm";
        if (!RussianBuild)
        {
            QVERIFY(!QFile::exists(program));
            QVERIFY(!QFile::exists(toolkit));
            return;
        }
        QFile placed(program), compiled(CompiledCatalogue);
        QVERIFY(placed.open(QIODevice::ReadOnly));
        QVERIFY(compiled.open(QIODevice::ReadOnly));
        QCOMPARE(placed.readAll(), compiled.readAll());

        QTranslator qt, own;
        QVERIFY(qt.load(toolkit));
        QVERIFY(own.load(program));
        QCoreApplication::installTranslator(&qt);
        QCoreApplication::installTranslator(&own);
        QMessageBox box(QMessageBox::Warning, "", "", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        const QStringList buttons = {box.button(QMessageBox::Yes)->text(),
                                     box.button(QMessageBox::No)->text(),
                                     box.button(QMessageBox::Cancel)->text()};
        const QString filter = QCoreApplication::translate("MainWindow", "Measurements (*.csv)");
        QCoreApplication::removeTranslator(&own);
        QCoreApplication::removeTranslator(&qt);
        QCOMPARE(buttons, QStringList({"&Да", "&Нет", "Отмена"}));
        QCOMPARE(filter, QString("Результаты измерений (*.csv)"));
    }

    // A whole session in Russian with the virtual device: the table's units,
    // the save dialog's caption and filter, and the file it writes.
    void virtualTransferAndSaveInRussian()
    {
        QTemporaryDir data;
        {
            QFile settings(SettingsPath());
            QVERIFY(settings.open(QIODevice::WriteOnly));
            settings.write("Quorvanta Settings File\r\nLanguage:Rus\r\nVersion:3.0\r\nCOMSpeed:38400\r\n"
                           "COMPort:Any\r\nDataPath:" + data.path().toLocal8Bit() +
                           "/\r\nVirtualDevice:COM5\r\n");
        }
        Russian russian;
        MainWindow window;
        window.show();
        auto* transfer = window.findChild<QToolButton*>("trnsfrDataButton");
        QVERIFY(transfer->isEnabled());
        transfer->click();
        QVERIFY(WaitForTable(&window));
        auto* table = window.findChild<QTableWidget*>("tableWidget");
        QCOMPARE(table->rowCount(), 335);
        QCOMPARE(table->item(0, 3)->text(), QString("мм"));

        QString caption;
        QStringList filters;
        const QString path = data.filePath("итоги.csv");
        WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog)
                return;
            caption = dialog->windowTitle();
            filters = dialog->nameFilters();
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
                name->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        window.findChild<QToolButton*>("saveAsButton")->click();
        QTRY_VERIFY(QFile::exists(path));
        QCOMPARE(caption, QString("Сохранить результаты измерений как"));
        QCOMPARE(filters, QStringList{"Результаты измерений (*.csv)"});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readLine(), QByteArray("\"Группа\";\"Ячейка\";\"Значение\";\"Ед. изм.\"\r\n"));
        QCOMPARE(file.readLine(), QByteArray("1;1;0.03;\"мм\"\r\n"));
        window.close();
        QVERIFY(!window.isVisible());
    }

private:
    std::unique_ptr<PinnedPorts> ports;
    std::unique_ptr<MainWindow> english;
    std::unique_ptr<MainWindow> inRussian;
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
