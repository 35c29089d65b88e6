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
// Failures of a running transfer that a reconnection may heal.
bool IsDropError(uint32_t result);
bool IsFtpLoginError(uint32_t result);
bool IsShareLoginError(uint32_t result);

struct HttpStatusOutcome {
    enum class Action { Succeed, Fail, Login };
    Action action = Action::Fail;
    uint32_t result = 0;
    uint32_t resumeOffset = 0;
    uint32_t contentLength = 0;
};

// What a response means for the open, given the status code, its Content-Length (0 when
// absent), the requested resume offset and the result of the send.
HttpStatusOutcome DecideHttpStatus(uint32_t status, uint32_t length, uint32_t resumeOffset, uint32_t sendResult);

// The reply code of an FTP server's last reply line ("350 Restarting..." gives 350); 0 when
// the text has none.
uint32_t FtpReplyCode(const std::wstring& reply);
// The size in a "213 <size>" reply to SIZE; 0 for any other reply or a size beyond 32 bits.
uint32_t FtpSizeFromReply(const std::wstring& reply);

} // namespace orvanta
