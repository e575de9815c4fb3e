#pragma once
// One offscreen application for a whole test program (Qt allows only one).

#include "platform/gui/Gui.h"

#include <functional>

class QWidget;

namespace testsupport {

// Made on first use; it lives until the tests end and goes before the exit
// handlers run, since Qt's own globals must outlive it.
TApplication& TestApplication();

// Calls act with the modal window once one is up. It looks at every turn of
// the event loop, so it waits for the window however long opening it takes.
void WhenModal(std::function<void(QWidget*)> act);

}  // namespace testsupport
