#pragma once

// One pointer per thread with a destructor that runs when the thread ends. Unlike a C++
// thread_local object, the slot outlives the thread's thread_local objects: their destructors
// still find what the thread keeps here, and what they put back is freed again.

namespace ruzd::platform {

class ThreadSlot {
public:
    using Destructor = void (*)(void* value);

    // `destroy` is called with a thread's value, when not null, as the thread ends. A slot is
    // meant to live as long as the process.
    explicit ThreadSlot(Destructor destroy);
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    // The calling thread's value; null until it sets one.
    void* Get() const;
    void Set(void* value);

private:
    unsigned int key_;
};

}  // namespace ruzd::platform
