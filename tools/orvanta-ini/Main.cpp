// orvanta-ini: checks, formats, hashes and explains the chainer's INI files for package
// authors, on Linux as on Windows.
#include "Check.h"
#include "Findings.h"
#include "Fmt.h"
#include "Hash.h"
#include "Plan.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace orvanta_ini;

constexpr int kClean = 0;
constexpr int kWarnings = 1;
constexpr int kErrors = 2;
constexpr int kUnusable = 3;

const char kUsage[] =
    "usage: orvanta-ini check [--json] FILE...   findings, exit 0 clean, 1 warnings, 2 errors, 3 unreadable\n"
    "       orvanta-ini fmt IN OUT              write IN as UTF-16 LE with byte-order mark and CR LF\n"
    "       orvanta-ini hash FILE...            ExactSize, MD5, SHA256 (and Signer) lines for a prerequisite\n"
    "       orvanta-ini plan FILE               what the chainer reads, in its order\n";

int Usage()
{
    std::cerr << kUsage;
    return kUnusable;
}

bool ReadBytes(const std::string& path, std::string& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream content;
    content << file.rdbuf();
    bytes = content.str();
    return !file.bad();
}

int Unreadable(const std::string& path)
{
    std::cerr << "orvanta-ini: cannot read " << path << "\n";
    return kUnusable;
}

int Check(const std::vector<std::string>& arguments)
{
    bool json = false;
    std::vector<std::string> paths;
    for (const std::string& argument : arguments) {
        if (argument == "--json")
            json = true;
        else
            paths.push_back(argument);
    }
    if (paths.empty())
        return Usage();
    std::vector<FileFindings> files;
    int result = kClean;
    bool unreadable = false;
    for (const std::string& path : paths) {
        std::string bytes;
        if (!ReadBytes(path, bytes)) {
            Unreadable(path);
            unreadable = true;
            continue;
        }
        files.push_back(FileFindings{path, CheckIni(bytes)});
        for (const Finding& finding : files.back().findings)
            result = std::max(result, finding.severity == Severity::Error ? kErrors : kWarnings);
    }
    const std::string report = json ? FindingsAsJson(files) : FindingsAsText(files);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return unreadable ? kUnusable : result;
}

int Fmt(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 2)
        return Usage();
    std::string input;
    if (!ReadBytes(arguments[0], input))
        return Unreadable(arguments[0]);
    std::string output;
    std::string error;
    if (!FormatIni(input, output, error)) {
        std::cerr << "orvanta-ini: " << arguments[0] << ": " << error << "\n";
        return kUnusable;
    }
    std::ofstream file(arguments[1], std::ios::binary | std::ios::trunc);
    file.write(output.data(), static_cast<std::streamsize>(output.size()));
    if (!file.flush()) {
        std::cerr << "orvanta-ini: cannot write " << arguments[1] << "\n";
        return kUnusable;
    }
    return kClean;
}

int Hash(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return Usage();
    int result = kClean;
    for (const std::string& path : arguments) {
        FileHashes hashes;
        if (!HashFile(path, hashes)) {
            result = Unreadable(path);
            continue;
        }
        if (arguments.size() > 1)
            std::cout << path << ":\n";
        std::cout << HashLines(hashes);
        if (hashes.size > 0xFFFFFFFFull)
            std::cerr << "orvanta-ini: " << path << ": 4 GiB or more, which ExactSize cannot hold; left out\n";
        if (hashes.hasSignature && hashes.signerChain.empty())
            std::cerr << "orvanta-ini: " << path << ": signed, but "
                      << (SignaturesReadable() ? "the signature cannot be read" : "this build reads no signatures")
                      << "; no Signer line\n";
    }
    return result;
}

int Plan(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1)
        return Usage();
    std::string bytes;
    if (!ReadBytes(arguments[0], bytes))
        return Unreadable(arguments[0]);
    std::cout << PlanText(bytes);
    return kClean;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    if (command == "check")
        return Check(arguments);
    if (command == "fmt")
        return Fmt(arguments);
    if (command == "hash")
        return Hash(arguments);
    if (command == "plan")
        return Plan(arguments);
    return Usage();
}
