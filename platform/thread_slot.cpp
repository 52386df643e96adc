#include "platform/thread_slot.h"

#include <pthread.h>

#include <type_traits>

namespace ruzd::platform {

static_assert(std::is_same_v<pthread_key_t, unsigned int>, "the slot keeps the key as it is");

ThreadSlot::ThreadSlot(Destructor destroy) {
    pthread_key_create(&key_, destroy);
}

void* ThreadSlot::Get() const {
    return pthread_getspecific(key_);
}

void ThreadSlot::Set(void* value) {
    pthread_setspecific(key_, value);
}

}  // namespace ruzd::platform
