#pragma once
// The compressor's last step: an archive leaves it only once it restores the input exactly.

#include <string>
#include <string_view>

namespace corvale {

// The support contact is whoever ships the build (the CMake cache variable CORVALE_SUPPORT_CONTACT).
inline constexpr const char kVerificationFailedMessage[] =
    "Verification failed: the archive would not restore the input exactly, so nothing was written. "
    "Please report this file to " CORVALE_SUPPORT_CONTACT " and use zstd or xz for it meanwhile";

// The default CompressFn: compress_best_archive, then a full decode that must give the input
// back exactly. Throws Error.
std::string compress_verified(std::string_view input);

// The archive itself when it decodes (limit: the input's length) to input exactly; otherwise
// throws the verification message, whatever went wrong. The second half of compress_verified.
std::string check_archive_restores(std::string archive, std::string_view input);

}  // namespace corvale
