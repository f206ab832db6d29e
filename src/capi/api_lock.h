// The process-wide recursive lock of the handle-based interface.
#pragma once

#include <mutex>

namespace mostfcat {

std::recursive_mutex& ApiMutex();

} // namespace mostfcat
