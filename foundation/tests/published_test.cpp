// A service lent to the lower layers: reachable only while its owner lives, and a part of the
// owner published in its place keeps the whole owner alive while it is locked.

#include "foundation/published.h"

#include <gtest/gtest.h>

#include <memory>

namespace ruzd::foundation {
namespace {

struct Counter {
    int calls = 0;
};

TEST(PublishedTest, ThePublishedServiceIsReachableOnlyWhileItLives) {
    Published<Counter> published;
    EXPECT_EQ(published.Lock(), nullptr);
    auto owner = std::make_shared<Counter>();
    published.Publish(owner);
    std::shared_ptr<Counter> locked = published.Lock();
    ASSERT_EQ(locked.get(), owner.get());
    // A locked pointer keeps the owner alive for the length of the call.
    std::weak_ptr<Counter> watch = owner;
    owner.reset();
    EXPECT_FALSE(watch.expired());
    ++locked->calls;
    locked.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(published.Lock(), nullptr);
}

TEST(PublishedTest, APartOfTheOwnerHoldsTheWholeOwner) {
    struct Owner {
        Counter table;
    };
    Published<Counter> published;
    auto owner = std::make_shared<Owner>();
    published.Publish(std::shared_ptr<Counter>(owner, &owner->table));
    std::shared_ptr<Counter> locked = published.Lock();
    ASSERT_EQ(locked.get(), &owner->table);
    std::weak_ptr<Owner> watch = owner;
    owner.reset();
    EXPECT_FALSE(watch.expired());
    locked.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(published.Lock(), nullptr);
}

}  // namespace
}  // namespace ruzd::foundation
