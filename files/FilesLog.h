#ifndef PARVESTA_FILESLOG_H
#define PARVESTA_FILESLOG_H

#include <QLoggingCategory>

// Diagnostics of the files layer, "parvesta.files": every file written: path, format, result.
// Off unless asked for (QT_LOGGING_RULES="parvesta.*.debug=true", or
// parvesta-cli --verbose).
Q_DECLARE_LOGGING_CATEGORY(filesLog)

#endif
