// The device search's outcome in words: the status line's summary, the list
// behind it, and why a port could not be used.
#include "CSearchReport.h"

#include <QFileInfo>
#include <QStringList>

QString CSearchReport::PortErrorText(PortError error, const QString& port)
{
    switch (error)
    {
    case PortError::None:
        break;
    case PortError::Missing:
        return tr("The instrument's port %1 is not there any more. Connect the instrument "
                  "again; Parvesta looks for it by itself.")
            .arg(port);
    case PortError::Busy:
        return tr("Another program is using the port %1. Close that program (or the other "
                  "Parvesta window) and try again.")
            .arg(port);
    case PortError::NoPermission:
        return tr("You may not open the port %1. Ask for access to serial ports (the dialout "
                  "group) and log in again.")
            .arg(port);
    case PortError::NotSerial:
        return tr("%1 is not a serial port.").arg(port);
    case PortError::Console:
        return NotOpenedText(error, port);
    case PortError::LineRefused:
        return tr("The port %1 does not take the line settings the instrument needs.").arg(port);
    case PortError::Failed:
        return tr("The port %1 could not be opened.").arg(port);
    }
    return QString();
}

QString CSearchReport::PortName(int number) const
{
    if (number == fixedPort && !fixedPortName.isEmpty())
        return fixedPortName;
    return QStringLiteral("COM%1").arg(number);
}

QString CSearchReport::Label(const PortOutcome& port) const
{
    // A pinned port is named after the device its link leads to.
    const QString target = QFileInfo(port.device).canonicalFilePath();
    const QString device = target.isEmpty() ? port.device : target;
    const QString name = PortName(port.number);
    if (device.isEmpty() || device == name)
        return name;
    return QStringLiteral("%1 (%2)").arg(name, device);
}

QString CSearchReport::NotOpenedText(PortError error, const QString& port)
{
    switch (error)
    {
    case PortError::None:
        break;
    case PortError::Missing:
        return tr("%1 is not there").arg(port);
    case PortError::Busy:
        return tr("%1 is in use by another program").arg(port);
    case PortError::NoPermission:
        return tr("no permission for %1; add the user to the dialout group").arg(port);
    case PortError::NotSerial:
        return tr("%1 is not a serial device").arg(port);
    case PortError::Console:
        return tr("%1 is the system console").arg(port);
    case PortError::LineRefused:
        return tr("%1 refuses the line settings").arg(port);
    case PortError::Failed:
        return tr("%1 could not be opened").arg(port);
    }
    return QString();
}

QString CSearchReport::Summary() const
{
    if (found > 0)
    {
        PortOutcome port{found, ComDevicePath(found), PortOutcome::Answered, PortError::None};
        for (const PortOutcome& searched : ports)
            if (searched.number == port.number)
                port = searched;
        if (port.result == PortOutcome::Virtual)
            return tr("Virtual instrument on COM%1").arg(port.number);
        return tr("Instrument on %1").arg(Label(port));
    }
    // The likeliest reason first: a user who may not open serial ports, then
    // a port another program holds, then a fixed port that is not usable.
    const PortOutcome* denied = nullptr;
    const PortOutcome* busy = nullptr;
    const PortOutcome* unusable = nullptr;
    int tried = 0;
    for (const PortOutcome& port : ports)
    {
        if (port.result == PortOutcome::Silent || port.result == PortOutcome::OtherAnswer)
            ++tried;
        if (port.result != PortOutcome::NotOpened)
            continue;
        if (port.error == PortError::NoPermission && !denied)
            denied = &port;
        if (port.error == PortError::Busy && !busy)
            busy = &port;
        if (fixedPort > 0 && !unusable)
            unusable = &port;
    }
    const PortOutcome* reason = denied ? denied : busy ? busy : unusable;
    if (reason)
        return tr("No instrument found: %1")
            .arg(NotOpenedText(reason->error, PortName(reason->number)));
    if (tried == 0)
        return tr("No instrument found: no serial port to try");
    if (tried == 1)
        return tr("No instrument found (1 port tried)");
    return tr("No instrument found (%n ports tried)", nullptr, tried);
}

QString CSearchReport::Details() const
{
    QStringList lines;
    for (const PortOutcome& port : ports)
    {
        const QString label = Label(port);
        switch (port.result)
        {
        case PortOutcome::Answered:
            lines << tr("%1 answered as the instrument").arg(label);
            break;
        case PortOutcome::Virtual:
            lines << tr("%1 is the virtual device").arg(QStringLiteral("COM%1").arg(port.number));
            break;
        case PortOutcome::Silent:
            lines << tr("%1 did not answer").arg(label);
            break;
        case PortOutcome::OtherAnswer:
            lines << tr("%1 answered, but not as the instrument").arg(label);
            break;
        case PortOutcome::NotOpened:
            if (port.error != PortError::Missing || fixedPort > 0)
                lines << NotOpenedText(port.error, label);
            break;
        case PortOutcome::NotAsked:
            lines << tr("%1 was not asked").arg(label);
            break;
        }
    }
    return lines.join(u'\n');
}
