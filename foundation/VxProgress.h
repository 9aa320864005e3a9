// Progress client: long operations (the XML scan, the x-ini loader) report
// through a TVxProgress, which forwards to an optional TVxProgressHandler.
// Without a handler every call does nothing, IsActive is false and SubRange
// gives an empty holder. A client brackets its reports between Begin and End;
// one destroyed while started ends the run itself, so the handler's End comes
// exactly once per Begin.
#pragma once

#include "foundation/var_a.h"

// What a host implements to receive progress. Positions are fractions of the
// whole run, 0 to 1.
class TVxProgressHandler {
public:
    virtual ~TVxProgressHandler() = default;

    virtual void Begin() = 0;
    virtual void End() = 0;
    // Callers compute and report positions only while this is true.
    virtual bool IsActive() = 0;
    virtual void SetPosition(double fraction) = 0;
    // A handler for the part [from, to] of this handler's range: its position
    // 0..1 maps onto from..to here. The two bytes are hints whose meaning is
    // the host's (the x-ini loader passes 5 and 3).
    virtual var_a<TVxProgressHandler> SubRange(double from, double to, unsigned char a, unsigned char b) = 0;
};

// A ready-made SubRange answer for hosts: positions 0..1 reported to it reach
// the parent as from..to (clamped to that part). Begin and End do nothing, so a
// nested client cannot end the parent's run. The parent must outlive it.
class TVxProgressSubRange : public TVxProgressHandler {
public:
    TVxProgressSubRange(TVxProgressHandler *parent, double from, double to);

    void Begin() override;
    void End() override;
    bool IsActive() override;
    void SetPosition(double fraction) override;
    var_a<TVxProgressHandler> SubRange(double from, double to, unsigned char a, unsigned char b) override;

    // The parent's fraction for a fraction of this range.
    double MapToParent(double fraction) const;

private:
    TVxProgressHandler *parent_;
    double from_;
    double to_;
};

// A TVxProgressSubRange of parent in a var_a, as SubRange answers.
var_a<TVxProgressHandler> MakeProgressSubRange(TVxProgressHandler *parent, double from, double to);

class TVxProgress {
public:
    explicit TVxProgress(TVxProgressHandler *handler);
    virtual ~TVxProgress();
    TVxProgress(const TVxProgress &) = delete;
    TVxProgress &operator=(const TVxProgress &) = delete;

    void Begin();
    void End();
    bool IsActive();
    void SetPosition(double fraction);
    var_a<TVxProgressHandler> SubRange(double from, double to, unsigned char a, unsigned char b);

    TVxProgressHandler *getHandler() const { return handler_; }
    bool isStarted() const { return started_; }

protected:
    // Ends a started run and forgets the handler.
    void Detach();

private:
    TVxProgressHandler *handler_; // not owned; may be null
    bool started_;
};

// A client that also co-owns its handler, so that a handler made by SubRange
// lives as long as the client.
class TVxProgressVar : public TVxProgress {
public:
    explicit TVxProgressVar(const var_a<TVxProgressHandler> &handler);
    ~TVxProgressVar() override;

private:
    var_a<TVxProgressHandler> holder_;
};
