#pragma once

// A service an upper layer lends to the layers below it for as long as it lives. The owner
// publishes a weak pointer to it; a caller that has no owner at hand locks the pointer for the
// length of one call and gives up when it is empty. An owner whose destruction has begun can no
// longer be locked, so it is never called while it goes.
//
// The owner may publish a part of itself (a table it holds) through an aliasing pointer: locking
// the part then keeps the whole owner alive for the call.

#include <memory>
#include <mutex>
#include <utility>

namespace ruzd::foundation {

template <typename Service>
class Published {
public:
    // Makes `service` the published one (an empty pointer withdraws it).
    void Publish(std::weak_ptr<Service> service) {
        std::lock_guard hold(lock_);
        service_ = std::move(service);
    }

    // Withdraws the published service when it is `service` or already gone (as it is while its
    // owner is destroyed), but leaves a living one published by someone else alone.
    void Withdraw(const Service* service) {
        // The copy outlives the lock: should it be the last one, the owner's destructor (which
        // withdraws it) runs without the lock held.
        std::shared_ptr<Service> published;
        std::lock_guard hold(lock_);
        published = service_.lock();
        if (published == nullptr || published.get() == service) {
            service_.reset();
        }
    }

    // The published service, or null while there is none (or its owner is being destroyed).
    std::shared_ptr<Service> Lock() const {
        std::lock_guard hold(lock_);
        return service_.lock();
    }

private:
    mutable std::mutex lock_;
    std::weak_ptr<Service> service_;
};

}  // namespace ruzd::foundation
