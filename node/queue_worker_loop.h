#pragma once

// The loop of a worker that works the records of its queue: it waits on the queue's event one
// slice at a time, looking at its run flag between slices, works what it finds, and drops what is
// left when it ends.

#include <cstdint>
#include <functional>

#include "node/work_queue.h"
#include "node/worker_thread.h"

namespace ruzd::node {

// How much of the queue one turn of the loop works.
enum class QueueTurn {
    // One record, then the run flag is looked at again; the event stays set, so the next wait
    // returns at once while records are left.
    kOneRecord,
    // Every record, until the list is empty.
    kWholeQueue,
};

// `work` is called for each record taken, without the queue's lock; a worker without a work
// function takes its records and drops them. `idle`, when given, is called at the start of every
// turn that finds the list empty, before the wait.
template <typename Record>
void RunQueueLoop(const WorkerRun& run, WorkQueue<Record>& queue, uint32_t sliceMs, QueueTurn turn,
                  const std::function<void(Record&)>& work,
                  const std::function<void()>& idle = {}) {
    while (run.ShouldRun()) {
        if (idle && queue.IsEmpty()) {
            idle();
        }
        if (!run.WaitFor(queue.Ready(), sliceMs)) {
            continue;
        }
        // Taking from an empty list resets the event.
        while (auto record = queue.TakeOne()) {
            if (work) {
                work(*record);
            }
            if (turn == QueueTurn::kOneRecord) {
                break;
            }
        }
    }
    queue.Clear();
}

}  // namespace ruzd::node
