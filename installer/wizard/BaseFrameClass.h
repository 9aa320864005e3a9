// The base of every wizard page. The main form creates its pages once, places
// them and calls InitPage; afterwards it calls EnterPage each time a page
// becomes current, StorePage when the user moves back, and LeavePage when the
// user moves forward. Pages exchange data only through the settings object:
// EnterPage reads the settings into the controls, StorePage writes them back,
// LeavePage stores, checks and shows its own box on a failed check (false
// keeps the page current).
#pragma once

#include "classlib/Controls.h"
#include "classlib/Forms.h"

class TBaseFrameClass : public ClassLib::TFrame {
public:
    explicit TBaseFrameClass(ClassLib::TComponent *owner) : ClassLib::TFrame(owner) {}

    // One-time set-up after the page has been created and placed.
    virtual bool InitPage() = 0;
    // The page has just become current and is visible; forward is true when no
    // page was current before or the previous one had a lower index.
    virtual void EnterPage(bool forward) = 0;
    // Copies the controls' values into the settings object.
    virtual void StorePage() = 0;
    // The user moves forward: store, then check; false keeps the page.
    virtual bool LeavePage() = 0;
};

// Places the page, hidden, in area (the wizard's page area), filling it, and
// initialises it. A hidden control is not aligned: the page is given the
// place it will fill now, so that InitPage lays out its content at its final
// size (a long licence is laid out once, not again when the page is shown).
void PlaceWizardPage(TBaseFrameClass *page, ClassLib::TWinControl *area);
