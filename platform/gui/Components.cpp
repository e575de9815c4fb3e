#include "platform/gui/Gui.h"
#include "platform/core/AsciiCase.h"

#include <QString>

#include <algorithm>
#include <cstdio>

QString ToQString(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQString(const QString& text) { return text.toUtf8().toStdString(); }

// ---------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner, std::string name) : Name(std::move(name)), owner_(owner) {}

TComponent::~TComponent()
{
    destroying_ = true;
    // Owned components go last to first, the reverse of their creation.
    while (!components_.empty()) components_.pop_back();
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty()) return nullptr;
    for (const auto& child : components_) {
        if (SameText(child->Name, name)) return child.get();
    }
    for (const auto& child : components_) {
        if (TComponent* found = child->FindComponent(name)) return found;
    }
    return nullptr;
}

bool TComponent::Destroying() const
{
    for (const TComponent* c = this; c; c = c->owner_)
        if (c->destroying_) return true;
    return false;
}

void TComponent::MarkDestroying() { destroying_ = true; }

void TComponent::Dispatch(const std::function<void()>& handler)
{
    if (!handler || Destroying()) return;
    try {
        handler();
    } catch (const EAbort&) {
        // A quiet end of an operation: nothing to show.
    } catch (const std::exception& error) {
        if (Application)
            Application->HandleException(error);
        else
            std::fprintf(stderr, "%s\n", error.what());
    }
}

// ---------------------------------------------------------------------------

void TStrings::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStrings::Put(int index, const std::string& text)
{
    CheckIndex(index, Count());
    Delete(index);
    Insert(index, text);
}

int TStrings::Add(const std::string& text)
{
    const int index = Count();
    Insert(index, text);
    // A sorted list may have put it elsewhere.
    for (int i = 0; i < Count(); ++i)
        if (Get(i) == text) return i;
    return index;
}

int TStrings::IndexOf(const std::string& text) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(Get(i), text)) return i;
    return -1;
}

void TStrings::Assign(const std::vector<std::string>& lines)
{
    Clear();
    for (const auto& line : lines) Add(line);
}

std::vector<std::string> TStrings::ToVector() const
{
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i) out.push_back(Get(i));
    return out;
}
