// cpp-httplib as the program uses it, on every Debian release it is built on (0.11 on Debian 12,
// 0.18 on Debian 13). Include this instead of <httplib.h>; what differs between the versions is
// settled here, by looking at the library's own declarations rather than its version string.
#pragma once

#include <httplib.h>

#include <functional>
#include <type_traits>
#include <utility>

namespace httplibcompat {

// TaskQueue::enqueue returns void in 0.11; from 0.14 on it returns bool, false meaning "queue
// full, close the connection". A queue that always takes the connection returns accepted().
using EnqueueResult =
    decltype(std::declval<httplib::TaskQueue&>().enqueue(std::declval<std::function<void()>>()));

template <typename Result = EnqueueResult>
Result accepted() {
    if constexpr (std::is_same_v<Result, bool>) {
        return true;
    } else {
        return;
    }
}

}  // namespace httplibcompat
