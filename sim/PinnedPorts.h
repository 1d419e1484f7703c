#ifndef PARVESTA_PINNEDPORTS_H
#define PARVESTA_PINNEDPORTS_H

#include "InstrumentSimulator.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A ports folder, made the program's own for as long as it lives, in which
// every COM number the search looks at is pinned to nothing, so that no
// serial device of the machine takes part; simulated instruments then take
// the numbers they stand on.
class PinnedPorts
{
public:
    PinnedPorts();
    ~PinnedPorts();
    PinnedPorts(const PinnedPorts&) = delete;
    PinnedPorts& operator=(const PinnedPorts&) = delete;

    QString Entry(int n) const;
    // An instrument on COM n; lineSpeed 0 sends as fast as the terminal takes it.
    InstrumentSimulator* Attach(int n, int lineSpeed = 0,
                                const InstrumentSimulator::Faults& faults = {});

    QTemporaryDir dir;
    QString path;
    bool valid = false;
    std::vector<std::unique_ptr<InstrumentSimulator>> sims;
};

#endif
