// Exception barriers for the exported operations: a host never sees a C++
// exception (only memory exhaustion can throw inside the library).
#pragma once

namespace mostfcat {

// Runs f; a failure inside gives the fallback.
template <class F, class R> R Safe(F&& f, R fallback) noexcept {
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

// Runs f; a failure inside leaves what was done so far.
template <class F> void SafeDo(F&& f) noexcept {
    try {
        f();
    } catch (...) {
    }
}

} // namespace mostfcat
