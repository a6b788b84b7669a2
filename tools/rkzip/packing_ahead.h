#pragma once
// Packs files on every core ahead of the archive writer: worker threads read
// and deflate the files in entry order while the archive writer writes the
// entries before them. Memory stays bounded: only so many entries are packed
// ahead, within a budget of bytes, and an entry's bytes go as soon as the
// writer has copied them.

#include "tools/rkzip/file_reading.h"
#include "tools/rkzip/packed_entry.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace rk::tools {

// Files up to this size are packed in memory; larger ones stream through
// the writer as the archive is written. With the budget below, a backup's
// memory stays well under 120 MB whatever the sizes of its files: a file
// packed whole takes its size twice while it is deflated.
inline constexpr std::uint64_t kLargestPackedAhead = 32ull * 1024 * 1024;

// A worker takes consecutive files in one hand-off, up to about this many
// bytes and this many files, so that small files do not cost a wait and a
// wake-up each.
inline constexpr std::uint64_t kBatchBytes = 1024 * 1024;
inline constexpr std::size_t kMostFilesPerBatch = 64;

struct PackingLimits {
    unsigned threads = 1;
    std::size_t entriesAhead = 16;
    // Memory of the files packed ahead; a file larger still goes, alone.
    std::uint64_t bytesAhead = 64ull * 1024 * 1024;
};

// The limits for this machine: a thread per core.
PackingLimits DefaultPackingLimits();

class PackingAhead {
  public:
    explicit PackingAhead(PackingLimits limits = DefaultPackingLimits());
    ~PackingAhead();
    PackingAhead(const PackingAhead&) = delete;
    PackingAhead& operator=(const PackingAhead&) = delete;

    // Room for `count` files to be queued.
    void Reserve(std::size_t count) { jobs_.reserve(count); }

    // Queues a file (before Start); its number, in the order the writer will ask
    // for them. `state` must outlive this object.
    std::size_t Add(FileReadState& state);

    // Starts the workers.
    void Start();

    // Waits until the file is packed. The entry stays valid until Release().
    // Files queued before it are taken as done with.
    const PackedEntry& Wait(std::size_t job);

    // The writer is done with the file: its bytes are dropped (a file not yet
    // packed is never read).
    void Release(std::size_t job);

    // Stops the workers; files not yet packed are never read.
    void Stop();

  private:
    enum class Stage : std::uint8_t { Queued, Packing, Packed, Released };
    // Kept for every file queued, so it stays small: what a file takes while
    // it is packed lives in a slot, and only files in flight hold one.
    struct Job {
        FileReadState* state = nullptr;
        std::uint32_t slot = 0;
        Stage stage = Stage::Queued;
        bool releaseAsked = false;
    };
    struct Slot {
        std::uint64_t reserved = 0;
        PackedEntry packed;
    };

    void Work();
    bool MayStartLocked();
    bool RoomForBatchLocked();
    std::size_t BatchFiles() const;
    void WakeWorkerLocked();
    void ReleaseLocked(Job& job);
    std::uint32_t TakeSlotLocked();

    PackingLimits limits_;
    std::vector<Job> jobs_;
    // Grows to the most files ever in flight; a deque, so that a slot given
    // out by Wait() stays where it is while others are added.
    std::deque<Slot> slots_;
    std::vector<std::uint32_t> freeSlots_;
    // What Wait() gives for a file that will not be packed.
    PackedEntry stopped_;
    static constexpr std::size_t kNoJob = static_cast<std::size_t>(-1);
    std::mutex mutex_;
    // Workers wait for room to pack one more file; the writer for the file
    // it asks for next.
    std::condition_variable roomForWorkers_;
    std::condition_variable packedForWriter_;
    unsigned idleWorkers_ = 0;
    std::size_t writerWaitsFor_ = kNoJob;
    std::size_t next_ = 0;       // the next file to pack
    std::size_t doneBefore_ = 0; // files before it are released
    std::size_t inFlight_ = 0;
    std::uint64_t reserved_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> workers_;
};

} // namespace rk::tools
