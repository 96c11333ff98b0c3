#include "logging.h"

Q_LOGGING_CATEGORY(lcApp, "quorvane.app", QtInfoMsg)
