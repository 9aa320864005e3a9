#include "classlib/Classes.h"

#include <algorithm>

namespace ClassLib {

TComponent::TComponent(TComponent *owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    state_ |= csDestroying;
    DestroyComponents();
    if (owner_)
        owner_->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent *component)
{
    if (!component || component->owner_ == this)
        return;
    if (component->owner_)
        component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent *component) noexcept
{
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it == components_.end())
        return;
    components_.erase(it);
    component->owner_ = nullptr;
}

void TComponent::DestroyComponents() noexcept
{
    while (!components_.empty()) {
        TComponent *last = components_.back();
        components_.pop_back();
        last->owner_ = nullptr;
        delete last;
    }
}

TList::~TList()
{
    items_.clear();
}

int TList::Add(void *item)
{
    items_.push_back(item);
    Notify(item, lnAdded);
    return Count() - 1;
}

void TList::Insert(int index, void *item)
{
    if (index < 0 || index > Count())
        throw Exception("List index out of bounds");
    items_.insert(items_.begin() + index, item);
    Notify(item, lnAdded);
}

void TList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds");
    void *item = items_[static_cast<size_t>(index)];
    items_.erase(items_.begin() + index);
    Notify(item, lnDeleted);
}

int TList::Remove(void *item)
{
    int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
    return index;
}

int TList::IndexOf(void *item) const noexcept
{
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TList::Clear()
{
    while (!items_.empty())
        Delete(Count() - 1);
}

void TList::Notify(void *, TListNotification)
{
}

AnsiString TStrings::Text() const
{
    AnsiString text;
    for (int i = 0; i < Count(); ++i) {
        text += Get(i);
        text += "\r\n";
    }
    return text;
}

void TStrings::SetText(const AnsiString &text)
{
    Clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            Add(text.substr(start));
            break;
        }
        Add(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
}

int TStrings::IndexOf(const AnsiString &text) const
{
    for (int i = 0; i < Count(); ++i)
        if (Get(i) == text)
            return i;
    return -1;
}

int TStringList::Add(const AnsiString &text)
{
    items_.push_back(text);
    return Count() - 1;
}

unsigned KeyboardShiftState()
{
    unsigned s = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        s |= ssAlt;
    return s;
}

} // namespace ClassLib
