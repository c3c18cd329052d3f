// Intrusive reference counting for the engine's interfaces.
//
// Every interface derives (virtually) from IInterface, whose first three
// operations are query, add-reference and release. Objects derive from
// TInterfacedObject, which implements the three, plus the interfaces they
// offer. Because IInterface is a virtual base, one object that implements
// several interfaces has one reference count, and dynamic_cast finds every
// interface of an object (it stands in for the query by interface id).
//
// TRefPtr<T> is the counted smart pointer that holds a reference; objects are
// created with a count of 0 and the first TRefPtr takes the first reference.
#pragma once

#include <cstdint>
#include <utility>

// 128-bit interface identifier, in the usual {8-4-4-4-12} layout.
struct TGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

inline bool operator==(const TGuid& a, const TGuid& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; i++)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

class IInterface {
public:
    // Slot 0: asks for another interface of the same object by id. Stores a
    // counted reference in *out and returns true when the object offers it.
    virtual bool QueryInterface(const TGuid& iid, void** out) = 0;
    // Slot 1 and 2: reference counting; the results are the new count.
    virtual int AddRef() = 0;
    virtual int Release() = 0;

protected:
    virtual ~IInterface() = default;
};

// Implements the three basic operations with a plain (single-thread) count.
// QueryInterface answers no by default; code queries with QueryAs<T> below.
class TInterfacedObject : public virtual IInterface {
public:
    TInterfacedObject() = default;
    TInterfacedObject(const TInterfacedObject&) = delete;
    TInterfacedObject& operator=(const TInterfacedObject&) = delete;

    bool QueryInterface(const TGuid&, void** out) override {
        if (out) *out = nullptr;
        return false;
    }
    int AddRef() override { return ++refCount_; }
    int Release() override {
        int count = --refCount_;
        if (count == 0) delete this;
        return count;
    }
    int RefCount() const { return refCount_; }

protected:
    ~TInterfacedObject() override = default;

private:
    int refCount_ = 0;
};

// A counted reference to an interface (or object) T.
template <class T> class TRefPtr {
public:
    TRefPtr() = default;
    TRefPtr(std::nullptr_t) {}
    TRefPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    TRefPtr(const TRefPtr& o) : TRefPtr(o.p_) {}
    TRefPtr(TRefPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    template <class U> TRefPtr(const TRefPtr<U>& o) : TRefPtr(static_cast<T*>(o.Get())) {}
    ~TRefPtr() {
        if (p_) p_->Release();
    }
    TRefPtr& operator=(const TRefPtr& o) {
        TRefPtr(o).Swap(*this);
        return *this;
    }
    TRefPtr& operator=(TRefPtr&& o) noexcept {
        TRefPtr(std::move(o)).Swap(*this);
        return *this;
    }
    TRefPtr& operator=(T* p) {
        TRefPtr(p).Swap(*this);
        return *this;
    }
    TRefPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    void Reset() {
        if (p_) {
            T* old = p_;
            p_ = nullptr;
            old->Release();
        }
    }
    void Swap(TRefPtr& o) noexcept { std::swap(p_, o.p_); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const TRefPtr& o) const { return p_ == o.p_; }
    bool operator==(const T* o) const { return p_ == o; }

private:
    T* p_ = nullptr;
};

// The query by interface: another interface of the same object, or null.
template <class T, class U> TRefPtr<T> QueryAs(U* p) {
    return TRefPtr<T>(p ? dynamic_cast<T*>(p) : nullptr);
}
template <class T, class U> TRefPtr<T> QueryAs(const TRefPtr<U>& p) {
    return QueryAs<T>(p.Get());
}
