// One line that says in words why a download failed and where: the chainer's own result codes
// from its string table, WinINet's codes from WinINet's message table, HTTP statuses with their
// reason. It names hosts and ports, never a user name or password.
#pragma once

#include "platform/Resources.h"

#include <cstdint>
#include <string>

namespace orvanta {

struct FailureFacts {
    uint32_t code = 0;        // the download's result: a DLERR_* code, a WinINet or a Windows error
    uint32_t httpStatus = 0;  // the server's last status, 0 when none came
    std::wstring host;        // of the URL
    uint16_t port = 0;        // of the URL; 0 leaves it out
    std::wstring proxy;       // the proxy that asked for a login; empty when the server asked
    std::wstring detail;      // the check a rejected file failed ("ExactSize", "MD5", "SHA256")
};

// "404 Not Found from 127.0.0.1:8080", "The proxy gate requires a login.", "The downloaded file
// does not match its SHA256.", "<WinINet's text> (host:port)." and so on; the system's text for
// other Windows errors. The chainer's own words are in the reader's language; the texts of
// WinINet and Windows are the system's.
std::wstring DescribeFailure(const FailureFacts& facts, TextFor reader);

// The standard reason phrase of an HTTP status ("Not Found"); empty for a status without one.
std::wstring HttpReason(uint32_t status);

} // namespace orvanta
