#include "install/InterbootStore.h"

#include "platform/Text.h"

#include <utility>

namespace orvanta {

InterbootStore::InterbootStore(std::string keyName) : keyName_(std::move(keyName))
{
}

LSTATUS InterbootStore::SetNumber(const std::wstring& name, int32_t value)
{
    return SetText(name, Format(L"%d", value));
}

LSTATUS InterbootStore::SetText(const std::wstring& name, const std::wstring& text)
{
    // An empty name would write the key's default value, which every prerequisite without a
    // RetValPropName would then read back as its own return code.
    if (name.empty())
        return ERROR_INVALID_PARAMETER;
    UniqueKey key;
    LSTATUS status = ::RegCreateKeyA(HKEY_CURRENT_USER, keyName_.c_str(), key.Put());
    if (status != ERROR_SUCCESS)
        return status;
    const std::string data = WideToAnsi(text);
    // Stored without the terminating zero.
    return ::RegSetValueExA(key.Get(), WideToAnsi(name).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

LSTATUS InterbootStore::GetNumber(const std::wstring& name, int32_t& value) const
{
    std::wstring text;
    const LSTATUS status = GetText(name, text);
    if (status == ERROR_SUCCESS)
        value = ParseDecimal(text);
    return status;
}

LSTATUS InterbootStore::GetText(const std::wstring& name, std::wstring& text) const
{
    UniqueKey key;
    LSTATUS status = ::RegOpenKeyA(HKEY_CURRENT_USER, keyName_.c_str(), key.Put());
    if (status != ERROR_SUCCESS)
        return status;
    const std::string valueName = WideToAnsi(name);
    std::string data(64, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    status = ::RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    if (status == ERROR_MORE_DATA) {
        data.assign(size, '\0');
        status = ::RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                                    &size);
    }
    if (status != ERROR_SUCCESS)
        return status;
    data.resize(size);
    data = data.substr(0, data.find('\0'));
    text = AnsiToWide(data);
    return ERROR_SUCCESS;
}

LSTATUS InterbootStore::DeleteValue(const std::wstring& name)
{
    UniqueKey key;
    const LSTATUS status = ::RegOpenKeyA(HKEY_CURRENT_USER, keyName_.c_str(), key.Put());
    if (status != ERROR_SUCCESS)
        return status;
    return ::RegDeleteValueA(key.Get(), WideToAnsi(name).c_str());
}

LSTATUS InterbootStore::DeleteKey()
{
    return ::RegDeleteKeyA(HKEY_CURRENT_USER, keyName_.c_str());
}

} // namespace orvanta
