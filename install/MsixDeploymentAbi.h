// The few Windows Runtime interfaces the deployment calls, in vtable order, with their interface
// ids (the SDK's headers are not part of mingw). Only the members called carry real types.
#pragma once

#include <windows.h>
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

namespace orvanta {

// Windows.Foundation.IUriRuntimeClassFactory {44A9796F-723E-4FDF-A218-033E75B0C084}
const IID kIidUriRuntimeClassFactory = {0x44A9796F, 0x723E, 0x4FDF, {0xA2, 0x18, 0x03, 0x3E, 0x75, 0xB0, 0xC0, 0x84}};
// IAsyncInfo {00000036-0000-0000-C000-000000000046}
const IID kIidAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// IAgileObject {94EA2B94-E9CC-49E0-C0FF-EE64CA8F5B90}: the completion handler may be called on
// any thread.
const IID kIidAgileObject = {0x94EA2B94, 0xE9CC, 0x49E0, {0xC0, 0xFF, 0xEE, 0x64, 0xCA, 0x8F, 0x5B, 0x90}};
// AsyncOperationWithProgressCompletedHandler<DeploymentResult, DeploymentProgress>
// {6E1C7129-61E0-5D88-9FD4-F3CE65A05719}. The id of a parameterized interface is computed, not
// declared: the name-based SHA-1 UUID (RFC 4122 version 5) of the type signature in the
// pinterface namespace {11F47AD5-7B73-42C0-ABAE-878B1E16ADEE}. The signature is
// pinterface({e85df41d-6aa7-46e3-a8e2-f009d840c627};
//   rc(Windows.Management.Deployment.DeploymentResult;{2563b9ae-b77d-4c1f-8a7b-20e6ad515ef3});
//   struct(Windows.Management.Deployment.DeploymentProgress;
//          enum(Windows.Management.Deployment.DeploymentProgressState;i4);u4))
// written without the line breaks and spaces: the generic delegate's id, then its arguments (the
// runtime class with its default interface, the struct with its fields). Windows asks the handler
// for this id (to marshal it or hold it agile), so with a wrong one put_Completed fails.
// tests/install/MsixDeploymentTest.cpp derives it from the signature.
const IID kIidDeploymentCompletedHandler = {0x6E1C7129, 0x61E0, 0x5D88, {0x9F, 0xD4, 0xF3, 0xCE, 0x65, 0xA0, 0x57, 0x19}};

// Windows.Foundation.AsyncStatus
enum AsyncStatusValue : int32_t { AsyncStarted = 0, AsyncCompleted = 1, AsyncCanceled = 2, AsyncError = 3 };

struct IUriRuntimeClassFactoryAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateUri(HSTRING uri, IInspectable** instance) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateWithRelativeUri(HSTRING baseUri, HSTRING relativeUri,
                                                            IInspectable** instance) = 0;
};

struct IAsyncInfoAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(uint32_t* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(int32_t* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* errorCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

// AsyncOperationWithProgressCompletedHandler<DeploymentResult, DeploymentProgress>
struct IDeploymentCompletedHandlerAbi : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IInspectable* operation, int32_t status) = 0;
};

// IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress>, as AddPackageAsync returns it.
struct IDeploymentOperationAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Progress(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Progress(IUnknown** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IDeploymentCompletedHandlerAbi* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IDeploymentCompletedHandlerAbi** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResults(IInspectable** deploymentResult) = 0;
};

} // namespace orvanta
