// What went wrong with a secure connection, by WinINet's error code, in
// words a user can act on. Both programs name these errors when a fetch
// fails (horlix includes this header; it holds no code of the updater).
#pragma once

#include <cstdint>

// Null for a code that is not about the connection's security.
inline const char* SecureConnectionProblem(int32_t code) {
  switch (code) {
    case 12037: return "the site's certificate has expired or is not yet valid";
    case 12038: return "the site's certificate is for another name";
    case 12040: return "the site redirected to an unencrypted address";
    case 12044: return "the site asks for a client certificate";
    case 12045: return "the site's certificate is not from a trusted authority";
    case 12057: return "the site's certificate could not be checked";
    case 12157: return "no secure channel could be agreed (TLS 1.2 or later is needed)";
    case 12169: return "the site's certificate is invalid";
    case 12170: return "the site's certificate has been revoked";
    default: return nullptr;
  }
}
