// The hint fix: every form shows its controls' hints.
//
// Init replaces the screen's list of forms by a TMyFormList that switches
// ShowHint on for each form it receives (the forms already there included)
// and then tells its form-added handlers; Done puts the screen's own list
// back with the forms of the moment. Init twice, or Done without Init,
// throws std::runtime_error.
#pragma once

#include <vector>

#include "classlib/Classes.h"

class TMyFormList : public ClassLib::TList {
public:
    std::vector<ClassLib::TNotifyEvent> FormAddedHandlers;

protected:
    void Notify(void *item, ClassLib::TListNotification action) override;
};

class TVxShowHintFix {
public:
    struct TF {
        ClassLib::TList *OldForm = nullptr; // the screen's own list while installed
        TMyFormList *List = nullptr;        // the installed list, owned
    };

    TVxShowHintFix() = default;
    // Left installed at exit, the list stays with the screen: the screen may
    // be gone already, and forms still leave it while they are freed.
    ~TVxShowHintFix() = default;
    TVxShowHintFix(const TVxShowHintFix &) = delete;
    TVxShowHintFix &operator=(const TVxShowHintFix &) = delete;

    void Init();
    void Done();
    bool Installed() const noexcept { return F.OldForm != nullptr; }

    // Subscribers to "a form was added"; nothing happens while not installed.
    virtual void AddFormAddedHandler(const ClassLib::TNotifyEvent &handler);
    virtual void RemoveFormAddedHandler(const ClassLib::TNotifyEvent &handler);

private:
    TF F;
};

// The program's hint fix (installed by the main routine).
extern TVxShowHintFix VxShowHintFix;
