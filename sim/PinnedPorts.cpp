#include "PinnedPorts.h"

#include "SerialPort.h"

#include <QDir>
#include <QFile>

PinnedPorts::PinnedPorts()
{
    path = dir.path() + QStringLiteral("/ports");
    valid = dir.isValid() && QDir().mkpath(path);
    for (int n = 1; valid && n <= 60; ++n)
        valid = QFile::link(dir.path() + QStringLiteral("/nothing"), Entry(n));
    SetPortsFolder(path);
}

PinnedPorts::~PinnedPorts()
{
    sims.clear();
    SetPortsFolder(QString());
}

QString PinnedPorts::Entry(int n) const
{
    return path + QStringLiteral("/COM%1").arg(n);
}

InstrumentSimulator* PinnedPorts::Attach(int n, int lineSpeed,
                                         const InstrumentSimulator::Faults& faults)
{
    QFile::remove(Entry(n));
    auto sim = std::make_unique<InstrumentSimulator>();
    sim->SetLineSpeed(lineSpeed);
    sim->SetFaults(faults);
    if (!sim->Start(path, n))
        return nullptr;
    sims.push_back(std::move(sim));
    return sims.back().get();
}
