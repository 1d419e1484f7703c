#ifndef PARVESTA_CQUORVANTA_H
#define PARVESTA_CQUORVANTA_H

#include "CReport.h"
#include "CSearchReport.h"
#include "CTRData.h"
#include "CWQXUSTester.h"
#include "CsvFile.h"
#include "JsonFile.h"
#include "Limits.h"
#include "ReplyFrame.h"
#include "SettingsFile.h"
#include "XlsxFile.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>
#include <cstdio>
#include <memory>

class CArchive;
class CLabSender;

// The transfer engine: configuration, translated texts, the device links,
// the records of the last transfer and the flags the main window reads.
class CQuorvanta : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLinks = 50;
    // The program's version: in Settings.ini, the title and --version.
    static constexpr char Version[] = "3.0";

    // The whole pages of a reply that did not complete, and what they hold.
    struct PartialReply
    {
        int records = 0;        // measurements decodable from the whole pages
        int pagesReceived = 0;  // pages that arrived whole
        int pagesAnnounced = 0; // pages the reply's header announced
    };

    // What the header of the last reply announced and how much of it came.
    struct ReplyPages
    {
        int announced = 0; // pages announced; 0 without a header of a known family
        int received = 0;  // announced pages that arrived whole
        int limit = 0;     // the most pages of the reply's family a read-out holds
        bool Complete() const { return received >= announced; }
        bool TooMany() const { return announced > limit; }
    };

    // What the last device search learnt of one COM port it looked at.
    using PortOutcome = CSearchReport::PortOutcome;

    CQuorvanta();
    ~CQuorvanta() override;

    // Polls every link once; *percent gets the transfer's percentage, which
    // never goes down from one call to the next during a transfer.
    bool Progress(int* percent);
    // Turns what the current link received into records in data.
    bool Finish();
    // Turns a reply saved earlier into records in data, as Finish would have.
    bool ReadReply(const QByteArray& bytes);
    // The most pages of a family's reply that a link's ring holds, header
    // included; 0 for an unknown family.
    static int MaxPages(ReplyFrame::Family family);
    // True when the last reply announced more pages than a read-out holds:
    // Finish, KeepPartial and ReadReply then leave data empty, rather than
    // offer what fitted as if it were all.
    bool TooManyPages() const { return replyPages.TooMany(); }
    // That in words, for the user.
    QString TooManyPagesText() const;
    // True once the running read-out's header announces more pages than its
    // ring holds: the rest need not be waited for.
    bool ReplyTooLarge() const;

    // Moves every byte waiting on a running read-out into its link, at once;
    // for a caller woken by the port. Returns the bytes moved.
    int ReadWaiting();
    // True once the running read-out's reply is complete.
    bool TransferComplete() const;
    // True while a read-out runs, is not complete, and no byte came for
    // stallMs: the instrument stopped sending, or never began.
    bool Stalled() const;
    // The whole pages the current link's reply brought so far, running or
    // stopped, without taking them.
    PartialReply PartialSummary() const;
    // Like Finish, but turns only the reply's whole pages into records and
    // remembers in incomplete what they were. True when they held records.
    bool KeepPartial();
    // The same for the reply ReadReply read: data then holds the records of
    // its whole pages only.
    bool KeepWholePages();
    // Why the last StartTransfer could not open the instrument's port, or
    // could not send it the request, in words.
    QString StartFailure() const;
    // The current link's port as the texts name it: "COMn (device)", or the
    // name the user gave the fixed port.
    QString CurrentPortLabel() const;
    // A reason a port could not be opened, about the port named.
    QString PortErrorText(PortError error, const QString& port) const;

    // Device search and read-out control. FindDevice searches and waits:
    // BeginSearch, then ContinueSearch as often as they ask.
    bool FindDevice();
    int ScanPorts();
    void AddPort(int number);
    // The device search for a caller that must not wait. BeginSearch scans
    // the candidates, opens them all and empties their lines; ContinueSearch,
    // each time the wait returned last has passed, asks them all at once who
    // is there and reads their answers. Both return the milliseconds until
    // ContinueSearch is due, or -1 once the search is over: deviceFound,
    // currentLink and searchedPorts then hold what it found, the lowest port
    // that answered being the one chosen.
    int BeginSearch();
    int ContinueSearch();
    bool Searching() const { return searching; }
    // Ends a search under way and closes the ports it holds; what it learnt is dropped.
    void AbandonSearch();
    // The last search's outcome in a line: where the instrument is, or that
    // none was found and the likeliest reason.
    QString SearchSummary() const;
    // One line per port the last search could have used (not those with
    // nothing behind them): its name, device and what came of it.
    QString SearchDetails() const;
    // Why a port could not be asked, as a clause about the port named.
    QString NotOpenedText(PortError error, const QString& port) const;
    // Starts a read-out on currentLink and waits until its request is out:
    // BeginTransfer, then ContinueTransfer as often as they ask.
    bool StartTransfer();
    void StopTransfer();
    // The start of a read-out for a caller that must not wait (see CReadOut).
    // BeginTransfer ends a search under way, clears unsavedData and opens the
    // current link's port; ContinueTransfer, each time the wait returned last
    // has passed, lets the line fall quiet and then sends the request. Both
    // return the milliseconds until ContinueTransfer is due, or -1 once the
    // start is over; TransferStarted then says whether the request went out
    // (always, for the virtual device, which needs no port).
    int BeginTransfer();
    int ContinueTransfer();
    bool TransferStarted() const;

    // Settings.ini: beside the program, or in the user's configuration
    // folder when the program is installed.
    QString SettingsFilePath() const;
    // False when no settings were taken from the file. A file that exists
    // but could not be understood is kept as it is: SaveSettings leaves it
    // alone, and SettingsNotice says so.
    bool LoadSettings();
    bool ReadSettings(FILE* file);
    bool SaveSettings();
    bool WriteSettings(FILE* file);
    // For the status line, once: why the settings in force are the defaults
    // although a Settings.ini was there. Empty when all is well.
    QString SettingsNotice() const;

    // What the user may change while the program runs.
    struct UserSettings
    {
        int comSpeed = 38400;
        bool fixedPort = false;
        int comPort = 0;
        QString dataPath; // ends in '/'
        bool virtualDevice = false;
        int virtualPort = 0;
    };
    UserSettings CurrentSettings() const;
    // Writes Settings.ini with these values at once, replacing one that could
    // not be understood, and puts them in force. False, with SaveErrorText
    // saying why, when the file could not be written: nothing changes then.
    bool ChangeSettings(const UserSettings& settings);
    // What the last search learnt of COM number, in a line; empty when it
    // found nothing there worth saying.
    QString PortFinding(int number) const;

    // The job's limits per group and unit, kept per user in Limits.ini
    // beside Settings.ini and loaded at start. Statistics, workbooks and
    // JSON saves judge the readings against them.
    QString LimitsFilePath() const;
    const std::vector<Limit>& Limits() const { return limits; }
    // Writes Limits.ini with these limits at once, replacing one that could
    // not be understood, and puts them in force. False, with SaveErrorText
    // saying why, when they are not valid (a group outside 1 to 256, an
    // unknown unit, low above high, two for one group and unit) or the file
    // could not be written: nothing changes then.
    bool ChangeLimits(const std::vector<Limit>& changed);
    // Limits for this run only, Limits.ini untouched (a command line's).
    void UseLimits(const std::vector<Limit>& given) { limits = given; }
    // For the status line: why no limits are in force although a
    // Limits.ini was there. Empty when all is well.
    QString LimitsNotice() const;

    // CSV export.
    QString SuggestFileName() const;
    bool WriteCsv(const char* fileName);
    bool WriteCsvRow(FILE* file, CMeasurement record);
    // What a file is saved as: a workbook for a name ending in .xlsx, JSON
    // for .json, the instrument's reply for .bin, the PDF report for .pdf,
    // CSV for any other name.
    enum class SaveFormat
    {
        Csv,
        Workbook,
        Reply,
        Json,
        Report,
    };
    static SaveFormat FormatOf(const QString& fileName);
    // The format a caller names: "csv", "xlsx", "json", "bin" or "pdf" (any case);
    // false for any other name.
    static bool FormatNamed(const QString& name, SaveFormat* format);
    // The extension a format's files get, without the dot.
    static QString ExtensionOf(SaveFormat format);
    // Saves as format; WriteCsv is Write(fileName, SaveFormat::Csv). Saving
    // the records clears unsavedData; every save moves dataPath to the file's
    // folder. A failure leaves an earlier file as it was (see SaveErrorText).
    bool Write(const char* fileName, SaveFormat format);
    // The column titles of the statistics, translated.
    QStringList StatisticsColumns() const;
    // The texts the report is written with, as the tables show them.
    CReport::Format ReportFormat() const;
    // The note the user gave the next report, printed in its title block.
    QString reportNote;
    // Their titles for the limits and what came of them: low, high, nominal,
    // pass, fail, Cp, Cpk.
    QStringList LimitColumns() const;
    // "Data/" in the program's folder, or Parvesta/ in the documents folder
    // when installed: the only data folder the program makes itself.
    QString DefaultDataPath() const;
    // The folder a save starts in: dataPath, or its nearest existing parent
    // when it is gone; ends in '/'.
    QString SaveFolder() const;
    // A path the save dialog gave, as the 8-bit name to write to.
    QByteArray EncodePath(const QString& path) const;
    // Why the last save failed, in the user's words; empty after success.
    QString SaveErrorText() const;
    // A reason a file could not be saved, in the user's words.
    QString FileErrorText(FileError error, int systemError) const;
    // False when dataPath cannot be written into Settings.ini (a line break
    // in its name): the folder stored before is kept there instead.
    bool DataPathKept() const;

    CTRData data;
    QString dataPath;
    QString version;
    QString title;
    QString msgSuccess;
    QString msgFailed;
    QString msgInstructions;
    QString textGroup;
    QString textOf;
    QString unitVelocity;
    QString unitTime;
    QString unitMm;
    QString unitInches;
    QString csvHeader;
    QString msgUnsavedQuestion;
    QString msgUnsavedTitle;
    QString textDataTransfer;
    QString decimalSeparator;
    CWQXUSTester* currentLink = nullptr;
    int language = 1;
    int comSpeed = 38400;
    bool fixedPort = false;
    int comPort = 0;
    bool unsavedData = false;
    QString appDir;
    bool virtualDevice = false;
    int virtualPort = 0;
    bool deviceFound = false;
    CWQXUSTester links[MaxLinks];
    int linkCount = 0;
    // Every port the last search looked at, in port order; filled by
    // ScanPorts, complete once the search is over.
    QVector<PortOutcome> searchedPorts;
    int answerWaitMs = 100; // a search reads the answers this long after asking
    int stallMs = 5000;     // quiet this long, a read-out counts as stalled
    // Set by KeepPartial: data holds only these pages. All zero otherwise.
    PartialReply incomplete;
    // The pages of the last reply, set by Finish, KeepPartial and ReadReply;
    // all zero for the virtual device.
    ReplyPages replyPages;
    // Every byte the instrument sent in the last read-out, kept by
    // StopTransfer whether the reply was whole, cut short or not understood,
    // so that it can be saved, decoded again or sent to support.
    QByteArray reply;
    // Where the records came from, for the files that name their transfer
    // (JSON, the workbook, the archive): the port as the user named it and its
    // device (empty: the current link's), the computer (empty: this one), when
    // they were read (set by Finish and KeepPartial), and by which program.
    QString sourcePort;
    QString sourceDevice;
    QString sourceStation;
    QDateTime downloaded;
    QString programName = QStringLiteral("Parvesta");
    TransferSource TransferDescription() const;
    // How the user named the fixed port, when not by its COM number (a
    // device path given on a command line): the texts name it so.
    QString fixedPortName;
    // The archive of transfers: Finish and KeepPartial keep there every
    // transfer that brought records, before the front end shows them, and
    // Write notes each file saved of it. The file: empty means
    // archive.sqlite beside the program, or in the user's data folder
    // ($XDG_DATA_HOME/parvesta/) when installed.
    QString archivePath;
    bool archiving = true; // false: transfers are not archived
    // The lab's server each transfer is sent to after it is kept here
    // (postgresql://HOST[:PORT]/DB[?user=NAME]). Empty: the one named by
    // PARVESTA_ARCHIVE, or else by the line Archive=… in Archive.ini beside
    // Settings.ini; none there, no server.
    QString archiveServer;
    // The server's address as chosen above; empty when there is none.
    QString ArchiveServerAddress() const;
    // Sends the transfers kept here and not yet on the lab's server, each in
    // one transaction, oldest first, and waits for it; ArchiveTransfer does
    // it after keeping one, unless SendInBackground was called. False, with
    // ArchiveNotice saying why, when the server cannot be reached or
    // refuses: they stay pending for the next time. A server that does not
    // answer is given up after a few seconds.
    bool SendPending();
    // From now on the sending runs on a thread of its own, for a front end
    // that must not wait for the server: ArchiveTransfer only starts it, and
    // LabPassEnded says when a pass is over. A first pass starts now with
    // what earlier runs left pending.
    void SendInBackground();
    // The last transfer's id in the archive; empty when it is not there.
    QString archivedId;
    // The archive, opened on first use.
    CArchive& Archive();
    // Keeps the records in data, with the instrument's bytes that brought
    // them, as a transfer just read.
    bool ArchiveTransfer(const QByteArray& bytes);
    // Takes an archived transfer into data, reply and the pages, as after
    // its read-out; false, with ArchiveNotice saying why, when it cannot.
    bool LoadArchived(const QString& id);
    // Forgets an archived transfer; the results shown of it are no longer
    // its, so later saves are not noted against it.
    bool DeleteArchived(const QString& id);
    // Why the last transfer was not archived ("Not archived: REASON"), or
    // not sent to the lab's server ("Archived on this PC; the lab archive is
    // not reachable: REASON"), for the status line; empty when it was, or
    // archiving is off.
    QString ArchiveNotice() const;

    // False: Settings.ini is read but never written (the command-line tool
    // must not change what the window keeps).
    bool writesSettings = true;

    // The unit text of a unit code; empty for codes without one.
    QString UnitText(int unit) const;
    // Every unit's text, as files and tables show them.
    UnitTexts Units() const;
    // True when the last Finish met a reply of a known instrument family
    // (or the virtual device), whether or not it held records.
    bool ReplyRecognised() const { return replyRecognised; }

    // The texts a CSV file is written with, as the window saves it.
    CsvFile::Format CsvFormat() const;
    // Files and statistics from now on in the program's own English words,
    // with "." as decimal point, whatever the desktop's language: a script
    // reading them gets the same columns on every computer.
    void WriteInEnglish();
    // True when a file could be saved at path now (its folder is there and
    // may be written, no folder has its name); false, with SaveErrorText
    // saying why, when a save there would fail. Nothing is left behind.
    bool CanWrite(const QByteArray& path);

signals:
    // A pass started by SendInBackground or ArchiveTransfer is over;
    // ArchiveNotice says whether the lab's server has every transfer now.
    void LabPassEnded();

private:
    void RequestSend();
    bool IsVirtualLink(const CWQXUSTester& link) const;
    void EndSearch();
    // The last search's outcome, to be put in words.
    CSearchReport SearchReport() const;
    // "COMn", or the fixed port's own name.
    QString PortName(int number) const;
    SettingsFile::Values SettingsValues() const;
    QByteArray DataPathBytes() const;
    void ApplySettings(const SettingsFile::Values& values);
    XlsxFile::Format WorkbookFormat() const;
    // A text of the files: translated, unless WriteInEnglish was called.
    QString FileText(const char* source) const;
    bool KeepWholePagesOf(const char* bytes, unsigned length);
    void SetFileTexts();

    void NoteSave(const QByteArray& fileName, SaveFormat format);

    std::unique_ptr<CArchive> archive;
    QString archiveFailure;          // why the last transfer is not in the archive
    CLabSender* labSender = nullptr; // set by SendInBackground
    QString labFailure;              // why pending transfers are not on the server
    bool replyRecognised = false;
    bool english = false;      // WriteInEnglish was called
    QByteArray storedDataPath; // the data folder as Settings.ini spells it
    QString unreadSettings;    // a Settings.ini that could not be understood
    std::vector<Limit> limits;
    QString unreadLimits; // a Limits.ini that could not be understood
    void LoadLimits();
    FileError saveError = FileError::None;
    int saveSystemError = 0;
    QByteArray savePath;     // the file the last save wrote or tried
    int transferPercent = 0; // the highest percentage of this transfer
    bool searching = false;
    int probedLinks = 0;            // links the search asks; the rest are not asked
    int linkOutcome[MaxLinks] = {}; // each link's entry in searchedPorts
};

#endif
