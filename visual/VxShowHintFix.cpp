#include "visual/VxShowHintFix.h"

#include <algorithm>
#include <stdexcept>

#include "classlib/Forms.h"

using namespace ClassLib;

TVxShowHintFix VxShowHintFix;

void TMyFormList::Notify(void *item, TListNotification action)
{
    TList::Notify(item, action);
    if (action != lnAdded)
        return;
    if (auto *form = static_cast<TForm *>(item))
        form->SetShowHint(true);
    std::vector<TNotifyEvent> handlers = FormAddedHandlers;
    for (const TNotifyEvent &handler : handlers)
        handler(nullptr);
}

void TVxShowHintFix::Init()
{
    if (F.OldForm)
        throw std::runtime_error("TVxShowHintFix::OldForm must be zero at initialization time!");
    TList *old = Screen->FormList();
    TMyFormList *list = new TMyFormList();
    try {
        for (int i = 0; i < old->Count(); ++i)
            list->Add(old->Items(i));
        old->Clear();
    } catch (...) {
        delete list;
        throw;
    }
    F.OldForm = old;
    F.List = list;
    Screen->SetFormList(list);
}

void TVxShowHintFix::Done()
{
    if (!F.OldForm)
        throw std::runtime_error("TVxShowHintFix::OldForm must be not zero at finalization time!");
    TList *current = Screen->FormList();
    TList *old = F.OldForm;
    F.List = nullptr;
    old->Clear();
    for (int i = 0; i < current->Count(); ++i)
        old->Add(current->Items(i));
    Screen->SetFormList(old);
    if (current != old)
        delete current;
    F.OldForm = nullptr;
}

void TVxShowHintFix::AddFormAddedHandler(const TNotifyEvent &handler)
{
    if (F.List)
        F.List->FormAddedHandlers.push_back(handler);
}

void TVxShowHintFix::RemoveFormAddedHandler(const TNotifyEvent &handler)
{
    if (!F.List)
        return;
    auto &handlers = F.List->FormAddedHandlers;
    auto it = std::find(handlers.begin(), handlers.end(), handler);
    if (it != handlers.end())
        handlers.erase(it);
}
