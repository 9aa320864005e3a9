// What the wizard's pages use of the form that shows them: the Next button's
// Enabled state (the licence page lets the user on only while its box is
// ticked) and the window that owns the dialogs a page opens (the folder
// browser). The wizard's main form implements it and sets WizardHost for its
// lifetime; a page without a host leaves Next alone and opens its dialogs
// without an owner.
#pragma once

#include <windows.h>

class TWizardHost {
public:
    virtual void SetNextEnabled(bool enabled) = 0;
    virtual HWND DialogOwner() = 0;

protected:
    ~TWizardHost() = default;
};

// The form that hosts the pages now, or null.
inline TWizardHost *WizardHost = nullptr;
