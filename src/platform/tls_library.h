// The TLS library's own description, for the TLS information dialog.
#pragma once

#include <string>

namespace cedar::platform {

// The library's version text, e.g. "OpenSSL 3.0.2 15 Mar 2022".
std::string tlsLibraryVersion();

}  // namespace cedar::platform
