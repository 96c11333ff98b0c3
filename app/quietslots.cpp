#include "quietslots.h"

#include <cstdio>

namespace {

QtMessageHandler g_previous = nullptr;

void dropPlaceholderWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (QuietSlots::isPlaceholderWarning(type, message)) {
        return;
    }
    if (g_previous != nullptr) {
        g_previous(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
}

} // namespace

namespace QuietSlots {

bool isPlaceholderWarning(QtMsgType type, const QString &message)
{
    if (type != QtWarningMsg) {
        return false;
    }
    for (const char *slot : {"on_btnClose_clicked()", "on_btnMonitor_clicked()", "on_btnTest_clicked()"}) {
        if (message ==
            QLatin1String("QMetaObject::connectSlotsByName: No matching signal for ") + QLatin1String(slot)) {
            return true;
        }
    }
    return false;
}

Scope::Scope() : m_previous(qInstallMessageHandler(dropPlaceholderWarnings))
{
    g_previous = m_previous;
}

Scope::~Scope()
{
    qInstallMessageHandler(m_previous);
    g_previous = nullptr;
}

} // namespace QuietSlots
