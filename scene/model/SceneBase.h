// Ts3dBase, the base of every scene element, and Ts3dList, the non-owning
// typed list the scene keeps its elements in.
//
// Scene elements are plain objects, not reference counted. Whoever creates one
// hands it to the scene's store (Ts3dScene::Own), which keeps it for as long as
// the scene lives; every list of elements only points at them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "platform/Exception.h"

// An index outside a list: "List index out of bounds (N)".
ZUMBRIX_EXCEPTION(EListError, Exception);
[[noreturn]] void RaiseListIndexError(int64_t index);

class Ts3dBase {
public:
    Ts3dBase() = default;
    Ts3dBase(const Ts3dBase&) = delete;
    Ts3dBase& operator=(const Ts3dBase&) = delete;
    virtual ~Ts3dBase() = default;

    // Called once right after construction by whoever makes the element; the
    // base does nothing.
    virtual void Create() {}
    // A hook the engine never calls with any effect.
    virtual void Hook() {}

    int32_t Id = 0;
    int32_t ParentId = 0; // parent node id, 0 = none
    int32_t RefId = 0;    // id of the instantiated object
    std::string Name;
    TRefPtr<I3dDevice> Device; // set when the element joins a scene
};

// A list of elements the list does not own. Items(i) checks the index and
// raises "List index out of bounds (i)" outside the list.
template <class T> class Ts3dList {
public:
    T* Items(int32_t index) const {
        if (index < 0 || index >= Count()) RaiseListIndexError(index);
        return items_[size_t(index)];
    }
    int32_t Count() const { return int32_t(items_.size()); }
    bool Empty() const { return items_.empty(); }
    void Add(T* item) { items_.push_back(item); }
    // Appends the item unless the list holds it already; true when added.
    bool AddUnique(T* item) {
        for (T* existing : items_)
            if (existing == item) return false;
        items_.push_back(item);
        return true;
    }
    bool Contains(const T* item) const {
        for (T* existing : items_)
            if (existing == item) return true;
        return false;
    }
    // Empties the list; the elements stay alive. Keeps the storage, so a list
    // refilled every frame allocates nothing once it has grown.
    void Clear() { items_.clear(); }
    void Reserve(size_t n) { items_.reserve(n); }

    // Direct access for the renderer's loops and sorts.
    std::vector<T*>& Raw() { return items_; }
    const std::vector<T*>& Raw() const { return items_; }
    typename std::vector<T*>::const_iterator begin() const { return items_.begin(); }
    typename std::vector<T*>::const_iterator end() const { return items_.end(); }

private:
    std::vector<T*> items_;
};

using Ts3dBaseList = Ts3dList<Ts3dBase>;
