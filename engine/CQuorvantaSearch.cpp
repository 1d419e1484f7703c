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
    return currentLink && currentLink->StartReadOut();
}

void CQuorvanta::StopTransfer()
{
    if (currentLink)
        currentLink->Disconnect();
}
