// The base of the class layer: the root object, the layer's exception, event
// closures, components with an owner that frees them, the notifying pointer
// list and string lists.
//
// Events are closures bound to an object's method, comparable by method and
// object (so a subscriber can be found again and removed), or to any callable:
//     ButNext->OnClick = ClassLib::Method<&TFrmMain::ButNextClick>(this);
//     Timer->OnTimer = [](ClassLib::TObject *) { ... };
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "classlib/AnsiString.h"

namespace ClassLib {

class TObject {
public:
    TObject() = default;
    TObject(const TObject &) = delete;
    TObject &operator=(const TObject &) = delete;
    virtual ~TObject() = default;
};

// The layer's own exception: a message text.
class Exception : public std::exception {
public:
    explicit Exception(const AnsiString &message = AnsiString()) : message_(message) {}
    const char *what() const noexcept override { return message_.c_str(); }
    const AnsiString &Message() const noexcept { return message_; }

private:
    AnsiString message_;
};

// A closure with the arguments Args. Bound to a method it compares equal to
// another binding of the same method on the same object; bound to a plain
// callable it compares equal to nothing but itself.
template <class... Args>
class TEvent {
public:
    TEvent() = default;
    TEvent(std::nullptr_t) {}
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent> &&
                                                std::is_invocable_v<F &, Args...>>>
    TEvent(F f) : fn_(std::move(f))
    {
    }

    template <auto M, class T>
    static TEvent Bind(T *object)
    {
        TEvent e;
        e.fn_ = [object](Args... args) { (object->*M)(std::forward<Args>(args)...); };
        e.code_ = reinterpret_cast<const void *>(&Identity<M, T>);
        e.data_ = object;
        return e;
    }

    explicit operator bool() const noexcept { return static_cast<bool>(fn_); }
    void operator()(Args... args) const
    {
        if (fn_)
            fn_(std::forward<Args>(args)...);
    }
    bool operator==(const TEvent &o) const noexcept
    {
        if (!code_ || !o.code_)
            return this == &o;
        return code_ == o.code_ && data_ == o.data_;
    }
    bool operator!=(const TEvent &o) const noexcept { return !(*this == o); }
    // The bound object (null for a plain callable).
    const void *Data() const noexcept { return data_; }

private:
    template <auto M, class T>
    static void Identity()
    {
    }

    std::function<void(Args...)> fn_;
    const void *code_ = nullptr;
    const void *data_ = nullptr;
};

template <class M>
struct TMethodTraits;
template <class T, class... A>
struct TMethodTraits<void (T::*)(A...)> {
    using Class = T;
    using Event = TEvent<A...>;
};

// Binds a method of an object as an event of the matching kind.
template <auto M>
auto Method(typename TMethodTraits<decltype(M)>::Class *object)
{
    using Traits = TMethodTraits<decltype(M)>;
    return Traits::Event::template Bind<M, typename Traits::Class>(object);
}

using TNotifyEvent = TEvent<TObject *>;

enum TComponentStateFlag : unsigned { csLoading = 1, csDestroying = 2, csDesigning = 4 };

// A component belongs to its owner, which frees it with itself. Freeing a
// component takes it off its owner's list first.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent *owner);
    ~TComponent() override;

    TComponent *Owner() const noexcept { return owner_; }
    int ComponentCount() const noexcept { return static_cast<int>(components_.size()); }
    TComponent *Components(int index) const { return components_.at(static_cast<size_t>(index)); }
    unsigned ComponentState() const noexcept { return state_; }

    const AnsiString &Name() const noexcept { return name_; }
    void SetName(const AnsiString &name) { name_ = name; }
    int Tag() const noexcept { return tag_; }
    void SetTag(int tag) noexcept { tag_ = tag; }

    void InsertComponent(TComponent *component);
    void RemoveComponent(TComponent *component) noexcept;

protected:
    // Frees every owned component, newest first.
    void DestroyComponents() noexcept;
    void SetDestroying() noexcept { state_ |= csDestroying; }
    bool Destroying() const noexcept { return (state_ & csDestroying) != 0; }

private:
    TComponent *owner_ = nullptr;
    std::vector<TComponent *> components_;
    unsigned state_ = 0;
    AnsiString name_;
    int tag_ = 0;
};

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// A list of pointers that tells the overridable Notify of every change.
class TList : public TObject {
public:
    ~TList() override;
    int Count() const noexcept { return static_cast<int>(items_.size()); }
    void *Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    void *operator[](int index) const { return Items(index); }
    int Add(void *item);
    void Insert(int index, void *item);
    void Delete(int index);
    int Remove(void *item);
    int IndexOf(void *item) const noexcept;
    void Clear();

protected:
    virtual void Notify(void *item, TListNotification action);

private:
    std::vector<void *> items_;
};

// An ordered list of texts.
class TStrings : public TObject {
public:
    virtual int Count() const = 0;
    virtual AnsiString Get(int index) const = 0;
    virtual int Add(const AnsiString &text) = 0;
    virtual void Clear() = 0;
    AnsiString operator[](int index) const { return Get(index); }
    // The lines joined by CR LF, each one ended by it.
    virtual AnsiString Text() const;
    // Replaces the lines by the text cut at CR LF, LF or CR.
    virtual void SetText(const AnsiString &text);
    int IndexOf(const AnsiString &text) const;
};

class TStringList : public TStrings {
public:
    int Count() const override { return static_cast<int>(items_.size()); }
    AnsiString Get(int index) const override { return items_.at(static_cast<size_t>(index)); }
    int Add(const AnsiString &text) override;
    void Clear() override { items_.clear(); }

private:
    std::vector<AnsiString> items_;
};

// Keyboard shortcuts: a virtual key with modifier bits.
typedef unsigned short TShortCut;
enum : TShortCut { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0 };
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
inline TShortCut ShortCut(WORD key, unsigned shift)
{
    TShortCut s = static_cast<TShortCut>(key & 0xFF);
    if (shift & ssShift)
        s |= scShift;
    if (shift & ssCtrl)
        s |= scCtrl;
    if (shift & ssAlt)
        s |= scAlt;
    return s;
}
// The modifier keys held now.
unsigned KeyboardShiftState();

} // namespace ClassLib
