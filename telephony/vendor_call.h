#pragma once

// Calls a vendor function through its table: only when the table exists, its library is
// loaded and the export was bound; otherwise nothing is called and the result is 0 (null
// for pointers, nothing for functions without a result).

#include <utility>

namespace ruzd::telephony {

template <typename Table, typename Result, typename... Params, typename... Args>
Result VendorCall(const Table* table, Result (*Table::*member)(Params...), Args&&... args) {
    if (table == nullptr || !table->IsLoaded())
        return Result();
    Result (*function)(Params...) = table->*member;
    if (function == nullptr)
        return Result();
    return function(std::forward<Args>(args)...);
}

}  // namespace ruzd::telephony
