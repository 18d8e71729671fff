// object.h -- reference-counted framework objects.
//
// Every framework object (files, streams, windows, controls, plug-in objects) derives from
// Object and is held through Ref<T>, an intrusive counting pointer. An object is deleted when
// its last reference goes. Raw pointers cross the plug-in interface; a raw pointer handed out
// with a reference for the receiver is taken back with Ref<T>::Adopt.
#pragma once

#include <cstdint>
#include <utility>

namespace rb {

class Object {
public:
    Object() = default;
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;
    virtual ~Object() = default;

    void Retain() noexcept { ++refCount_; }
    // Drops one reference; deletes the object when none is left.
    void Release() noexcept {
        if (--refCount_ == 0)
            delete this;
    }
    std::int64_t RefCount() const noexcept { return refCount_; }

private:
    std::int64_t refCount_ = 0;
};

template <class T> class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    // Takes a new reference to p (which may be null).
    Ref(T *p) noexcept : p_(p) {
        if (p_)
            p_->Retain();
    }
    Ref(const Ref &o) noexcept : Ref(o.p_) {}
    Ref(Ref &&o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U> Ref(const Ref<U> &o) noexcept : Ref(static_cast<T *>(o.get())) {}
    ~Ref() {
        if (p_)
            p_->Release();
    }
    Ref &operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    // Wraps p, which already carries the reference this Ref takes over.
    static Ref Adopt(T *p) noexcept {
        Ref r;
        r.p_ = p;
        return r;
    }
    // Gives up the reference without releasing it.
    T *Detach() noexcept { return std::exchange(p_, nullptr); }

    T *get() const noexcept { return p_; }
    T *operator->() const noexcept { return p_; }
    T &operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    bool operator==(const Ref &o) const noexcept { return p_ == o.p_; }
    bool operator==(std::nullptr_t) const noexcept { return p_ == nullptr; }

private:
    T *p_ = nullptr;
};

// Makes a new object with its first reference.
template <class T, class... Args> Ref<T> New(Args &&...args) {
    return Ref<T>(new T(std::forward<Args>(args)...));
}

// A checked cast: null when o is not a T.
template <class T, class U> Ref<T> RefCast(const Ref<U> &o) {
    return Ref<T>(dynamic_cast<T *>(o.get()));
}

} // namespace rb
