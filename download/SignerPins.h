// Signer pins: the SHA-256 hashes of the certificate keys (DER SubjectPublicKeyInfo) that a
// downloaded file's signature chain must contain one of. Pure text handling, also built natively.
#pragma once

#include "download/Sha256.h"

#include <string_view>
#include <vector>

namespace orvanta {

using KeyHash = Sha256::Digest;

// Reads a Signer value: one or more hashes of 64 hex digits (either case) separated by commas,
// with spaces or tabs allowed around each. False, with `pins` empty, for anything else: an empty
// value, an empty item (",,", a trailing comma), a hash of another length or a non-hex digit.
bool ParseSignerPins(std::wstring_view text, std::vector<KeyHash>& pins);
bool ParseSignerPins(std::string_view text, std::vector<KeyHash>& pins);

// True when `key` is one of `pins`.
bool IsPinned(const KeyHash& key, const std::vector<KeyHash>& pins);

// The SHA-256 hash of a DER SubjectPublicKeyInfo.
KeyHash HashOfKeyInfo(const void* der, size_t size);

} // namespace orvanta
