#include "widgets/kitcompo.h"

const char* const KitAboutText = "Pictavo component kit";

void TKitCustomComponent::EndUpdate(bool notify)
{
    updating_ = 0;
    if (notify) Changed();
}

void TKitCustomComponent::Changed()
{
    if (updating_ == 1 || !OnChange) return;
    OnChange(this);
}

void TKitObject::EndUpdate(bool notify)
{
    updating_ = false;
    if (notify) Changed();
}

void TKitObject::Changed()
{
    if (updating_ || !OnChange) return;
    OnChange(this);
}
