#ifndef PARVESTA_CSEARCHREPORT_H
#define PARVESTA_CSEARCHREPORT_H

#include "SerialPort.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

// What the last device search learnt of each COM port it looked at, and what
// that means in words: the status line's summary, the list behind it, and
// why a port could not be used. Its texts are the engine's, in the engine's
// catalogue context.
class CSearchReport
{
    Q_DECLARE_TR_FUNCTIONS(CQuorvanta)

public:
    // What the search learnt of one COM port.
    struct PortOutcome
    {
        enum Result
        {
            Answered,    // the instrument identified itself
            Virtual,     // the virtual device, which answers without a port
            Silent,      // asked, and nothing came back
            OtherAnswer, // asked, and something that is not the instrument answered
            NotOpened,   // not asked: error says why (missing, busy, no permission,
                         // not a serial device, the console, ...)
            NotAsked     // not asked: the virtual device on a lower port answers first
        };
        int number = 0;
        QString device; // the device the number resolved to; empty for none
        Result result = NotOpened;
        PortError error = PortError::None;
    };

    QVector<PortOutcome> ports; // every port the search looked at, in port order
    int fixedPort = 0;          // the only port asked (Settings.ini, --port); 0 for none
    QString fixedPortName;      // how the user named it, when not by its COM number
    int found = 0;              // the port chosen; 0 when no instrument was found

    // Where the instrument is, or that none was found and the likeliest reason.
    QString Summary() const;
    // One line per port that could have been used: its name, device and what
    // came of it.
    QString Details() const;
    // "COMn", or the fixed port as the user named it.
    QString PortName(int number) const;
    // The port's name with the device it leads to.
    QString Label(const PortOutcome& port) const;
    // Why a port could not be asked, as a clause about the port named.
    static QString NotOpenedText(PortError error, const QString& port);
    // Why the instrument's port could not be opened for a read-out, in sentences.
    static QString PortErrorText(PortError error, const QString& port);
};

#endif
