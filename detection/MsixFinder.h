// Looking up an installed MSIX or APPX package of the current user by name, publisher and
// architecture. The matching is pure; the package listing comes from the Windows package
// manager or, in tests, from the caller.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orvanta {

// One installed package as its package id describes it.
struct PackageIdentity {
    std::wstring name;
    std::wstring publisher;
    uint32_t architecture = 0;               // the package architecture number
    std::array<uint16_t, 4> version{};       // major, minor, build, revision
};

// Called for each package in listing order; returns false to end the walk.
using PackageVisitor = std::function<bool(const PackageIdentity&)>;
// Walks a package listing; a listing that fails part-way simply ends early.
using PackageListing = std::function<void(const PackageVisitor&)>;

// "x86" (0), "arm" (5), "x64" (9), "neutral" (11), "arm64" (12); empty for any other number.
std::wstring ArchitectureText(uint32_t architecture);

// Name equal (case-sensitive); publisher and architecture text equal when they are not empty.
bool PackageMatches(const PackageIdentity& package, const std::wstring& name, const std::wstring& publisher,
                    const std::wstring& architecture);

// The version ("1.2.3.0") of the first matching package of the listing, or empty.
std::wstring FindPackageVersion(const PackageListing& listing, const std::wstring& name, const std::wstring& publisher,
                                const std::wstring& architecture);

// The packages of the current user from the Windows package manager. Must run on a thread in
// the multithreaded apartment; lists nothing when the package manager is unavailable.
void ListUserPackages(const PackageVisitor& visit);

class MsixFinder {
public:
    // The version of the first installed package of the current user that matches, or empty.
    // Runs on a thread of its own in the multithreaded apartment and waits for it.
    static std::wstring Find(const std::wstring& name, const std::wstring& publisher, const std::wstring& architecture,
                             const PackageListing& listing = ListUserPackages);
};

} // namespace orvanta
