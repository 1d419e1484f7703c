#include "EngineLog.h"

Q_LOGGING_CATEGORY(engineLog, "parvesta.engine", QtInfoMsg)
