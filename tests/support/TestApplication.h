#pragma once
// One offscreen application for a whole test program (Qt allows only one).

#include "platform/gui/Gui.h"

namespace testsupport {

// Made on first use; it lives until the tests end and goes before the exit
// handlers run, since Qt's own globals must outlive it.
TApplication& TestApplication();

}  // namespace testsupport
