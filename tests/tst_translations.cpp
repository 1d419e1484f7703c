// The program with the Russian catalogue installed and without it; the
// catalogue and the Russian help page keep what the program relies on.
#include "PinnedPorts.h"
#include "support/Files.h"
#include "support/Records.h"
#include "support/Window.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTranslator>
#include <QXmlStreamReader>

namespace
{
const QString Catalogue = QStringLiteral(PARVESTA_CATALOGUE);
const QString SourceHelp = QStringLiteral(PARVESTA_SOURCE_DIR "/Help/");

QStringList All(const QString& text, const QString& pattern)
{
    QStringList found;
    for (auto it = QRegularExpression(pattern).globalMatch(text); it.hasNext();)
        found << it.next().captured(0);
    return found;
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

    PinnedPorts ports; // no serial device of the machine takes part
    QTranslator russian;
    std::unique_ptr<TestWindow> english, inRussian;

private slots:
    void initTestCase()
    {
        english = std::make_unique<TestWindow>();
        QVERIFY(russian.load(Catalogue));
        QCoreApplication::installTranslator(&russian);
        inRussian = std::make_unique<TestWindow>();
        QCoreApplication::removeTranslator(&russian);
        inRussian->show();
        QVERIFY(QTest::qWaitForWindowExposed(inRussian.get()));
    }

    // The help page is a translated text, so the catalogue names its own.
    // The start picture's words are set beside the drawing in the user's
    // language, each whole in the room the drawing leaves it.
    void russianHelpAndPicture_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("inEnglish");
        QTest::addColumn<QString>("inRussianWords");
        for (const auto& [label, inEnglish, inRussianWords] :
             {std::tuple{"connectWord", "Connect the instrument", "Подключите прибор"},
              std::tuple{"usbWord", "USB cable", "USB-кабель"},
              std::tuple{"infraredWord", "Infrared receiver", "ИК-приёмник"},
              std::tuple{"pressWord", "Press", "Нажмите"},
              std::tuple{"transferWord", "Transfer Data", "Передать данные"}})
            QTest::newRow(label) << label << inEnglish << QString::fromUtf8(inRussianWords);
    }
    void russianHelpAndPicture()
    {
        QFETCH(QString, label);
        QFETCH(QString, inEnglish);
        QFETCH(QString, inRussianWords);
        QCOMPARE(inRussian->findChild<QTextBrowser*>("helpTBrowser")->source(),
                 QUrl("index_ru.html"));
        QCOMPARE(inRussian->picture->pixmap().toImage(), english->picture->pixmap().toImage());
        english->show();
        QVERIFY(QTest::qWaitForWindowExposed(english.get()));
        for (const auto& [window, text] :
             {std::pair{inRussian.get(), inRussianWords}, std::pair{english.get(), inEnglish}})
        {
            const QLabel* word = window->picture->findChild<QLabel*>(label);
            QVERIFY(word);
            QCOMPARE(word->text(), text);
            QVERIFY(word->isVisible());
            QVERIFY2(word->fontMetrics().horizontalAdvance(text) <= word->width(),
                     qPrintable(QString("%1 in %2, row %3")
                                    .arg(word->width())
                                    .arg(text)
                                    .arg(word->parentWidget()->width())));
            const QRect inPicture(word->mapTo(window->picture, QPoint()), word->size());
            QVERIFY(window->findChild<QWidget*>("startWords")->geometry().contains(inPicture));
        }
    }

    // What a Russian user saves, byte for byte, under a Russian file name.
    void csvFileInRussian()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("итоги.csv");
        // No settings file, so that the data folder is the engine's own.
        QFile::remove(QCoreApplication::applicationDirPath() + "/Settings.ini");
        {
            QCoreApplication::installTranslator(&russian);
            const auto engine = std::make_unique<CQuorvanta>();
            QCoreApplication::removeTranslator(&russian);
            // One folder name in every language: it is the folder users look for.
            QCOMPARE(engine->dataPath, engine->appDir + "Data/");
            engine->decimalSeparator = ",";
            for (const CMeasurement& r :
                 {Record(1, 1, 1234, 100, 2), Record(1, 2, 486, 1000, 3), Record(2, 1, 5920, 1, 0),
                  Record(2, 2, 337, 100, 1), Record(3, 1, 7, 0, 7)})
                engine->data.Append(r);
            QVERIFY(engine->WriteCsv(path.toLocal8Bit().constData()));
        }
        QCOMPARE(ReadFile(path),
                 QByteArray("\"Группа\";\"Ячейка\";\"Значение\";\"Ед. изм.\"\r\n"
                            "1;1;12,34;\"мм\"\r\n1;2;0,486;\"дюйм.\"\r\n"
                            "2;1;5920;\"м/с\"\r\n2;2;3,37;\"мкс\"\r\n3;1;7;\"\"\r\n"));
    }

    // Every translation keeps what the program or the user relies on.
    void catalogueKeepsWhatTheProgramReliesOn()
    {
        QFile file(PARVESTA_SOURCE_DIR "/translations/quorvanta_ru.ts");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString source;
        bool numerus = false; // a count in the text: one translation per plural form
        int messages = 0;
        while (!xml.atEnd())
        {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"message")
                numerus = xml.attributes().value("numerus") == u"yes";
            if (xml.name() == u"source")
                source = xml.readElementText();
            if (xml.name() != (numerus ? u"numerusform" : u"translation"))
                continue;
            const QString t = xml.readElementText();
            ++messages;
            // Placeholders, file patterns, blanks around lines, instrument
            // names, markup, colours.
            for (const char* kept : {"%\\d", "\\(\\*\\.\\w+\\)", "^\\s+|\\s*\\n\\s*|\\s+$",
                                     "\\b[A-Z]{2}-\\d+(\\([^)]*\\))?", "<[^>]*>", "rgb\\([^)]*\\)"})
                QVERIFY2(All(t, kept) == All(source, kept), qPrintable(source.left(60)));
            if (source.endsWith(".html")) // a help page: the same pictures, sections and links
                for (const char* part : {"<img [^>]*>", " name=\"[^\"]*\"", "href=\"[^\"]*\""})
                    QCOMPARE(All(ReadFile(SourceHelp + t), part),
                             All(ReadFile(SourceHelp + source), part));
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages >= 39);
    }

    // A Russian build places the program's and the toolkit's catalogues
    // beside the program; an ordinary build, none.
    void cataloguesBesideTheProgram()
    {
        QFile placed(PARVESTA_PROGRAM_DIR "/quorvanta.qm"), compiled(Catalogue);
        QCOMPARE(placed.open(QIODevice::ReadOnly), bool(PARVESTA_RUSSIAN_BUILD));
        QVERIFY(compiled.open(QIODevice::ReadOnly));
        QVERIFY(!placed.isOpen() || placed.readAll() == compiled.readAll());
        QCOMPARE(QTranslator().load(PARVESTA_PROGRAM_DIR "/qt_ru.qm"),
                 bool(PARVESTA_RUSSIAN_BUILD));
    }

    // The status line holds two lines: the longest things it says must fit,
    // in either language.
    void statusTextsFitTheStatusLine()
    {
        const QLabel* status = inRussian->status;
        const QRect room(QPoint(), status->contentsRect().size());
        for (const bool translated : {false, true})
        {
            if (translated)
                QCoreApplication::installTranslator(&russian);
            const auto engine = [](const char* text, int n = -1) {
                return QCoreApplication::translate("CQuorvanta", text, nullptr, n);
            };
            const auto window = [](const char* text, int n = -1) {
                return QCoreApplication::translate("MainWindow", text, nullptr, n);
            };
            const QString found = engine("No instrument found: %1");
            const QStringList texts = {
                window("Searching for the instrument\u2026"),
                engine("Instrument on %1").arg("COM33 (/dev/ttyACM15)"),
                engine("Virtual instrument on COM%1").arg(49),
                found.arg(
                    engine("no permission for %1; add the user to the dialout group").arg("COM33")),
                found.arg(engine("%1 is in use by another program").arg("COM33")),
                found.arg(engine("%1 is not a serial device").arg("COM33")),
                found.arg(engine("%1 refuses the line settings").arg("COM33")),
                found.arg(engine("%1 could not be opened").arg("COM33")),
                found.arg(engine("%1 is the system console").arg("COM33")),
                engine("Settings.ini could not be understood; it is kept as it is and the "
                       "defaults are used."),
                engine("No instrument found: no serial port to try"),
                engine("No instrument found (%n ports tried)", 49),
                window("Incomplete: %1 of %2 pages").arg(252).arg(253) + " \u2014 " +
                    window("%n measurements in %1 groups", 8064).arg(252),
                window("%n measurements in 1 group", 4064),
                window("%1 on %2").arg("VX-nn", "COM33 (/dev/ttyACM15)"),
                window("Receiving\u2026 %1 %").arg(100),
                window("No data arriving (%1 % received)").arg(100),
            };
            QCoreApplication::removeTranslator(&russian);
            for (const QString& text : texts)
                QVERIFY2(
                    status->fontMetrics().boundingRect(room, Qt::TextWordWrap, text).height() <=
                        room.height(),
                    qPrintable(text));
        }
    }

    // The window is 288 pixels wide: no Russian column title may be cut,
    // even beside the scroll bar.
    void russianColumnTitlesFitTheNarrowWindow()
    {
        inRussian->picture->hide();
        QTableWidget* table = inRussian->table;
        table->show();
        table->setRowCount(200);
        QCoreApplication::processEvents();
        QVERIFY(table->verticalScrollBar()->isVisible());
        QHeaderView* header = table->horizontalHeader();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int c = 0; c < 4; ++c)
            QVERIFY2(
                header->fontMetrics().horizontalAdvance(table->horizontalHeaderItem(c)->text()) +
                        2 * margin <=
                    header->sectionSize(c),
                qPrintable(table->horizontalHeaderItem(c)->text()));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
