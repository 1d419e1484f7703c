#include "LinkLog.h"

Q_LOGGING_CATEGORY(linkLog, "parvesta.link", QtInfoMsg)
