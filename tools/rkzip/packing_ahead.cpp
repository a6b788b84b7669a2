#include "tools/rkzip/packing_ahead.h"

#include <algorithm>

namespace rk::tools {

namespace {

// Memory a file takes while it is packed: its content, and room for its
// deflated form unless it is stored as it is.
std::uint64_t PackingCost(const FileReadState& state) {
    const std::uint64_t content = std::min(state.file->stamp.size, kLargestPackedAhead);
    return (state.storeAsItIs ? content : 2 * content) + 64 * 1024;
}

} // namespace

PackingLimits DefaultPackingLimits() {
    PackingLimits limits;
    limits.threads = std::max(1u, std::thread::hardware_concurrency());
    // Room for two batches per thread: one packed, one being packed.
    limits.entriesAhead = 2 * kMostFilesPerBatch * std::size_t{limits.threads};
    return limits;
}

PackingAhead::PackingAhead(PackingLimits limits) : limits_(limits) {
    stopped_.outcome = PackedEntry::Outcome::Stopped;
}

PackingAhead::~PackingAhead() {
    Stop();
}

std::size_t PackingAhead::Add(FileReadState& state) {
    Job job;
    job.state = &state;
    jobs_.push_back(job);
    return jobs_.size() - 1;
}

std::uint32_t PackingAhead::TakeSlotLocked() {
    if (freeSlots_.empty()) {
        slots_.emplace_back();
        return static_cast<std::uint32_t>(slots_.size() - 1);
    }
    const std::uint32_t slot = freeSlots_.back();
    freeSlots_.pop_back();
    return slot;
}

void PackingAhead::Start() {
    const std::size_t count = std::min<std::size_t>(limits_.threads, jobs_.size());
    for (std::size_t i = 0; i < count; ++i)
        workers_.emplace_back([this] { Work(); });
}

bool PackingAhead::MayStartLocked() {
    while (next_ < jobs_.size() && jobs_[next_].stage == Stage::Released)
        ++next_;
    if (next_ >= jobs_.size() || inFlight_ >= limits_.entriesAhead)
        return false;
    // A file larger than the budget still goes, alone.
    return inFlight_ == 0 || reserved_ + PackingCost(*jobs_[next_].state) <= limits_.bytesAhead;
}

void PackingAhead::WakeWorkerLocked() {
    if (idleWorkers_ > 0 && RoomForBatchLocked())
        roomForWorkers_.notify_one();
}

bool PackingAhead::RoomForBatchLocked() {
    if (!MayStartLocked())
        return false;
    // A worker woken for one file would hand it over alone: it waits for room
    // for a whole batch, unless nothing is in flight.
    return inFlight_ == 0 || (inFlight_ + BatchFiles() <= limits_.entriesAhead &&
                              reserved_ + kBatchBytes <= limits_.bytesAhead);
}

std::size_t PackingAhead::BatchFiles() const {
    return std::clamp<std::size_t>(limits_.entriesAhead / 2, 1, kMostFilesPerBatch);
}

void PackingAhead::Work() {
    std::vector<std::size_t> batch;
    std::vector<PackedEntry> packed;
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idleWorkers_;
        roomForWorkers_.wait(
            lock, [this] { return stop_.load() || MayStartLocked() || next_ >= jobs_.size(); });
        --idleWorkers_;
        if (stop_.load() || next_ >= jobs_.size())
            return;
        // Consecutive files up to a batch's bytes, taken in one hand-off.
        batch.clear();
        std::uint64_t batchBytes = 0;
        do {
            const std::size_t index = next_++;
            Job& job = jobs_[index];
            job.stage = Stage::Packing;
            job.slot = TakeSlotLocked();
            reserved_ += PackingCost(*job.state);
            ++inFlight_;
            batch.push_back(index);
            batchBytes += job.state->file->stamp.size;
        } while (batch.size() < BatchFiles() && batchBytes < kBatchBytes && MayStartLocked());

        lock.unlock();
        packed.clear();
        for (const std::size_t index : batch)
            packed.push_back(PackFile(*jobs_[index].state, kLargestPackedAhead, stop_));
        lock.lock();

        bool writerWaits = false;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            // Slots are taken and given back under the lock only, so the
            // reference is taken again now.
            Job& job = jobs_[batch[i]];
            Slot& slot = slots_[job.slot];
            slot.packed = std::move(packed[i]);
            reserved_ -= PackingCost(*job.state);
            // What the entry holds, not what the buffers could hold: their
            // room beyond it is never written, so it takes no memory.
            slot.reserved = slot.packed.bytes.size();
            reserved_ += slot.reserved;
            job.stage = Stage::Packed;
            if (job.releaseAsked)
                ReleaseLocked(job);
            writerWaits = writerWaits || writerWaitsFor_ == batch[i];
        }
        // Only the writer waiting for one of these files is woken, and a
        // worker only when there is room for a batch more.
        if (writerWaits)
            packedForWriter_.notify_one();
        WakeWorkerLocked();
    }
}

void PackingAhead::ReleaseLocked(Job& job) {
    switch (job.stage) {
    case Stage::Queued:
        job.stage = Stage::Released;
        break;
    case Stage::Packing:
        job.releaseAsked = true;
        break;
    case Stage::Packed: {
        Slot& slot = slots_[job.slot];
        slot.packed = PackedEntry();
        reserved_ -= slot.reserved;
        slot.reserved = 0;
        freeSlots_.push_back(job.slot);
        --inFlight_;
        job.stage = Stage::Released;
        break;
    }
    case Stage::Released:
        break;
    }
}

const PackedEntry& PackingAhead::Wait(std::size_t index) {
    std::unique_lock lock(mutex_);
    // The writer asks in entry order: those before are done with.
    for (; doneBefore_ < index; ++doneBefore_)
        ReleaseLocked(jobs_[doneBefore_]);
    WakeWorkerLocked();
    Job& job = jobs_[index];
    writerWaitsFor_ = index;
    packedForWriter_.wait(lock, [&] {
        return job.stage == Stage::Packed || job.stage == Stage::Released || stop_.load();
    });
    writerWaitsFor_ = kNoJob;
    return job.stage == Stage::Packed ? slots_[job.slot].packed : stopped_;
}

void PackingAhead::Release(std::size_t index) {
    std::lock_guard lock(mutex_);
    ReleaseLocked(jobs_[index]);
    WakeWorkerLocked();
}

void PackingAhead::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    roomForWorkers_.notify_all();
    packedForWriter_.notify_all();
    for (auto& worker : workers_)
        worker.join();
    workers_.clear();
}

} // namespace rk::tools
