// MD5, SHA-256 and the Authenticode digest of a stream of bytes, computed on worker threads while
// the caller goes on producing the stream (writing a download, reading a file). The bytes pass
// through a small ring of buffers, so memory stays the same whatever the stream's length.
#pragma once

#include "download/PeImageDigest.h"
#include "platform/UniqueResource.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

namespace orvanta {

// The digests of one stream, as lowercase hex text.
struct ContentDigests {
    uint64_t size = 0;  // bytes hashed
    bool hasMd5 = false;
    char md5[33] = "";
    bool hasSha256 = false;
    char sha256[65] = "";
    bool hasPeImage = false;
    PeImageDigest peImage;  // the Authenticode digest, for the signature check
};

// Nothing escapes a worker: a fault or error in the hashing is rethrown on the producing thread
// by its next Feed or by Finish. One that neither call rethrew when the hasher is destroyed ends
// the run with its report (EndRunWithReport), unless another error is already unwinding.
class StreamHasher {
public:
    // A hasher that wants no digest takes no thread and ignores what it is fed. Throws
    // std::bad_alloc when the system has no thread left to give.
    StreamHasher(bool md5, bool sha256, bool peImage = false);
    // Stops the workers; unfinished digests are dropped.
    ~StreamHasher();
    StreamHasher(const StreamHasher&) = delete;
    StreamHasher& operator=(const StreamHasher&) = delete;

    bool Active() const { return !workers_.empty(); }
    // Copies the bytes into the ring; waits while every buffer is still being hashed.
    void Feed(const void* data, size_t size);
    // Hashes the first `size` bytes of `buffer` without copying them: the buffer joins the ring
    // and `buffer` gets a free one of the ring in exchange, of the same size. Waits like Feed.
    void Feed(std::vector<char>& buffer, size_t size);
    // Waits until everything fed is hashed and returns the digests; the hasher takes no more.
    ContentDigests Finish();

private:
    // Both: one pass for the two digests (processors with the SHA extensions).
    enum class Algorithm { Md5, Sha256, Both, PeImage };
    struct Slot {
        std::vector<char> bytes;
        size_t size = 0;
    };
    struct Worker {
        StreamHasher* owner;
        Algorithm algorithm;
        size_t index;
        UniqueHandle thread;
    };

    Slot& WaitForFreeSlot();
    void Publish(size_t size);
    static DWORD WINAPI WorkerThread(void* parameter);
    void Run(Algorithm algorithm, size_t worker);
    void Fail(std::exception_ptr failure);
    [[noreturn]] void RaiseFailure();
    void EndWorkers(bool& flag);
    uint64_t SlowestConsumer() const;  // under lock_

    // The system's slim lock and condition variables: waiting and waking stay in user mode
    // where they can (the C++ library's ones cost a kernel call each under some runtimes).
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE filled_ = CONDITION_VARIABLE_INIT;  // the workers wait on it
    CONDITION_VARIABLE freed_ = CONDITION_VARIABLE_INIT;   // the producer waits on it
    std::vector<Slot> ring_;
    uint64_t produced_ = 0;           // slots filled so far
    std::vector<uint64_t> consumed_;  // slots each worker has hashed
    size_t idleWorkers_ = 0;          // workers waiting on filled_
    bool producerWaiting_ = false;
    bool finishing_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;  // the first worker's that failed
    bool failureRaised_ = false;
    std::vector<Worker> workers_;  // sized before the first thread starts: never moves
    ContentDigests digests_;
};

} // namespace orvanta
