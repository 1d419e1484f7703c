#ifndef PARVESTA_ENGINELOG_H
#define PARVESTA_ENGINELOG_H

#include <QLoggingCategory>

// Diagnostics of the engine layer, "parvesta.engine": read-outs: start, header, stalls, outcome;
// saves. Off unless asked for (QT_LOGGING_RULES="parvesta.*.debug=true", or parvesta-cli
// --verbose).
Q_DECLARE_LOGGING_CATEGORY(engineLog)

#endif
