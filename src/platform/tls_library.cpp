#include "platform/tls_library.h"

#include <openssl/crypto.h>

namespace cedar::platform {

std::string tlsLibraryVersion() {
    const char* text = OpenSSL_version(OPENSSL_VERSION);
    return text ? std::string(text) : std::string();
}

}  // namespace cedar::platform
