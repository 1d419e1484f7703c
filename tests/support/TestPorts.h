#ifndef PARVESTA_TESTPORTS_H
#define PARVESTA_TESTPORTS_H

#include "link/SerialPort.h"
#include "sim/InstrumentSimulator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A ports folder in which every COM number the search looks at is pinned to
// nothing, so that no serial device of the machine running the tests takes
// part; simulated instruments then take the numbers they stand on.
class TestPorts
{
public:
    TestPorts()
    {
        path = dir.path() + QStringLiteral("/ports");
        QDir().mkpath(path);
        for (int n = 1; n <= 60; ++n)
            QFile::link(dir.path() + QStringLiteral("/nothing"), Entry(n));
        SetPortsFolder(path);
    }
    ~TestPorts() { SetPortsFolder(QString()); }
    TestPorts(const TestPorts&) = delete;
    TestPorts& operator=(const TestPorts&) = delete;

    QString Entry(int n) const { return path + QStringLiteral("/COM%1").arg(n); }

    // An instrument on COM n; lineSpeed 0 sends as fast as the terminal takes it.
    InstrumentSimulator* Attach(int n, int lineSpeed = 0)
    {
        QFile::remove(Entry(n));
        auto sim = std::make_unique<InstrumentSimulator>();
        sim->SetLineSpeed(lineSpeed);
        if (!sim->Start(path, n))
            return nullptr;
        sims.push_back(std::move(sim));
        return sims.back().get();
    }

    QTemporaryDir dir;
    QString path;
    std::vector<std::unique_ptr<InstrumentSimulator>> sims;
};

#endif
