// SPDX-License-Identifier: AGPL-3.0-or-later
// Opaque handles for the stand-in's objects. Each kind of object has its
// own table and its own range of handle values, values are never reused,
// and a value that names nothing (stale, forged, of another kind) simply
// finds nothing: a bad handle can never reach a wrong object.
#pragma once

#include <cstdint>
#include <map>

namespace vxwin32::detail {

template <typename Handle, typename Object>
class HandleTable {
public:
    explicit HandleTable(uintptr_t base) : next_(base) {}

    Handle Add(Object object) {
        const uintptr_t value = next_;
        next_ += 4;
        objects_.emplace(value, std::move(object));
        return reinterpret_cast<Handle>(value);
    }
    // Stays valid until the object is removed (the map's nodes do not move).
    Object* Find(Handle handle) {
        auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
        return found == objects_.end() ? nullptr : &found->second;
    }
    void Remove(Handle handle) { objects_.erase(reinterpret_cast<uintptr_t>(handle)); }

private:
    uintptr_t next_;
    std::map<uintptr_t, Object> objects_;
};

}  // namespace vxwin32::detail
