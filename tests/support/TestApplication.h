#pragma once
// One offscreen application for a whole test program (Qt allows only one).

#include "platform/gui/Gui.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace testsupport {

// Made on first use; it lives until the tests end and goes before the exit
// handlers run, since Qt's own globals must outlive it.
TApplication& TestApplication();

// One control of type C for a test, made by an owner component on a parent
// widget of the test application. The owner, and the control with it, goes
// before the parent.
template <typename C>
struct ControlUnderTest {
    explicit ControlUnderTest(const std::string& name) : control(owner->Make<C>(name, parent.get())) {}
    TApplication& application = TestApplication();
    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr, "root");
    C* control;
};

// Calls act with the modal window once one is up. It looks at every turn of
// the event loop, so it waits for the window however long opening it takes.
void WhenModal(std::function<void(QWidget*)> act);

// The label has room for its whole text: none of it is cut at its edge.
bool ShowsWholeText(const QLabel& label);

}  // namespace testsupport
