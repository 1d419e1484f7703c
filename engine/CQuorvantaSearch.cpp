// Which COM port the instrument is on: the search over the candidates.
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

CSearchReport CQuorvanta::SearchReport() const
{
    CSearchReport report;
    report.ports = searchedPorts;
    report.fixedPort = fixedPort ? comPort : 0;
    report.fixedPortName = fixedPortName;
    report.found = deviceFound && currentLink ? currentLink->portNumber : 0;
    return report;
}

QString CQuorvanta::PortErrorText(PortError error, const QString& port) const
{
    return CSearchReport::PortErrorText(error, port);
}

QString CQuorvanta::PortName(int number) const
{
    return SearchReport().PortName(number);
}

QString CQuorvanta::NotOpenedText(PortError error, const QString& port) const
{
    return CSearchReport::NotOpenedText(error, port);
}

QString CQuorvanta::SearchSummary() const
{
    return SearchReport().Summary();
}

QString CQuorvanta::SearchDetails() const
{
    return SearchReport().Details();
}
