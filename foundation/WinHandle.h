// Owning wrappers for Win32 resources: one template, one traits class per kind.
// A traits class says what the null value is, which values are valid and how to
// close one. Wrappers are move-only; storing a handle keeps GetLastError intact,
// so the error of the call that produced it can still be read afterwards.
#pragma once

#include <windows.h>
#include <utility>

namespace Mirelta {

template <class Traits>
class TScopedHandle {
public:
    using Handle = typename Traits::Handle;

    TScopedHandle() noexcept : h_(Traits::NullHandle()) {}
    explicit TScopedHandle(Handle h) noexcept : h_(h) {}
    TScopedHandle(TScopedHandle &&other) noexcept : h_(other.Take()) {}
    TScopedHandle &operator=(TScopedHandle &&other) noexcept
    {
        if (this != &other)
            Set(other.Take());
        return *this;
    }
    TScopedHandle(const TScopedHandle &) = delete;
    TScopedHandle &operator=(const TScopedHandle &) = delete;
    ~TScopedHandle() { Close(); }

    bool IsValid() const noexcept { return Traits::IsValid(h_); }
    explicit operator bool() const noexcept { return IsValid(); }
    Handle Get() const noexcept { return h_; }

    // Replaces the owned handle; the old one is closed. GetLastError is kept.
    void Set(Handle h) noexcept
    {
        if (h == h_)
            return;
        DWORD err = GetLastError();
        Close();
        h_ = h;
        SetLastError(err);
    }

    // Gives up ownership without closing.
    Handle Take() noexcept
    {
        Handle h = h_;
        h_ = Traits::NullHandle();
        return h;
    }

    void Close() noexcept
    {
        if (Traits::IsValid(h_))
            Traits::CloseHandle(h_);
        h_ = Traits::NullHandle();
    }

private:
    Handle h_;
};

// Kernel handles: files, processes, threads, events, tokens. Null and
// INVALID_HANDLE_VALUE both count as invalid.
struct TKernelHandleTraits {
    using Handle = HANDLE;
    static Handle NullHandle() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void CloseHandle(Handle h) noexcept { ::CloseHandle(h); }
};
using TWinHandle = TScopedHandle<TKernelHandleTraits>;

struct TFindHandleTraits {
    using Handle = HANDLE;
    static Handle NullHandle() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void CloseHandle(Handle h) noexcept { ::FindClose(h); }
};
using TFindHandle = TScopedHandle<TFindHandleTraits>;

struct TRegKeyTraits {
    using Handle = HKEY;
    static Handle NullHandle() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void CloseHandle(Handle h) noexcept { ::RegCloseKey(h); }
};
using TRegKey = TScopedHandle<TRegKeyTraits>;

struct TModuleTraits {
    using Handle = HMODULE;
    static Handle NullHandle() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void CloseHandle(Handle h) noexcept { ::FreeLibrary(h); }
};
using TLibraryHandle = TScopedHandle<TModuleTraits>;

struct TGdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle NullHandle() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void CloseHandle(Handle h) noexcept { ::DeleteObject(h); }
};
using TGdiObject = TScopedHandle<TGdiObjectTraits>;

struct TIconTraits {
    using Handle = HICON;
    static Handle NullHandle() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void CloseHandle(Handle h) noexcept { ::DestroyIcon(h); }
};
using TIconHandle = TScopedHandle<TIconTraits>;

// A COM interface pointer that releases on destruction.
template <class I>
class TComPtr {
public:
    TComPtr() noexcept = default;
    TComPtr(TComPtr &&o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    TComPtr &operator=(TComPtr &&o) noexcept
    {
        if (this != &o) {
            Reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    TComPtr(const TComPtr &) = delete;
    TComPtr &operator=(const TComPtr &) = delete;
    ~TComPtr() { Reset(); }

    I *Get() const noexcept { return p_; }
    I *operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // For out-parameters of creating calls: releases what is held first.
    I **Receive() noexcept
    {
        Reset();
        return &p_;
    }
    void Reset() noexcept
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }

private:
    I *p_ = nullptr;
};

} // namespace Mirelta
