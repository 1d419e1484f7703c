#ifndef PARVESTA_CSAVEERROR_H
#define PARVESTA_CSAVEERROR_H

#include "CSafeFile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Why a file could not be saved, as a clause a message can end with: what
// went wrong and what to do. Its texts are the engine's, in the engine's
// catalogue context.
class CSaveError
{
    Q_DECLARE_TR_FUNCTIONS(CQuorvanta)

public:
    // The reason for error (the system's errno in systemError), about the
    // file at path when it is known.
    static QString Text(FileError error, int systemError, const QByteArray& path = QByteArray());
};

#endif
