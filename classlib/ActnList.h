// Actions: named commands with a shortcut, gathered in an action list that
// the form asks for every key press before its controls see it.
#pragma once

#include <vector>

#include "classlib/Classes.h"

namespace ClassLib {

class TActionList;

class TAction : public TComponent {
public:
    explicit TAction(TComponent *owner);
    ~TAction() override;

    TActionList *ActionList() const noexcept { return list_; }
    void SetActionList(TActionList *list);
    AnsiString Caption() const { return caption_; }
    void SetCaption(const AnsiString &caption) { caption_ = caption; }
    AnsiString Category() const { return category_; }
    void SetCategory(const AnsiString &category) { category_ = category; }
    TShortCut ShortCut() const noexcept { return shortCut_; }
    void SetShortCut(TShortCut shortCut) noexcept { shortCut_ = shortCut; }
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool v) noexcept { enabled_ = v; }

    // Runs OnExecute; false when the action is disabled or has no handler.
    bool Execute();
    TNotifyEvent OnExecute;

private:
    friend class TActionList;
    TActionList *list_ = nullptr;
    AnsiString caption_;
    AnsiString category_;
    TShortCut shortCut_ = scNone;
    bool enabled_ = true;
};

class TActionList : public TComponent {
public:
    explicit TActionList(TComponent *owner) : TComponent(owner) {}
    ~TActionList() override;
    int ActionCount() const noexcept { return static_cast<int>(actions_.size()); }
    TAction *Actions(int index) const { return actions_.at(static_cast<size_t>(index)); }
    // Executes the first enabled action with the shortcut; true when one ran.
    bool IsShortCut(TShortCut shortCut);

private:
    friend class TAction;
    std::vector<TAction *> actions_;
};

} // namespace ClassLib
