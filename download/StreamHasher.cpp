#include "download/StreamHasher.h"

#include "download/Md5.h"
#include "download/Sha256.h"

#include <algorithm>
#include <cstring>

namespace orvanta {
namespace {

// Four buffers of the engine's read size: the producer rarely waits, and the whole ring is 1 MiB.
constexpr size_t kSlotCount = 4;
constexpr size_t kSlotBytes = 256 * 1024;

// Holds the hasher's lock exclusively for a scope.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

} // namespace

StreamHasher::StreamHasher(bool md5, bool sha256)
{
    if (!md5 && !sha256)
        return;
    ring_.resize(kSlotCount);
    for (Slot& slot : ring_)
        slot.bytes.resize(kSlotBytes);
    digests_.hasMd5 = md5;
    digests_.hasSha256 = sha256;
    // One worker per digest: the two run side by side, each at its own speed.
    if (md5)
        consumed_.push_back(0);
    if (sha256)
        consumed_.push_back(0);
    size_t worker = 0;
    if (md5)
        workers_.emplace_back(&StreamHasher::Run, this, Algorithm::Md5, worker++);
    if (sha256)
        workers_.emplace_back(&StreamHasher::Run, this, Algorithm::Sha256, worker++);
}

StreamHasher::~StreamHasher()
{
    {
        ExclusiveLock guard(lock_);
        stopping_ = true;
    }
    WakeAll();
    for (std::thread& worker : workers_) {
        if (worker.joinable())
            worker.join();
    }
}

uint64_t StreamHasher::SlowestConsumer() const
{
    return *std::min_element(consumed_.begin(), consumed_.end());
}

void StreamHasher::Wait()
{
    ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
}

void StreamHasher::WakeAll()
{
    ::WakeAllConditionVariable(&changed_);
}

void StreamHasher::Feed(const void* data, size_t size)
{
    if (!Active() || finishing_)
        return;
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        Slot* slot = nullptr;
        {
            ExclusiveLock guard(lock_);
            while (produced_ - SlowestConsumer() >= ring_.size())
                Wait();
            slot = &ring_[produced_ % ring_.size()];
        }
        // The slot is the producer's alone until produced_ moves past it.
        const size_t take = std::min(size, kSlotBytes);
        std::memcpy(slot->bytes.data(), bytes, take);
        slot->size = take;
        {
            ExclusiveLock guard(lock_);
            ++produced_;
            digests_.size += take;
        }
        WakeAll();
        bytes += take;
        size -= take;
    }
}

void StreamHasher::Run(Algorithm algorithm, size_t worker)
{
    Md5 md5;
    Sha256 sha256;
    for (;;) {
        const Slot* slot = nullptr;
        {
            ExclusiveLock guard(lock_);
            while (!stopping_ && !finishing_ && consumed_[worker] == produced_)
                Wait();
            if (stopping_)
                return;
            if (consumed_[worker] == produced_)
                break;  // finishing and nothing left
            slot = &ring_[consumed_[worker] % ring_.size()];
        }
        if (algorithm == Algorithm::Md5)
            md5.Update(slot->bytes.data(), slot->size);
        else
            sha256.Update(slot->bytes.data(), slot->size);
        {
            ExclusiveLock guard(lock_);
            ++consumed_[worker];
        }
        WakeAll();
    }
    // Each worker writes only its own digest; Finish reads them after the join.
    if (algorithm == Algorithm::Md5)
        Md5::ToHex(md5.Finish(), digests_.md5);
    else
        Sha256::ToHex(sha256.Finish(), digests_.sha256);
}

ContentDigests StreamHasher::Finish()
{
    {
        ExclusiveLock guard(lock_);
        finishing_ = true;
    }
    WakeAll();
    for (std::thread& worker : workers_) {
        if (worker.joinable())
            worker.join();
    }
    return digests_;
}

} // namespace orvanta
