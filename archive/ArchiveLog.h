#ifndef PARVESTA_ARCHIVELOG_H
#define PARVESTA_ARCHIVELOG_H

#include <QLoggingCategory>

// Diagnostics of the archive layer, "parvesta.archive": the file opened, its
// schema, each transfer stored or refused. Off unless asked for
// (QT_LOGGING_RULES="parvesta.*.debug=true", or parvesta-cli --verbose).
Q_DECLARE_LOGGING_CATEGORY(archiveLog)

#endif
