#pragma once

// The Aculab libraries' records that carry their own size in their first field: zeroed, with
// the size filled in.

namespace ruzd::telephony {

template <typename Record>
Record SizedRecord() {
    Record record{};
    record.size = sizeof(Record);
    return record;
}

}  // namespace ruzd::telephony
