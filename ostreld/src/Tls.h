#pragma once
#include <string>

namespace ostreld {

// The certificate chain and private key HTTPS is served with, as PEM text.
struct TlsMaterial {
    std::string certificate;
    std::string key;
};

// Reads both files and checks that they hold a certificate and its unencrypted private key,
// so that a wrong file stops the start with a reason instead of a refused handshake later.
// Throws std::runtime_error naming the file and what is wrong with it.
TlsMaterial loadTlsMaterial(const std::string &certificateFile, const std::string &keyFile);

// A warning about a certificate that clients will refuse (expired, not valid yet); empty when
// there is none.
std::string tlsValidityWarning(const TlsMaterial &material, const std::string &certificateFile);

} // namespace ostreld
