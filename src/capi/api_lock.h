// What the handle-based functions share: the process-wide recursive lock,
// node handles and the barrier that keeps exceptions inside the library.
#pragma once

#include <cstdint>
#include <mutex>

#include "mostfcat/fct.h"

namespace mostfcat {

class YMTNode;

std::recursive_mutex& ApiMutex();

// A node handle is the node's address.
inline YMTNode* NodeOf(uint64_t handle) {
    return reinterpret_cast<YMTNode*>(handle);
}

// Runs f; anything it throws becomes MOSTFCAT_INVALID.
template <class F> uint32_t Guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        return MOSTFCAT_INVALID;
    }
}

} // namespace mostfcat
