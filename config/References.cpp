#include "config/References.h"

namespace orvanta {

std::vector<ReferencePart> SplitReferences(const std::wstring& text)
{
    std::vector<ReferencePart> parts;
    const auto addText = [&parts](ReferencePart::Kind kind, std::wstring piece) {
        if (!piece.empty())
            parts.push_back(ReferencePart{kind, std::move(piece)});
    };
    size_t position = 0;
    for (;;) {
        const size_t open = text.find_first_of(L"[%!", position);
        if (open == std::wstring::npos) {
            addText(ReferencePart::Text, text.substr(position));
            return parts;
        }
        addText(ReferencePart::Text, text.substr(position, open - position));
        const wchar_t opening = text[open];
        const wchar_t closing = opening == L'[' ? L']' : opening;
        const size_t searchFrom = open + (opening == L'[' ? 0 : opening == L'%' ? 1 : 2);
        const size_t close = searchFrom < text.size() ? text.find(closing, searchFrom) : std::wstring::npos;
        if (close == std::wstring::npos) {
            addText(ReferencePart::Unterminated, text.substr(open));
            return parts;
        }
        const ReferencePart::Kind kind = opening == L'['   ? ReferencePart::Folder
                                         : opening == L'%' ? ReferencePart::Environment
                                                           : ReferencePart::Registry;
        parts.push_back(ReferencePart{kind, text.substr(open + 1, close - open - 1)});
        position = close + 1;
    }
}

std::wstring WrittenForm(const ReferencePart& part)
{
    switch (part.kind) {
    case ReferencePart::Folder: return L"[" + part.text + L"]";
    case ReferencePart::Environment: return L"%" + part.text + L"%";
    case ReferencePart::Registry: return L"!" + part.text + L"!";
    default: return part.text;
    }
}

const std::vector<std::wstring>& FolderPropertyNames()
{
    static const std::vector<std::wstring> names = {
        L"ProgramFilesFolder", L"CommonFilesFolder",  L"DesktopFolder",       L"AllUsersDesktopFolder",
        L"AppDataFolder",      L"FavoritesFolder",    L"StartMenuFolder",     L"ProgramMenuFolder",
        L"StartupFolder",      L"FontsFolder",        L"LocalAppDataFolder",  L"CommonAppDataFolder",
        L"ProgramFiles64Folder", L"ProgramFiles",     L"SystemFolder",        L"System32Folder",
        L"WindowsFolder",      L"WindowsVolume",      L"TempFolder",          L"SETUPEXEDIR",
    };
    return names;
}

bool IsFolderPropertyName(const std::wstring& name)
{
    for (const std::wstring& known : FolderPropertyNames()) {
        if (known == name)
            return true;
    }
    return false;
}

} // namespace orvanta
