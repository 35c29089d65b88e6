// Searches that ask Windows Installer about products and components.
#include "detection/SearchKinds.h"

#include "platform/Paths.h"
#include "platform/SystemFunction.h"

#include <windows.h>
#include <msi.h>

namespace orvanta {
namespace {

// msi.dll is loaded from the system folder only, never from the folder the chainer runs from.
struct MsiFunctions {
    UniqueModule module;
    decltype(&::MsiGetProductInfoW) getProductInfo = nullptr;
    decltype(&::MsiEnumRelatedProductsW) enumRelatedProducts = nullptr;
    decltype(&::MsiLocateComponentW) locateComponent = nullptr;
};

template <typename Function>
void LookUp(const MsiFunctions& functions, const char* name, Function& function)
{
    function = GetModuleFunction<Function>(functions.module.Get(), name);
}

const MsiFunctions& Msi()
{
    static const MsiFunctions functions = [] {
        MsiFunctions loaded;
        loaded.module = LoadSystemLibrary(L"msi.dll");
        if (loaded.module) {
            LookUp(loaded, "MsiGetProductInfoW", loaded.getProductInfo);
            LookUp(loaded, "MsiEnumRelatedProductsW", loaded.enumRelatedProducts);
            LookUp(loaded, "MsiLocateComponentW", loaded.locateComponent);
        }
        return loaded;
    }();
    return functions;
}

// The product's "VersionString", or empty when it has none or is not installed.
std::wstring ProductVersion(const std::wstring& productCode)
{
    const auto getProductInfo = Msi().getProductInfo;
    if (getProductInfo == nullptr)
        return {};
    wchar_t empty[1] = {};
    DWORD length = 0;
    const UINT first = getProductInfo(productCode.c_str(), L"VersionString", empty, &length);
    if (first != ERROR_MORE_DATA && first != ERROR_SUCCESS)
        return {};
    std::wstring text(length + 1, L'\0');
    length += 1;
    if (getProductInfo(productCode.c_str(), L"VersionString", &text[0], &length) != ERROR_SUCCESS)
        return {};
    return text.substr(0, text.find(L'\0'));
}

} // namespace

void SearchMsiProductVersion(const std::wstring& productCode, SearchFinding& finding)
{
    std::wstring version = ProductVersion(productCode);
    if (!version.empty())
        finding.versions.push_back(std::move(version));
}

void SearchMsiUpgradeCodeVersions(const std::wstring& upgradeCode, SearchFinding& finding)
{
    const auto enumRelatedProducts = Msi().enumRelatedProducts;
    if (enumRelatedProducts == nullptr)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t productCode[39] = {};
        if (enumRelatedProducts(upgradeCode.c_str(), 0, index, productCode) != ERROR_SUCCESS)
            return;
        SearchMsiProductVersion(productCode, finding);
    }
}

void SearchMsiComponent(const std::wstring& componentCode, SearchFinding& finding)
{
    const auto locateComponent = Msi().locateComponent;
    if (locateComponent == nullptr)
        return;
    wchar_t empty[1] = {};
    DWORD length = 0;
    INSTALLSTATE state = locateComponent(componentCode.c_str(), empty, &length);
    if (state == INSTALLSTATE_MOREDATA) {
        std::wstring path(length + 1, L'\0');
        length += 1;
        state = locateComponent(componentCode.c_str(), &path[0], &length);
    }
    finding.found = state == INSTALLSTATE_LOCAL || state == INSTALLSTATE_SOURCE;
}

} // namespace orvanta
