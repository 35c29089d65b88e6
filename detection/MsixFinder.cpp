#include "detection/MsixFinder.h"

#include "platform/ComRef.h"
#include "platform/FaultTranslation.h"
#include "platform/PackageManager.h"
#include "platform/Text.h"

#include <windows.h>

#include <utility>

namespace orvanta {
namespace {

// Windows.ApplicationModel.PackageVersion
struct PackageVersionAbi {
    uint16_t major;
    uint16_t minor;
    uint16_t build;
    uint16_t revision;
};

// Windows.ApplicationModel.IPackageId in vtable order.
struct IPackageIdAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Name(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Version(PackageVersionAbi* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Architecture(int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResourceId(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Publisher(HSTRING* value) = 0;
};

// Windows.ApplicationModel.IPackage (the first members).
struct IPackageAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(IPackageIdAbi** value) = 0;
};

// IIterator<Package> and IIterable<Package>.
struct IPackageIteratorAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Current(IPackageAbi** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasCurrent(boolean* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveNext(boolean* value) = 0;
};

struct IPackageIterableAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE First(IPackageIteratorAbi** value) = 0;
};

bool ReadIdentity(IPackageAbi* package, PackageIdentity& identity)
{
    ComRef<IPackageIdAbi> id;
    if (FAILED(package->get_Id(id.Put())) || !id)
        return false;
    UniqueHString name;
    UniqueHString publisher;
    int32_t architecture = 0;
    PackageVersionAbi version{};
    if (FAILED(id->get_Name(name.Put())) || FAILED(id->get_Publisher(publisher.Put())) ||
        FAILED(id->get_Architecture(&architecture)) || FAILED(id->get_Version(&version)))
        return false;
    identity.name = name.Text();
    identity.publisher = publisher.Text();
    identity.architecture = static_cast<uint32_t>(architecture);
    identity.version = {version.major, version.minor, version.build, version.revision};
    return true;
}

} // namespace

std::wstring ArchitectureText(uint32_t architecture)
{
    switch (architecture) {
    case 0:
        return L"x86";
    case 5:
        return L"arm";
    case 9:
        return L"x64";
    case 11:
        return L"neutral";
    case 12:
        return L"arm64";
    default:
        return {};
    }
}

bool PackageMatches(const PackageIdentity& package, const std::wstring& name, const std::wstring& publisher,
                    const std::wstring& architecture)
{
    return package.name == name && (publisher.empty() || package.publisher == publisher) &&
           (architecture.empty() || ArchitectureText(package.architecture) == architecture);
}

std::wstring FindPackageVersion(const PackageListing& listing, const std::wstring& name, const std::wstring& publisher,
                                const std::wstring& architecture)
{
    std::wstring version;
    if (!listing)
        return version;
    listing([&](const PackageIdentity& package) {
        if (!PackageMatches(package, name, publisher, architecture))
            return true;
        version = Format(L"%u.%u.%u.%u", static_cast<unsigned>(package.version[0]),
                         static_cast<unsigned>(package.version[1]), static_cast<unsigned>(package.version[2]),
                         static_cast<unsigned>(package.version[3]));
        return false;
    });
    return version;
}

void ListUserPackages(const PackageVisitor& visit)
{
    HRESULT result = S_OK;
    const ComRef<IPackageManagerAbi> manager(SystemRuntimeActivation().AcquirePackageManager(&result));
    if (!manager)
        return;
    ComRef<IInspectable> found;
    // A null HSTRING is the empty user id: the current user.
    if (FAILED(manager->FindPackagesByUserSecurityId(nullptr, found.Put())) || !found)
        return;
    auto* packages = static_cast<IPackageIterableAbi*>(found.Get());
    ComRef<IPackageIteratorAbi> iterator;
    if (FAILED(packages->First(iterator.Put())) || !iterator)
        return;
    boolean hasCurrent = 0;
    if (FAILED(iterator->get_HasCurrent(&hasCurrent)))
        return;
    while (hasCurrent) {
        ComRef<IPackageAbi> package;
        PackageIdentity identity;
        if (FAILED(iterator->get_Current(package.Put())) || !package || !ReadIdentity(package.Get(), identity))
            return;
        if (!visit(identity))
            return;
        if (FAILED(iterator->MoveNext(&hasCurrent)))
            return;
    }
}

std::wstring MsixFinder::Find(const std::wstring& name, const std::wstring& publisher,
                              const std::wstring& architecture, const PackageListing& listing)
{
    std::wstring result;
    // A thread of its own in the multithreaded apartment; what escapes it reaches this thread.
    RunOnGuardedThread([&] {
        const ComApartment apartment(COINIT_MULTITHREADED);
        if (FAILED(apartment.Result()))
            return;
        result = FindPackageVersion(listing, name, publisher, architecture);
    });
    return result;
}

} // namespace orvanta
