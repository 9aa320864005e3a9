#include "classlib/ActnList.h"

#include <algorithm>

namespace ClassLib {

TAction::TAction(TComponent *owner) : TComponent(owner)
{
}

TAction::~TAction()
{
    SetActionList(nullptr);
}

void TAction::SetActionList(TActionList *list)
{
    if (list == list_)
        return;
    if (list_) {
        auto &v = list_->actions_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    list_ = list;
    if (list_)
        list_->actions_.push_back(this);
}

bool TAction::Execute()
{
    if (!enabled_ || !OnExecute)
        return false;
    OnExecute(this);
    return true;
}

TActionList::~TActionList()
{
    for (TAction *a : actions_)
        a->list_ = nullptr;
    actions_.clear();
}

bool TActionList::IsShortCut(TShortCut shortCut)
{
    for (TAction *a : std::vector<TAction *>(actions_))
        if (a->ShortCut() == shortCut && a->Enabled())
            return a->Execute();
    return false;
}

} // namespace ClassLib
