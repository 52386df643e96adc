#pragma once

// The Aculab libraries' records that begin with their own size: a record is taken only when
// it is there and carries exactly its size.

namespace ruzd::boardsim {

template <typename Record>
bool Sized(const Record* parms) {
    return parms != nullptr && parms->size == sizeof(Record);
}

}  // namespace ruzd::boardsim
