#pragma once

// The priority of the workers that forward the boards' events, which run at the highest
// priority so that an event is passed on before the other threads' work.

#include <string_view>

namespace ruzd::node {

// Raises the calling worker thread to the highest priority. Where the process may not raise a
// priority, the worker goes on at normal priority and the first refusal of the process is
// logged; later ones would only repeat it.
void RaiseWorkerToHighestPriority(std::string_view worker);

}  // namespace ruzd::node
