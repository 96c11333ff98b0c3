// The form connects the window's slots by name. Three placeholder slots of the window have no
// widget of their name, and Qt warns about each at every start; those three warnings, and no other
// message, are dropped while the form is built.
#pragma once

#include <QString>
#include <QtGlobal>

namespace QuietSlots {

// True for exactly the three warnings about the placeholder slots.
bool isPlaceholderWarning(QtMsgType type, const QString &message);

// Drops those warnings while it lives; every other message goes to the handler installed before.
class Scope
{
public:
    Scope();
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    QtMessageHandler m_previous;
};

} // namespace QuietSlots
