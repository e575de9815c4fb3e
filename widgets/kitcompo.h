#pragma once
// Base classes of the component kit: the custom component with an update
// flag and a change event, the kit's component with its About text, and the
// persistent object with a change notification.

#include "platform/gui/Gui.h"

#include <functional>
#include <string>

// The text every kit component shows as its About property.
extern const char* const KitAboutText;

class TKitCustomComponent : public TComponent {
public:
    TKitCustomComponent(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {}

    void BeginUpdate() { updating_ = 1; }
    // Clears the update flag; with notify the change is announced.
    void EndUpdate(bool notify = true);
    bool Updating() const { return updating_ == 1; }
    // Calls OnChange unless an update is in progress.
    virtual void Changed();

    // True while the component is read from a stored description (only
    // then may some settings change, as with a designer).
    bool Loading() const { return loading_; }
    void SetLoading(bool loading) { loading_ = loading; }

    TNotifyEvent OnChange;

private:
    std::uint8_t updating_ = 0;
    bool loading_ = false;
};

class TKitComponent : public TKitCustomComponent {
public:
    using TKitCustomComponent::TKitCustomComponent;
    std::string About = KitAboutText;
};

class TKitObject {
public:
    virtual ~TKitObject() = default;
    void BeginUpdate() { updating_ = true; }
    void EndUpdate(bool notify = true);
    bool Updating() const { return updating_; }
    virtual void Changed();

    std::function<void(TKitObject* Sender)> OnChange;

private:
    bool updating_ = false;
};
