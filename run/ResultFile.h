// The result file: what a run decided and did, as a UTF-8 JSON document that deployment tools
// read (docs/result-file.schema.json describes it). It replaces the previous file in one rename,
// so a reader sees the old document or the new one, never half of one.
#pragma once

#include "run/RunRecord.h"

#include <windows.h>

#include <string>

namespace orvanta {

// The text as a JSON string in UTF-8, quotes included: quotes, backslashes and control
// characters escaped, characters beyond the BMP as their four UTF-8 bytes, an unpaired
// surrogate as U+FFFD.
std::string JsonString(const std::wstring& text);

// The whole document for `summary`; `version` is the chainer's file version.
std::string ResultJson(const RunSummary& summary, const std::wstring& version);

// Writes `bytes` into a temporary file beside `path` and renames it over `path`. 0, or the
// error of the step that failed (the temporary file is then gone).
DWORD WriteFileReplacing(const std::wstring& path, const std::string& bytes);

// The configured ResultFile with its references and environment variables expanded; a relative
// path is taken from `moduleFolder`. Empty when none is configured.
std::wstring ResolveResultFile(const std::wstring& configured, const std::wstring& moduleFolder);

// Writes the record's result file, ending as `end`, when the record names one. A file that
// cannot be written is logged with the reason; the run's exit code does not change. `waitMs`
// bounds the wait for a record that another thread holds.
void WriteResultFile(const RunRecord& record, RunEnd end, DWORD waitMs);

} // namespace orvanta
