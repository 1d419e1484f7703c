#ifndef PARVESTA_LINKLOG_H
#define PARVESTA_LINKLOG_H

#include <QLoggingCategory>

// Diagnostics of the link layer, "parvesta.link": commands sent, bytes received, drains, the
// search's probes. Off unless asked for (QT_LOGGING_RULES="parvesta.*.debug=true", or parvesta-cli
// --verbose).
Q_DECLARE_LOGGING_CATEGORY(linkLog)

#endif
