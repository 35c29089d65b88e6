// The syntax of references inside configuration values: [FolderProperty], %ENVVAR% and
// !registry value!. Splitting needs no system; ExpandReferences (FolderProperties.h) resolves
// the pieces.
#pragma once

#include <string>
#include <vector>

namespace orvanta {

struct ReferencePart {
    enum Kind { Text, Folder, Environment, Registry, Unterminated };
    Kind kind = Text;
    std::wstring text;  // Text and Unterminated: the characters as written; otherwise the name
};

// The pieces of a value in order. A reference runs from its opening character to the next
// closing one ("]" for "[", "%" for "%", "!" for "!", the latter searched from the second
// character after the opening one). An opening character without its closing one makes the
// rest of the text one Unterminated piece, taken as written.
std::vector<ReferencePart> SplitReferences(const std::wstring& text);

// The piece as it stands in the value ("[name]", "%name%", "!name!", or the text itself).
std::wstring WrittenForm(const ReferencePart& part);

// True for the names that [name] resolves (case-sensitive).
bool IsFolderPropertyName(const std::wstring& name);
const std::vector<std::wstring>& FolderPropertyNames();

} // namespace orvanta
