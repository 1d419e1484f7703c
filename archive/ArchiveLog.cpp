#include "ArchiveLog.h"

Q_LOGGING_CATEGORY(archiveLog, "parvesta.archive", QtInfoMsg)
