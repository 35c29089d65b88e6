// Builds without OpenSSL (the Windows builds of the tool) read no signatures.
#include "SignerChain.h"

namespace orvanta_ini {

std::vector<ChainCertificate> SignerChainOf(const std::string&)
{
    return {};
}

bool SignaturesReadable()
{
    return false;
}

} // namespace orvanta_ini
