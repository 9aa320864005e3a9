// Minimising a modal form minimises the whole application.
//
// TAppHook turns the application object's single-subscriber OnMinimize and
// OnRestore events into subscriber lists: minimise handlers run newest first
// and then the handler that was there before the hook; on restore the earlier
// handler runs first and then the restore handlers, oldest first. One hook
// lives for the whole program (AppHook()); further hooks may be stacked on it.
//
// TModalMinimizer is a component placed on a modal form: when the user
// minimises that form, the application window goes to the taskbar and every
// form of the program (the modal one and the forms under it) is hidden; the
// first activation of the form afterwards brings the application back with
// the form active.
#pragma once

#include <windows.h>

#include <vector>

#include "classlib/Classes.h"
#include "classlib/Forms.h"
#include "visual/VxWindowSubclass.h"

class TAppHook {
public:
    typedef std::vector<ClassLib::TNotifyEvent> THandlerList;

    // Hooks the application object's OnMinimize and OnRestore.
    TAppHook();
    // Puts the application's previous handlers back.
    ~TAppHook();
    TAppHook(const TAppHook &) = delete;
    TAppHook &operator=(const TAppHook &) = delete;

    void AddHandler(THandlerList &list, const ClassLib::TNotifyEvent &handler);
    // Removes the newest handler equal to handler; nothing when there is none.
    void RemoveHandler(THandlerList &list, const ClassLib::TNotifyEvent &handler);

    THandlerList MinimizeHandlers;
    THandlerList RestoreHandlers;

private:
    void AppMinimize(ClassLib::TObject *sender);
    void AppRestore(ClassLib::TObject *sender);

    ClassLib::TNotifyEvent oldMinimize_;
    ClassLib::TNotifyEvent oldRestore_;
};

// The program's one application hook.
TAppHook &AppHook();

class TModalMinimizer : public ClassLib::TComponent {
public:
    // Throws ClassLib::Exception when no form is found in the owner chain.
    explicit TModalMinimizer(ClassLib::TComponent *owner);
    ~TModalMinimizer() override;

    ClassLib::TForm *Form() const noexcept { return form_; }
    // True from minimising the application until the form is activated again.
    bool Minimized() const noexcept { return minimised_; }

    ClassLib::TNotifyEvent OnMinimize;
    ClassLib::TNotifyEvent OnRestore;

private:
    void DoMinimize(ClassLib::TObject *sender);
    void DoRestore(ClassLib::TObject *sender);
    LRESULT WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, WNDPROC next);

    ClassLib::TForm *form_ = nullptr;
    TVxWindowSubclass subclass_;
    bool minimised_ = false;
};
