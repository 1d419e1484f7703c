#ifndef PARVESTA_TEST_PORTS_H
#define PARVESTA_TEST_PORTS_H

#include "InstrumentSimulator.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// Another program holding an instrument's line, as terminal programs do: an
// exclusive lock on the open device, until Release or the end of its scope.
struct HeldLine
{
    int fd = -1;
    bool held = false;
    explicit HeldLine(const InstrumentSimulator* sim)
        : fd(::open(QFile::encodeName(sim->TerminalPath()).constData(),
                    O_RDWR | O_NOCTTY | O_NONBLOCK)),
          held(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
    {
    }
    ~HeldLine() { Release(); }
    HeldLine(const HeldLine&) = delete;
    HeldLine& operator=(const HeldLine&) = delete;
    void Release()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// How many commands with this code an instrument received (1 identify, 6 read out).
inline int Commands(const InstrumentSimulator* sim, char code)
{
    int n = 0;
    for (const QByteArray& command : sim->Commands())
        n += command.at(8) == code ? 1 : 0;
    return n;
}

#endif
