// The download engine's decisions that depend only on codes and texts: which open results try
// the next mirror, what an HTTP status means for the open, how FTP replies read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvanta {

// Whether an open result moves on to the next attempt: an unreachable or unresolvable host
// always does; "not found"-like results only when there are mirrors to turn to.
bool RetryGoesOn(uint32_t result, size_t urlCount);

bool IsCertificateError(uint32_t result);
// The certificate is valid but its revocation could not be checked (no list or responder
// reachable, or none named).
bool IsRevocationUnchecked(uint32_t result);
// Failures of a running transfer that a reconnection may heal.
bool IsDropError(uint32_t result);
bool IsFtpLoginError(uint32_t result);
bool IsShareLoginError(uint32_t result);

struct HttpStatusOutcome {
    enum class Action { Succeed, Fail, Login };
    Action action = Action::Fail;
    uint32_t result = 0;
    uint64_t resumeOffset = 0;   // where the response's bytes go in the ".part" file
    uint64_t contentLength = 0;  // the whole file's length; 0 = unknown
};

// The Content-Range header of a 206: "bytes first-last/total" (total "*" gives 0).
struct ContentRange {
    bool present = false;
    uint64_t first = 0;
    uint64_t total = 0;
};

// What a response means for the open, given the status code, its Content-Length (0 when
// absent), the requested resume offset, the result of the send and the Content-Range.
HttpStatusOutcome DecideHttpStatus(uint32_t status, uint64_t length, uint64_t resumeOffset, uint32_t sendResult,
                                   const ContentRange& range = ContentRange());

// A decimal size of 1 to 19 digits and nothing else; false for any other text.
bool ParseSize(const std::wstring& text, uint64_t& size);
// "bytes 100-199/1000" (spaces around the parts allowed); not present when malformed.
ContentRange ParseContentRange(const std::wstring& text);

// The reply code of an FTP server's last reply line ("350 Restarting..." gives 350); 0 when
// the text has none.
uint32_t FtpReplyCode(const std::wstring& reply);
// The size in a "213 <size>" reply to SIZE; 0 for any other reply.
uint64_t FtpSizeFromReply(const std::wstring& reply);

} // namespace orvanta
