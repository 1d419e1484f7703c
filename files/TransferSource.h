#ifndef PARVESTA_TRANSFERSOURCE_H
#define PARVESTA_TRANSFERSOURCE_H

#include <QDateTime>
#include <QString>

// Where a batch of records came from, for the files that name their
// transfer (JSON, the workbook's Download sheet and properties), so that a
// file given to a client can be traced back to its download.
struct TransferSource
{
    QString port;           // "COM3", the device path given, or the reply file
    QString device;         // the device path the port resolved to
    int pagesReceived = 0;  // whole pages of the reply
    int pagesAnnounced = 0; // pages its header announced; both 0 for the virtual device
    bool complete = true;   // false: the records are those of the whole pages only
    QDateTime downloaded;   // when the instrument was read
    QString program;        // the name of the program that read it
    QString version;        // and its version
    QString station;        // the computer it was read on
    QString transfer;       // its id in the archive; empty when not archived
};

#endif
