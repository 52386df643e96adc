#pragma once

// The bytes a listener's connections hold for their peers (received and not yet used, or queued
// and not yet sent), counted in total over the connections that are not trusted. A peer that
// sends without end, or never reads what the node sends it, must not make the node hold memory
// without end, however many connections it opens; the connection whose bytes take the total
// past the limit is closed. The connection the node works for (the active central server's)
// is not counted; it has a bound of its own on what waits to be sent, so that a central server
// that stops reading cannot make the node hold its events and uploads without end either.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace ruzd::net {

class BufferAccount;

class BufferBudget : public std::enable_shared_from_this<BufferBudget> {
public:
    // `active_limit` bounds the bytes queued for sending on a connection that is not counted
    // (0: no bound).
    static std::shared_ptr<BufferBudget> Create(size_t limit, size_t active_limit = 0);

    size_t Limit() const { return limit_; }
    size_t ActiveLimit() const { return active_limit_; }
    // The bytes held by the counted connections now.
    size_t Total() const;

    // The account of one more connection, counted from the start.
    std::shared_ptr<BufferAccount> Open();

private:
    friend class BufferAccount;
    BufferBudget(size_t limit, size_t active_limit) : limit_(limit), active_limit_(active_limit) {}

    const size_t limit_;
    const size_t active_limit_;
    mutable std::mutex lock_;  // guards the total and every account's figures
    size_t total_ = 0;
};

// What one connection holds. Any thread; the account gives its bytes back when it goes.
class BufferAccount {
public:
    enum Part { kReceived = 0, kQueued = 1 };

    explicit BufferAccount(std::shared_ptr<BufferBudget> budget) : budget_(std::move(budget)) {}
    ~BufferAccount();
    BufferAccount(const BufferAccount&) = delete;
    BufferAccount& operator=(const BufferAccount&) = delete;

    // Records that the connection holds `bytes` of `part` now. False when the connection is
    // counted and the total is past the limit with them, or when it is not counted and its
    // queued bytes are past the active connection's bound.
    bool Hold(Part part, size_t bytes);
    // Whether the connection's bytes count; those of the one the node works for do not.
    void SetCounted(bool counted);
    size_t Limit() const { return budget_->Limit(); }
    size_t ActiveLimit() const { return budget_->ActiveLimit(); }
    // Why a connection whose Hold failed is ended, for its log line.
    std::string OverLimitReason() const;

private:
    size_t HeldLocked() const { return held_[kReceived] + held_[kQueued]; }

    const std::shared_ptr<BufferBudget> budget_;
    size_t held_[2] = {0, 0};
    bool counted_ = true;
};

}  // namespace ruzd::net
