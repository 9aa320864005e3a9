// var_a<T>: the shared owning pointer of the whole program.
//
// A handle holds two words: the control block that carries ownership and the
// object pointer that callers use. The block has no virtual table, only an
// interlocked reference count and a plain function that ends the object and
// frees the block in one step. Two kinds of block exist:
//   TEmbedded_var_a_item<T>  the object lives inside the block's own allocation
//                            (made with make_var_a<T>(args...));
//   var_a_SItem<T*>          the block owns a separately allocated object
//                            (made with make_var_a_s(new T...)).
// A handle built from a null block and an object owns nothing; handles of one
// block may point at different objects (a base, a member) while sharing it.
// The count is interlocked, so handles may be copied and released on several
// threads; the object itself is not protected.
#pragma once

#include <windows.h>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

// Control block: the count and the function that destroys object and block.
struct var_a_item {
    typedef void (*TDestroyFunc)(var_a_item *block);

    volatile LONG count;
    TDestroyFunc destroy;

    void AddRef() noexcept { InterlockedIncrement(&count); }
    // Lowers the count; true while references remain.
    bool Release() noexcept { return InterlockedDecrement(&count) != 0; }
};

// Block with the object in its own allocation, right behind the header words.
template <class T>
struct TEmbedded_var_a_item : var_a_item {
    alignas(T) unsigned char storage[sizeof(T)];

    T *object() noexcept { return reinterpret_cast<T *>(storage); }

    static void Destroy(var_a_item *block) noexcept
    {
        TEmbedded_var_a_item *self = static_cast<TEmbedded_var_a_item *>(block);
        self->object()->~T();
        delete self;
    }

    // A new block with count 0; the object is constructed in place. If the
    // object's constructor throws, the block is freed and the exception passes.
    template <class... A>
    static TEmbedded_var_a_item *Create(A &&...args)
    {
        TEmbedded_var_a_item *self = new TEmbedded_var_a_item;
        self->count = 0;
        self->destroy = &Destroy;
        try {
            ::new (static_cast<void *>(self->storage)) T(std::forward<A>(args)...);
        } catch (...) {
            delete self;
            throw;
        }
        return self;
    }
};

// Block that owns a separately allocated object.
template <class P>
struct var_a_SItem;

template <class T>
struct var_a_SItem<T *> : var_a_item {
    T *object;

    static void Destroy(var_a_item *block) noexcept
    {
        var_a_SItem *self = static_cast<var_a_SItem *>(block);
        if (self->object)
            delete self->object;
        delete self;
    }

    // A new block with count 0 that owns p. When the block cannot be
    // allocated, p is deleted before the allocation failure passes on.
    static var_a_SItem *Create(T *p)
    {
        var_a_SItem *self = new (std::nothrow) var_a_SItem;
        if (!self) {
            delete p;
            throw std::bad_alloc();
        }
        self->count = 0;
        self->destroy = &Destroy;
        self->object = p;
        return self;
    }
};

template <class T>
class var_a {
public:
    typedef T element_type;

    var_a() noexcept : block_(nullptr), object_(nullptr) {}

    var_a(var_a_item *block, T *object) noexcept : block_(block), object_(object)
    {
        if (block_)
            block_->AddRef();
    }

    var_a(const var_a &other) noexcept : var_a(other.block_, other.object_) {}

    var_a(var_a &&other) noexcept : block_(other.block_), object_(other.object_)
    {
        other.block_ = nullptr;
        other.object_ = nullptr;
    }

    // A handle of a derived type shares its block as a handle of the base.
    template <class U, class = typename std::enable_if<std::is_convertible<U *, T *>::value>::type>
    var_a(const var_a<U> &other) noexcept : var_a(other.item(), other.get())
    {
    }

    ~var_a()
    {
        if (block_ && !block_->Release())
            block_->destroy(block_);
    }

    // The source may live inside the object this handle releases
    // (node = node->next), or be this very handle: both words are read before
    // anything is released.
    var_a &operator=(const var_a &other) noexcept
    {
        var_a_item *block = other.block_;
        T *object = other.object_;
        set_item(block);
        object_ = object;
        return *this;
    }

    var_a &operator=(var_a &&other) noexcept
    {
        var_a_item *block = other.block_;
        T *object = other.object_;
        if (block == block_) {
            object_ = object;
            return *this;
        }
        other.block_ = nullptr;
        other.object_ = nullptr;
        var_a_item *old = block_;
        block_ = block;
        object_ = object;
        if (old && !old->Release())
            old->destroy(old);
        return *this;
    }

    // Takes the block: the new one's count is raised before the old one's is
    // lowered, so a block shared with the source can never be freed in between.
    void set_item(var_a_item *block) noexcept
    {
        if (block)
            block->AddRef();
        var_a_item *old = block_;
        block_ = block;
        if (old && !old->Release())
            old->destroy(old);
    }

    // Shares another handle's block; the caller sets the object pointer.
    template <class U>
    void copy_item(const var_a<U> &other) noexcept
    {
        set_item(other.item());
    }

    // Sets the object pointer only; ownership stays as it is.
    void set_object(T *object) noexcept { object_ = object; }

    void reset() noexcept
    {
        set_item(nullptr);
        object_ = nullptr;
    }

    T *get() const noexcept { return object_; }
    var_a_item *item() const noexcept { return block_; }

    T *operator->() const noexcept { return object_; }
    T &operator*() const noexcept { return *object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    var_a_item *block_;
    T *object_;
};

template <class T, class U>
bool operator==(const var_a<T> &a, const var_a<U> &b) noexcept
{
    return a.get() == b.get();
}

template <class T, class U>
bool operator!=(const var_a<T> &a, const var_a<U> &b) noexcept
{
    return a.get() != b.get();
}

// Maker: the object is built inside the block from the arguments.
template <class T, class... A>
var_a<T> make_var_a(A &&...args)
{
    TEmbedded_var_a_item<T> *block = TEmbedded_var_a_item<T>::Create(std::forward<A>(args)...);
    return var_a<T>(block, block->object());
}

// Maker: the block takes ownership of an object allocated with new (null
// allowed: the block then owns nothing but itself).
template <class T>
var_a<T> make_var_a_s(T *object)
{
    var_a_SItem<T *> *block = var_a_SItem<T *>::Create(object);
    return var_a<T>(block, object);
}

// A handle that refers to an object without owning it.
template <class T>
var_a<T> unowned_var_a(T *object) noexcept
{
    return var_a<T>(nullptr, object);
}

class TVxStream;
class TVxXIniTree;
typedef var_a<TVxStream> VTVxStream;
typedef var_a<TVxXIniTree> VTVxXIniTree;
