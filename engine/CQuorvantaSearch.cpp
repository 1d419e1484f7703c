// Which COM port the instrument is on, and the start and stop of a read-out.
#include "CQuorvanta.h"

#include "SerialPort.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace
{
constexpr int LastScannedPort = 49;

// The sooner of two waits, where -1 is none.
int SoonerOf(int a, int b)
{
    if (a < 0)
        return b;
    return b < 0 ? a : std::min(a, b);
}
} // namespace

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
    searchedPorts.clear();
    // A candidate gets a link, and its entry is completed when it was asked.
    const auto candidate = [this](int number) {
        if (linkCount < MaxLinks)
            linkOutcome[linkCount] = int(searchedPorts.size());
        searchedPorts.append(
            {number, ComDevicePath(number), PortOutcome::NotAsked, PortError::None});
        AddPort(number);
    };
    if (fixedPort)
    {
        candidate(comPort);
    }
    else
    {
        for (int n = 1; n <= LastScannedPort; ++n)
        {
            if (virtualDevice && n == virtualPort)
            {
                candidate(n);
                continue;
            }
            const PortError error = CheckPort(n);
            if (error == PortError::None)
                candidate(n);
            else
                searchedPorts.append({n, ComDevicePath(n), PortOutcome::NotOpened, error});
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
    for (int wait = BeginSearch(); wait >= 0; wait = ContinueSearch())
        PauseMs(wait);
    return deviceFound;
}

int CQuorvanta::BeginSearch()
{
    AbandonSearch();
    deviceFound = false;
    searching = true;
    ScanPorts();
    // The virtual device answers for itself, with or without a port behind
    // it: only the ports below it can come first, so only they are asked.
    probedLinks = 0;
    while (probedLinks < linkCount && !IsVirtualLink(links[probedLinks]))
        ++probedLinks;
    int wait = -1;
    for (int i = 0; i < probedLinks; ++i)
    {
        links[i].answerWaitMs = answerWaitMs;
        wait = SoonerOf(wait, links[i].BeginProbe());
    }
    if (wait < 0)
        EndSearch();
    return wait;
}

int CQuorvanta::ContinueSearch()
{
    if (!searching)
        return -1;
    int wait = -1;
    for (int i = 0; i < probedLinks; ++i)
        wait = SoonerOf(wait, links[i].ProbeStep());
    if (wait < 0)
        EndSearch();
    return wait;
}

void CQuorvanta::EndSearch()
{
    searching = false;
    for (int i = 0; i < linkCount; ++i)
    {
        PortOutcome& port = searchedPorts[linkOutcome[i]];
        if (i >= probedLinks)
            port.result = i == probedLinks ? PortOutcome::Virtual : PortOutcome::NotAsked;
        else
            switch (links[i].probeResult)
            {
            case CWQXUSTester::ProbeResult::Answered:
                port.result = PortOutcome::Answered;
                break;
            case CWQXUSTester::ProbeResult::Silent:
                port.result = PortOutcome::Silent;
                break;
            case CWQXUSTester::ProbeResult::OtherAnswer:
                port.result = PortOutcome::OtherAnswer;
                break;
            case CWQXUSTester::ProbeResult::NotOpened:
                port.result = PortOutcome::NotOpened;
                port.error = links[i].portError;
                break;
            case CWQXUSTester::ProbeResult::Pending:
                port.result = PortOutcome::NotAsked;
                break;
            }
        // The first port in ascending order whose instrument answered wins.
        if (!deviceFound &&
            (port.result == PortOutcome::Answered || port.result == PortOutcome::Virtual))
        {
            currentLink = &links[i];
            deviceFound = true;
        }
    }
}

void CQuorvanta::AbandonSearch()
{
    if (!searching)
        return;
    for (int i = 0; i < probedLinks; ++i)
        links[i].AbandonProbe();
    searching = false;
}

bool CQuorvanta::StartTransfer()
{
    for (int wait = BeginTransfer(); wait >= 0; wait = ContinueTransfer())
        PauseMs(wait);
    return TransferStarted();
}

int CQuorvanta::BeginTransfer()
{
    AbandonSearch(); // its ports would be held open beside the read-out
    if (currentLink)
        currentLink->Disconnect();
    unsavedData = false;
    transferPercent = 0;
    // The virtual device answers without a port.
    if (!currentLink || virtualDevice)
        return -1;
    return currentLink->BeginReadOut();
}

int CQuorvanta::ContinueTransfer()
{
    return currentLink && !virtualDevice ? currentLink->ReadOutStep() : -1;
}

bool CQuorvanta::TransferStarted() const
{
    if (!currentLink)
        return false;
    return virtualDevice || currentLink->startResult == CWQXUSTester::StartResult::Requested;
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
    if (currentLink->startResult == CWQXUSTester::StartResult::NotSent)
        return tr("The request could not be sent to the instrument on %1.").arg(CurrentPortLabel());
    return PortErrorText(currentLink->portError, CurrentPortLabel());
}

QString CQuorvanta::CurrentPortLabel() const
{
    if (!currentLink)
        return QString();
    QString port = PortName(currentLink->portNumber);
    if (currentLink->portName[0] && fixedPortName.isEmpty())
        port += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(currentLink->portName));
    return port;
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
    case PortError::Console:
        return NotOpenedText(error, port);
    case PortError::LineRefused:
        return tr("The port %1 does not take the line settings the instrument needs.").arg(port);
    case PortError::Failed:
        return tr("The port %1 could not be opened.").arg(port);
    }
    return QString();
}

QString CQuorvanta::PortName(int number) const
{
    if (fixedPort && number == comPort && !fixedPortName.isEmpty())
        return fixedPortName;
    return QStringLiteral("COM%1").arg(number);
}

QString CQuorvanta::PortLabel(const PortOutcome& port) const
{
    // A pinned port is named after the device its link leads to.
    const QString target = QFileInfo(port.device).canonicalFilePath();
    const QString device = target.isEmpty() ? port.device : target;
    const QString name = PortName(port.number);
    if (device.isEmpty() || device == name)
        return name;
    return QStringLiteral("%1 (%2)").arg(name, device);
}

QString CQuorvanta::NotOpenedText(PortError error, const QString& port) const
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

QString CQuorvanta::SearchSummary() const
{
    if (deviceFound && currentLink)
    {
        PortOutcome port{currentLink->portNumber, ComDevicePath(currentLink->portNumber),
                         PortOutcome::Answered, PortError::None};
        for (const PortOutcome& searched : searchedPorts)
            if (searched.number == port.number)
                port = searched;
        if (port.result == PortOutcome::Virtual)
            return tr("Virtual instrument on COM%1").arg(port.number);
        return tr("Instrument on %1").arg(PortLabel(port));
    }
    // The likeliest reason first: a user who may not open serial ports, then
    // a port another program holds, then a fixed port that is not usable.
    const PortOutcome* denied = nullptr;
    const PortOutcome* busy = nullptr;
    const PortOutcome* unusable = nullptr;
    int tried = 0;
    for (const PortOutcome& port : searchedPorts)
    {
        if (port.result == PortOutcome::Silent || port.result == PortOutcome::OtherAnswer)
            ++tried;
        if (port.result != PortOutcome::NotOpened)
            continue;
        if (port.error == PortError::NoPermission && !denied)
            denied = &port;
        if (port.error == PortError::Busy && !busy)
            busy = &port;
        if (fixedPort && !unusable)
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

QString CQuorvanta::SearchDetails() const
{
    QStringList lines;
    for (const PortOutcome& port : searchedPorts)
    {
        const QString label = PortLabel(port);
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
            if (port.error != PortError::Missing || fixedPort)
                lines << NotOpenedText(port.error, label);
            break;
        case PortOutcome::NotAsked:
            lines << tr("%1 was not asked").arg(label);
            break;
        }
    }
    return lines.join(u'\n');
}
