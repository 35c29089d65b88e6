#include "download/StreamHasher.h"

#include "download/Md5.h"
#include "download/Md5AndSha256.h"
#include "download/Sha256.h"
#include "platform/FaultTranslation.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(ORVANTA_FAULT_INJECTION)
// Test builds of the chainer only (tests/helpers/FaultInjection.cpp): faults when asked to.
void InjectDigestWorkerFault();
#endif

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

StreamHasher::StreamHasher(bool md5, bool sha256, bool peImage)
{
    if (!md5 && !sha256 && !peImage)
        return;
    ring_.resize(kSlotCount);
    for (Slot& slot : ring_)
        slot.bytes.resize(kSlotBytes);
    digests_.hasMd5 = md5;
    digests_.hasSha256 = sha256;
    digests_.hasPeImage = peImage;
    // Where one pass computes both digests at about the cost of MD5, one worker leaves the
    // other processor to the download; elsewhere each digest runs at its own speed.
    std::vector<Algorithm> algorithms;
    if (md5 && sha256 && Md5AndSha256::OnePass()) {
        algorithms.push_back(Algorithm::Both);
    } else {
        if (md5)
            algorithms.push_back(Algorithm::Md5);
        if (sha256)
            algorithms.push_back(Algorithm::Sha256);
    }
    if (peImage)
        algorithms.push_back(Algorithm::PeImage);
    consumed_.assign(algorithms.size(), 0);
    workers_.reserve(algorithms.size());
    for (size_t index = 0; index < algorithms.size(); ++index)
        workers_.push_back(Worker{this, algorithms[index], index, UniqueHandle()});
    for (Worker& worker : workers_) {
        worker.thread.Reset(::CreateThread(nullptr, 0, &StreamHasher::WorkerThread, &worker, 0, nullptr));
        if (!worker.thread) {
            EndWorkers(stopping_);
            throw std::bad_alloc();
        }
    }
}

StreamHasher::~StreamHasher()
{
    EndWorkers(stopping_);
    if (failure_ && !failureRaised_ && std::uncaught_exceptions() == 0)
        EndRunWithReport(failure_);
}

DWORD WINAPI StreamHasher::WorkerThread(void* parameter)
{
    const Worker& worker = *static_cast<const Worker*>(parameter);
    std::exception_ptr failure = RunContained([&worker] { worker.owner->Run(worker.algorithm, worker.index); });
    if (failure)
        worker.owner->Fail(std::move(failure));
    return 0;
}

// The failed worker consumes no more: the producer must not wait for it.
void StreamHasher::Fail(std::exception_ptr failure)
{
    {
        ExclusiveLock guard(lock_);
        if (!failure_)
            failure_ = std::move(failure);
    }
    ::WakeAllConditionVariable(&freed_);
}

void StreamHasher::RaiseFailure()
{
    failureRaised_ = true;
    std::rethrow_exception(failure_);
}

// Sets `flag` (stopping_ or finishing_) for the workers and waits until they have ended.
void StreamHasher::EndWorkers(bool& flag)
{
    {
        ExclusiveLock guard(lock_);
        flag = true;
    }
    ::WakeAllConditionVariable(&filled_);
    for (Worker& worker : workers_) {
        if (worker.thread)
            ::WaitForSingleObject(worker.thread.Get(), INFINITE);
        worker.thread.Reset();
    }
}

uint64_t StreamHasher::SlowestConsumer() const
{
    return *std::min_element(consumed_.begin(), consumed_.end());
}

StreamHasher::Slot& StreamHasher::WaitForFreeSlot()
{
    ExclusiveLock guard(lock_);
    while (!failure_ && produced_ - SlowestConsumer() >= ring_.size()) {
        producerWaiting_ = true;
        ::SleepConditionVariableSRW(&freed_, &lock_, INFINITE, 0);
    }
    producerWaiting_ = false;
    if (failure_)
        RaiseFailure();
    // The slot is the producer's alone until produced_ moves past it.
    return ring_[produced_ % ring_.size()];
}

void StreamHasher::Publish(size_t size)
{
    bool wake = false;
    {
        ExclusiveLock guard(lock_);
        ring_[produced_ % ring_.size()].size = size;
        ++produced_;
        digests_.size += size;
        wake = idleWorkers_ > 0;
    }
    // Workers that are busy find the slot when they ask for the next one: no wake-up needed.
    if (wake)
        ::WakeAllConditionVariable(&filled_);
}

void StreamHasher::Feed(const void* data, size_t size)
{
    if (!Active() || finishing_)
        return;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        Slot& slot = WaitForFreeSlot();
        const size_t take = std::min(size, slot.bytes.size());
        std::memcpy(slot.bytes.data(), bytes, take);
        Publish(take);
        bytes += take;
        size -= take;
    }
}

void StreamHasher::Feed(std::vector<char>& buffer, size_t size)
{
    if (!Active() || finishing_ || size == 0)
        return;
    Slot& slot = WaitForFreeSlot();
    const size_t bufferSize = buffer.size();
    if (slot.bytes.size() < bufferSize)
        slot.bytes.resize(bufferSize);
    slot.bytes.swap(buffer);
    buffer.resize(bufferSize);
    Publish(std::min(size, bufferSize));
}

void StreamHasher::Run(Algorithm algorithm, size_t worker)
{
    Md5 md5;
    Sha256 sha256;
    Md5AndSha256 both;
    PeImageHasher peImage;
    for (;;) {
        const Slot* slot = nullptr;
        {
            ExclusiveLock guard(lock_);
            while (!stopping_ && !finishing_ && consumed_[worker] == produced_) {
                ++idleWorkers_;
                ::SleepConditionVariableSRW(&filled_, &lock_, INFINITE, 0);
                --idleWorkers_;
            }
            if (stopping_)
                return;
            if (consumed_[worker] == produced_)
                break;  // finishing and nothing left
            slot = &ring_[consumed_[worker] % ring_.size()];
        }
#if defined(ORVANTA_FAULT_INJECTION)
        InjectDigestWorkerFault();
#endif
        switch (algorithm) {
        case Algorithm::Md5: md5.Update(slot->bytes.data(), slot->size); break;
        case Algorithm::Sha256: sha256.Update(slot->bytes.data(), slot->size); break;
        case Algorithm::Both: both.Update(slot->bytes.data(), slot->size); break;
        case Algorithm::PeImage: peImage.Update(slot->bytes.data(), slot->size); break;
        }
        bool wake = false;
        {
            ExclusiveLock guard(lock_);
            ++consumed_[worker];
            wake = producerWaiting_;
        }
        if (wake)
            ::WakeAllConditionVariable(&freed_);
    }
    // Each worker writes only its own digests; Finish reads them after the join.
    switch (algorithm) {
    case Algorithm::Md5: Md5::ToHex(md5.Finish(), digests_.md5); break;
    case Algorithm::Sha256: Sha256::ToHex(sha256.Finish(), digests_.sha256); break;
    case Algorithm::Both:
        Md5::ToHex(both.FinishMd5(), digests_.md5);
        Sha256::ToHex(both.FinishSha256(), digests_.sha256);
        break;
    case Algorithm::PeImage: digests_.peImage = peImage.Finish(); break;
    }
}

ContentDigests StreamHasher::Finish()
{
    EndWorkers(finishing_);
    if (failure_)
        RaiseFailure();  // the workers have ended: nothing writes failure_ any more
    return digests_;
}

} // namespace orvanta
