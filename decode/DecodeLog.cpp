#include "DecodeLog.h"

Q_LOGGING_CATEGORY(decodeLog, "parvesta.decode", QtInfoMsg)
