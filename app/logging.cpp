#include "logging.h"

Q_LOGGING_CATEGORY(lcApp, "quorvane.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSerial, "quorvane.serial", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUpgrade, "quorvane.upgrade", QtInfoMsg)
