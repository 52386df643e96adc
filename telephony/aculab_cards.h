#pragma once

// The Aculab cards in the machine: the system snapshot opens every card with each capability
// it reports and keeps it in one process-wide list, in the order the cards were first opened;
// closing them all empties the list. Every vendor call goes through the published facade.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/timed_mutex.h"
#include "telephony/aculab_card.h"

namespace ruzd::telephony {

class AculabCardList {
public:
    // Guards the list and the cards' contents; re-entrant, so that the snapshot may hold it
    // while it opens each card.
    platform::RecursiveTimedMutex& Lock() { return lock_; }

    size_t Size();
    // Throws std::invalid_argument for an index out of range.
    CAculabCard& At(size_t index);
    CAculabCard& Append(std::unique_ptr<CAculabCard> card);
    void RemoveAll();

private:
    friend void CloseAllAculabCards(std::chrono::milliseconds wait);
    platform::RecursiveTimedMutex lock_;
    std::vector<std::unique_ptr<CAculabCard>> cards_;
};

// The process-wide list.
AculabCardList& AculabCards();

// Takes the system snapshot and opens every card in it; false when the snapshot failed.
bool SystemSnapShot();
// Opens one card and each of its capabilities, and lists it (once per serial number).
void OpenAculabCard(const std::string& serial);
// The first card whose serial number is exactly `serial`, or null.
CAculabCard* FindAculabCardId(const std::string& serial);
// The card whose net ports hold `port_handle`: true with its serial and the port's index, or
// false with an empty serial and index 0.
bool FindAculabNetPort(int32_t port_handle, std::string* serial, int32_t* index);
// Closes every capability and card and empties the list. Waits at most `wait` for the list
// and then changes nothing.
void CloseAllAculabCards(std::chrono::milliseconds wait = std::chrono::milliseconds(2000));

}  // namespace ruzd::telephony
