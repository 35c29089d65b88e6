// The AppxPackageVersion search.
#include "detection/SearchKinds.h"

#include "platform/Strings.h"

namespace orvanta {
namespace {

// Up to three "?"-separated fields; the last one keeps any further "?".
std::wstring Field(const std::wstring& text, int index)
{
    size_t begin = 0;
    for (int i = 0; i < index; ++i) {
        begin = text.find(L'?', begin);
        if (begin == std::wstring::npos)
            return {};
        ++begin;
    }
    const size_t end = index < 2 ? text.find(L'?', begin) : std::wstring::npos;
    return Trim(text.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin));
}

} // namespace

void SearchAppxPackage(const std::wstring& searchString, bool windows10OrLater, SearchFinding& finding,
                       const PackageListing& listing)
{
    if (!windows10OrLater)
        return;
    const std::wstring name = Field(searchString, 0);
    const std::wstring architecture = Field(searchString, 1);
    const std::wstring publisher = Field(searchString, 2);
    std::wstring version = MsixFinder::Find(name, publisher, architecture, listing);
    if (!version.empty())
        finding.versions.push_back(std::move(version));
}

} // namespace orvanta
