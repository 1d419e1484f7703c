#ifndef PARVESTA_DECODELOG_H
#define PARVESTA_DECODELOG_H

#include <QLoggingCategory>

// Diagnostics of the decode layer, "parvesta.decode": the reply's header and what a decoder
// refused. Off unless asked for (QT_LOGGING_RULES="parvesta.*.debug=true", or parvesta-cli
// --verbose).
Q_DECLARE_LOGGING_CATEGORY(decodeLog)

#endif
