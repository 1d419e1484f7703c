// Which COM port the instrument is on, and the start and stop of a read-out.
#include "CQuorvanta.h"

#include "SerialPort.h"

namespace
{
constexpr int LastScannedPort = 49;
}

void CQuorvanta::AddPort(int number)
{
    if (linkCount >= MaxLinks)
        return;
    CWQXUSTester& link = links[linkCount];
    link.SetPort(number);
    link.Reset();
    link.baudRate = comSpeed;
    ++linkCount;
}

int CQuorvanta::ScanPorts()
{
    linkCount = 0;
    if (fixedPort)
    {
        AddPort(comPort);
    }
    else
    {
        for (int n = 1; n <= LastScannedPort; ++n)
        {
            if (virtualDevice && n == virtualPort)
                AddPort(n);
            else if (PortExists(n))
                AddPort(n);
        }
    }
    currentLink = linkCount > 0 ? &links[0] : nullptr;
    return linkCount;
}

bool CQuorvanta::IsVirtualLink(const CWQXUSTester& link) const
{
    if (!virtualDevice || fixedPort)
        return false;
    return link.portNumber == virtualPort;
}

bool CQuorvanta::FindDevice()
{
    deviceFound = false;
    linkCount = ScanPorts();
    for (int i = 0; i < linkCount; ++i)
    {
        // The virtual device answers for itself, with or without a port
        // behind it; a real instrument on a lower port still comes first.
        if (IsVirtualLink(links[i]) || links[i].Probe())
        {
            currentLink = &links[i];
            deviceFound = true;
            break;
        }
    }
    return deviceFound;
}

bool CQuorvanta::StartTransfer()
{
    if (currentLink)
        currentLink->Disconnect();
    unsavedData = false;
    transferPercent = 0;
    // The virtual device answers without a port.
    return currentLink && (currentLink->StartReadOut() || virtualDevice);
}

void CQuorvanta::StopTransfer()
{
    if (!currentLink)
        return;
    // A read-out that ran leaves its reply; a start that failed leaves the last.
    if (currentLink->active)
    {
        currentLink->ReadWaiting();
        reply.resize(currentLink->ring.Count());
        currentLink->ring.Peek(reply.data(), int(reply.size()));
    }
    currentLink->Disconnect();
}

QString CQuorvanta::StartFailure() const
{
    if (!currentLink)
        return tr("No instrument was found.");
    QString port = QStringLiteral("COM%1").arg(currentLink->portNumber);
    if (currentLink->portName[0])
        port += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(currentLink->portName));
    return PortErrorText(currentLink->portError, port);
}

QString CQuorvanta::PortErrorText(PortError error, const QString& port) const
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
    case PortError::LineRefused:
        return tr("The port %1 does not take the line settings the instrument needs.").arg(port);
    case PortError::Failed:
        return tr("The port %1 could not be opened.").arg(port);
    }
    return QString();
}
