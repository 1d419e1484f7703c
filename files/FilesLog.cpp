#include "FilesLog.h"

Q_LOGGING_CATEGORY(filesLog, "parvesta.files", QtInfoMsg)
