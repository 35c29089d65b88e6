// MSIX deployment through fake activation factories (the package manager does not exist under
// Wine; the real path's 1627 is checked by a whole run in tests/e2e), and the parameterized
// interface ids the deployment hard-codes, derived again from their signatures.
#include "install/MsixDeployment.h"
#include "install/MsixDeploymentAbi.h"
#include "platform/Logger.h"
#include "platform/PackageManager.h"

#include "TestSupport.h"

#include <activation.h>
#include <gtest/gtest.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

using namespace orvanta;
using testing_support::ContainsLine;

namespace {

struct Scenario {
    HRESULT activation = S_OK;
    HRESULT createUri = S_OK;
    int32_t status = AsyncCompleted;
    HRESULT errorCode = S_OK;

    // What the fakes saw.
    std::atomic<int> activations{0};
    std::wstring uri;
    uint32_t options = 99;
    bool dependencies = true;
    bool multithreadedApartment = false;
    bool handlerCalled = false;
};
Scenario* g_scenario = nullptr;

// IInspectable {AF86E2E0-B12D-4C6A-9C5A-D7AA65101E90}
const IID kIidInspectable = {0xAF86E2E0, 0xB12D, 0x4C6A, {0x9C, 0x5A, 0xD7, 0xAA, 0x65, 0x10, 0x1E, 0x90}};
// The id Windows gives AsyncOperationWithProgressCompletedHandler<DeploymentResult,
// DeploymentProgress>; derived from its signature below.
const IID kIidWindowsCompletedHandler = {0x6E1C7129, 0x61E0, 0x5D88, {0x9F, 0xD4, 0xF3, 0xCE, 0x65, 0xA0, 0x57, 0x19}};

std::wstring HStringText(HSTRING text)
{
    using RawBufferFn = PCWSTR(WINAPI*)(HSTRING, UINT32*);
    static const auto rawBuffer = reinterpret_cast<RawBufferFn>(
        reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(L"combase.dll"), "WindowsGetStringRawBuffer")));
    UINT32 length = 0;
    const PCWSTR buffer = rawBuffer(text, &length);
    return buffer == nullptr ? std::wstring() : std::wstring(buffer, length);
}

// Reference counting and IInspectable for the fakes; QueryInterface answers the listed ids.
template <typename Interface>
class Fake : public Interface {
public:
    virtual ~Fake() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = Find(iid);
        if (*object == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }

protected:
    virtual void* Find(REFIID iid)
    {
        return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidInspectable) ? static_cast<Interface*>(this)
                                                                                    : nullptr;
    }

private:
    std::atomic<ULONG> references_{1};
};

// Completes on a thread of its own once the handler is attached.
class FakeOperation final : public Fake<IDeploymentOperationAbi>, public IAsyncInfoAbi {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** o) override { return Fake::QueryInterface(iid, o); }
    ULONG STDMETHODCALLTYPE AddRef() override { return Fake::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Fake::Release(); }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE put_Progress(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Progress(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Completed(IDeploymentCompletedHandlerAbi* handler) override
    {
        // Windows asks the handler for its own interface (to marshal it or hold it agile) and
        // refuses a handler that does not answer.
        IUnknown* own = nullptr;
        const HRESULT asked = handler->QueryInterface(kIidWindowsCompletedHandler, reinterpret_cast<void**>(&own));
        if (FAILED(asked))
            return asked;
        own->Release();
        handler->AddRef();
        AddRef();
        handler_ = handler;
        const HANDLE thread = ::CreateThread(nullptr, 0, Complete, this, 0, nullptr);
        ::CloseHandle(thread);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Completed(IDeploymentCompletedHandlerAbi**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetResults(IInspectable** result) override
    {
        *result = nullptr;
        return g_scenario->status == AsyncCompleted ? S_OK : g_scenario->errorCode;
    }

    HRESULT STDMETHODCALLTYPE get_Id(uint32_t* id) override { *id = 1; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_Status(int32_t* status) override { *status = g_scenario->status; return S_OK; }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override { *code = g_scenario->errorCode; return S_OK; }
    HRESULT STDMETHODCALLTYPE Cancel() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }

private:
    void* Find(REFIID iid) override
    {
        return IsEqualIID(iid, kIidAsyncInfo) ? static_cast<IAsyncInfoAbi*>(this) : Fake::Find(iid);
    }
    static DWORD WINAPI Complete(void* parameter)
    {
        auto* operation = static_cast<FakeOperation*>(parameter);
        g_scenario->handlerCalled = true;
        operation->handler_->Invoke(static_cast<IDeploymentOperationAbi*>(operation), g_scenario->status);
        operation->handler_->Release();
        operation->Release();
        return 0;
    }

    IDeploymentCompletedHandlerAbi* handler_ = nullptr;
};

class FakeUri final : public Fake<IInspectable> {};

class FakeUriFactory final : public Fake<IUriRuntimeClassFactoryAbi> {
public:
    HRESULT STDMETHODCALLTYPE CreateUri(HSTRING uri, IInspectable** instance) override
    {
        g_scenario->uri = HStringText(uri);
        *instance = SUCCEEDED(g_scenario->createUri) ? new FakeUri : nullptr;
        return g_scenario->createUri;
    }
    HRESULT STDMETHODCALLTYPE CreateWithRelativeUri(HSTRING, HSTRING, IInspectable**) override { return E_NOTIMPL; }
};

class FakePackageManager final : public Fake<IPackageManagerAbi> {
public:
    HRESULT STDMETHODCALLTYPE AddPackageAsync(IInspectable* uri, IInspectable* dependencies, uint32_t options,
                                              IInspectable** operation) override
    {
        APTTYPE type = APTTYPE_CURRENT;
        APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
        g_scenario->multithreadedApartment =
            SUCCEEDED(::CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MTA;
        g_scenario->dependencies = dependencies != nullptr;
        g_scenario->options = options;
        *operation = uri != nullptr ? static_cast<IDeploymentOperationAbi*>(new FakeOperation) : nullptr;
        return uri != nullptr ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE UpdatePackageAsync(void*, void*, uint32_t, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE StagePackageAsync(void*, void*, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterPackageAsync(void*, void*, uint32_t, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPackages(void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityId(HSTRING, IInspectable**) override { return E_NOTIMPL; }

private:
    // Whatever the deployment asks the activated instance for, it gets the package manager.
    void* Find(REFIID) override { return static_cast<IPackageManagerAbi*>(this); }
};

class FakeManagerFactory final : public Fake<IActivationFactory> {
public:
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override
    {
        ++g_scenario->activations;
        *instance = new FakePackageManager;
        return S_OK;
    }
};

HRESULT FakeActivationFactory(const std::wstring& className, REFIID, void** factory)
{
    if (className == L"Windows.Management.Deployment.PackageManager") {
        if (FAILED(g_scenario->activation))
            return g_scenario->activation;
        *factory = static_cast<IActivationFactory*>(new FakeManagerFactory);
        return S_OK;
    }
    if (className == L"Windows.Foundation.Uri") {
        *factory = static_cast<IUriRuntimeClassFactoryAbi*>(new FakeUriFactory);
        return S_OK;
    }
    return REGDB_E_CLASSNOTREG;
}

class MsixDeploymentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_scenario = &scenario;
    }
    void TearDown() override { g_scenario = nullptr; }
    testing_support::LogCapture log;
    Scenario scenario;
    RuntimeActivation runtime{FakeActivationFactory};
};

} // namespace

TEST_F(MsixDeploymentTest, CompletedDeploymentInstallsThePackage)
{
    EXPECT_EQ(InstallMsixPackage(L"C:\\pkg\\App.msix", runtime), 0u);
    EXPECT_EQ(scenario.uri, L"C:\\pkg\\App.msix");
    EXPECT_EQ(scenario.options, 0u);
    EXPECT_FALSE(scenario.dependencies);
    EXPECT_TRUE(scenario.multithreadedApartment);
    EXPECT_TRUE(scenario.handlerCalled);

    // The package manager is activated once per process.
    EXPECT_EQ(InstallMsixPackage(L"C:\\pkg\\App.appx", runtime), 0u);
    EXPECT_EQ(scenario.activations, 1);
    // Long paths reach the URI with their prefix.
    const std::wstring path = L"C:\\" + std::wstring(250, L'a') + L"\\App.msix";
    EXPECT_EQ(InstallMsixPackage(path, runtime), 0u);
    EXPECT_EQ(scenario.uri, L"\\\\?\\" + path);
}

TEST_F(MsixDeploymentTest, EveryFailureEndsIn1627WithItsResultInTheLog)
{
    struct Row {
        HRESULT activation;
        HRESULT createUri;
        int32_t status;
        HRESULT errorCode;
        const wchar_t* logLine;
    };
    const Row rows[] = {
        {S_OK, S_OK, AsyncError, static_cast<HRESULT>(0x800B0109), L"MSIX deployment ended with status 3:0x800B0109"},
        {S_OK, S_OK, AsyncCanceled, static_cast<HRESULT>(0x800704C7), L"MSIX deployment ended with status 2:0x800704C7"},
        {S_OK, E_INVALIDARG, AsyncCompleted, S_OK, L"MSIX deployment failed while making a URI of the package path:0x80070057"},
        {REGDB_E_CLASSNOTREG, S_OK, AsyncCompleted, S_OK,
         L"MSIX deployment failed while activating the package manager:0x80040154"},
    };
    for (const Row& row : rows) {
        RuntimeActivation fresh(FakeActivationFactory);  // a fresh package manager each time
        scenario.activation = row.activation;
        scenario.createUri = row.createUri;
        scenario.status = row.status;
        scenario.errorCode = row.errorCode;
        EXPECT_EQ(InstallMsixPackage(L"C:\\pkg\\App.msixbundle", fresh), 1627u) << row.logLine;
        EXPECT_TRUE(ContainsLine(log.Lines(), row.logLine)) << row.logLine;
    }
}

namespace {

// The id Windows computes for a parameterized interface: the name-based SHA-1 UUID (RFC 4122
// version 5) of its UTF-8 type signature in the pinterface namespace, read back big-endian.
IID ParameterizedInterfaceId(const std::string& signature)
{
    std::vector<BYTE> name{0x11, 0xF4, 0x7A, 0xD5, 0x7B, 0x73, 0x42, 0xC0,
                           0xAB, 0xAE, 0x87, 0x8B, 0x1E, 0x16, 0xAD, 0xEE};
    name.insert(name.end(), signature.begin(), signature.end());
    BYTE digest[20] = {};
    DWORD size = sizeof(digest);
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    const bool hashed = ::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
                        ::CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash) &&
                        ::CryptHashData(hash, name.data(), static_cast<DWORD>(name.size()), 0) &&
                        ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    EXPECT_TRUE(hashed && size == sizeof(digest)) << ::GetLastError();
    if (hash != 0)
        ::CryptDestroyHash(hash);
    if (provider != 0)
        ::CryptReleaseContext(provider, 0);
    digest[6] = static_cast<BYTE>((digest[6] & 0x0F) | 0x50);
    digest[8] = static_cast<BYTE>((digest[8] & 0x3F) | 0x80);
    IID id;
    id.Data1 = static_cast<unsigned long>(digest[0]) << 24 | digest[1] << 16 | digest[2] << 8 | digest[3];
    id.Data2 = static_cast<unsigned short>(digest[4] << 8 | digest[5]);
    id.Data3 = static_cast<unsigned short>(digest[6] << 8 | digest[7]);
    std::copy(digest + 8, digest + 16, id.Data4);
    return id;
}

std::wstring IdText(const IID& id)
{
    wchar_t text[40] = {};
    ::StringFromGUID2(id, text, 40);
    return text;
}

} // namespace

TEST(MsixInterfaceIds, EveryParameterizedIdIsTheOneItsSignatureGives)
{
    const std::string completedHandler =
        "pinterface({e85df41d-6aa7-46e3-a8e2-f009d840c627};"
        "rc(Windows.Management.Deployment.DeploymentResult;{2563b9ae-b77d-4c1f-8a7b-20e6ad515ef3});"
        "struct(Windows.Management.Deployment.DeploymentProgress;"
        "enum(Windows.Management.Deployment.DeploymentProgressState;i4);u4))";
    const IID asyncOperationOfBool = {0xCDB5EFB3, 0x5788, 0x509D, {0x9B, 0xE1, 0x71, 0xCC, 0xB8, 0xA3, 0x36, 0x2A}};
    const struct {
        const char* what;
        std::string signature;
        const IID& hardCoded;
    } rows[] = {
        // The known id of IAsyncOperation<bool> proves the derivation itself.
        {"IAsyncOperation<bool>", "pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};b1)", asyncOperationOfBool},
        {"the deployment's completion handler", completedHandler, kIidDeploymentCompletedHandler},
        {"the fake operation's handler id", completedHandler, kIidWindowsCompletedHandler},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IdText(ParameterizedInterfaceId(row.signature)), IdText(row.hardCoded)) << row.what;
}
