#include "foundation/VxProgress.h"

TVxProgress::TVxProgress(TVxProgressHandler *handler) : handler_(handler), started_(false) {}

TVxProgress::~TVxProgress()
{
    Detach();
}

void TVxProgress::Detach()
{
    if (handler_ && started_)
        handler_->End();
    started_ = false;
    handler_ = nullptr;
}

void TVxProgress::Begin()
{
    if (!handler_)
        return;
    handler_->Begin();
    started_ = true;
}

void TVxProgress::End()
{
    if (!handler_)
        return;
    handler_->End();
    started_ = false;
}

bool TVxProgress::IsActive()
{
    return handler_ && handler_->IsActive();
}

void TVxProgress::SetPosition(double fraction)
{
    if (handler_)
        handler_->SetPosition(fraction);
}

var_a<TVxProgressHandler> TVxProgress::SubRange(double from, double to, unsigned char a, unsigned char b)
{
    if (!handler_)
        return var_a<TVxProgressHandler>();
    return handler_->SubRange(from, to, a, b);
}

TVxProgressVar::TVxProgressVar(const var_a<TVxProgressHandler> &handler)
    : TVxProgress(handler.get()), holder_(handler)
{
}

TVxProgressVar::~TVxProgressVar()
{
    // The handler may die with the holder, so the run ends before it goes.
    Detach();
    holder_.reset();
}

TVxProgressSubRange::TVxProgressSubRange(TVxProgressHandler *parent, double from, double to)
    : parent_(parent), from_(from), to_(to)
{
}

void TVxProgressSubRange::Begin() {}

void TVxProgressSubRange::End() {}

bool TVxProgressSubRange::IsActive()
{
    return parent_ && parent_->IsActive();
}

double TVxProgressSubRange::MapToParent(double fraction) const
{
    if (!(fraction > 0.0)) // also NaN
        fraction = 0.0;
    else if (fraction > 1.0)
        fraction = 1.0;
    return from_ + fraction * (to_ - from_);
}

void TVxProgressSubRange::SetPosition(double fraction)
{
    if (parent_)
        parent_->SetPosition(MapToParent(fraction));
}

var_a<TVxProgressHandler> TVxProgressSubRange::SubRange(double from, double to, unsigned char, unsigned char)
{
    return MakeProgressSubRange(parent_, MapToParent(from), MapToParent(to));
}

var_a<TVxProgressHandler> MakeProgressSubRange(TVxProgressHandler *parent, double from, double to)
{
    return make_var_a<TVxProgressSubRange>(parent, from, to);
}
