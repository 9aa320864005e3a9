#include "installer/wizard/BarThrottle.h"

#include "installer/InstParams.h"
#include "visual/VxProgressBar.h"

void ShowBarProgress(TVxProgressBar &bar, TUpdateThrottle &throttle, DWORD now, int32_t percent)
{
    const bool indefinite = percent == InstProgressIndefinite;
    if (bar.BarIndefinite() != indefinite)
        bar.SetBarIndefinite(indefinite);
    if (!throttle.Pass(now))
        return;
    if (indefinite)
        bar.Step();
    else
        bar.SetPosition(percent);
    bar.Repaint();
}
