#include "Tls.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ostreld {

namespace {

std::string readFile(const std::string &path, const char *what)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(std::string("cannot read the TLS ") + what + " " + path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw std::runtime_error(std::string("cannot read the TLS ") + what + " " + path);
    return text.str();
}

gnutls_datum_t datum(const std::string &text)
{
    return gnutls_datum_t{reinterpret_cast<unsigned char *>(const_cast<char *>(text.data())), unsigned(text.size())};
}

// The leaf certificate, for its dates. Throws when the text holds none.
struct Chain {
    gnutls_x509_crt_t *certs = nullptr;
    unsigned count = 0;
    Chain(const std::string &pem, const std::string &file)
    {
        const gnutls_datum_t d = datum(pem);
        const int rc = gnutls_x509_crt_list_import2(&certs, &count, &d, GNUTLS_X509_FMT_PEM, 0);
        if (rc < 0 || count == 0)
            throw std::runtime_error("the TLS certificate file " + file + " holds no PEM certificate ("
                                     + gnutls_strerror(rc < 0 ? rc : GNUTLS_E_NO_CERTIFICATE_FOUND) + ")");
    }
    ~Chain()
    {
        for (unsigned i = 0; i < count; ++i) gnutls_x509_crt_deinit(certs[i]);
        gnutls_free(certs);
    }
    Chain(const Chain &) = delete;
    Chain &operator=(const Chain &) = delete;
};

} // namespace

TlsMaterial loadTlsMaterial(const std::string &certificateFile, const std::string &keyFile)
{
    TlsMaterial m{readFile(certificateFile, "certificate"), readFile(keyFile, "key")};
    Chain chain(m.certificate, certificateFile);

    gnutls_x509_privkey_t key = nullptr;
    gnutls_x509_privkey_init(&key);
    const gnutls_datum_t keyData = datum(m.key);
    const int keyRc = gnutls_x509_privkey_import2(key, &keyData, GNUTLS_X509_FMT_PEM, nullptr, GNUTLS_PKCS_PLAIN);
    gnutls_x509_privkey_deinit(key);
    if (keyRc < 0)
        throw std::runtime_error("the TLS key file " + keyFile + " holds no unencrypted PEM private key ("
                                 + gnutls_strerror(keyRc) + ")");

    gnutls_certificate_credentials_t credentials = nullptr;
    gnutls_certificate_allocate_credentials(&credentials);
    const gnutls_datum_t certData = datum(m.certificate);
    const int pairRc = gnutls_certificate_set_x509_key_mem2(credentials, &certData, &keyData, GNUTLS_X509_FMT_PEM,
                                                            nullptr, 0);
    gnutls_certificate_free_credentials(credentials);
    if (pairRc == GNUTLS_E_CERTIFICATE_KEY_MISMATCH)
        throw std::runtime_error("the TLS key in " + keyFile + " does not belong to the certificate in "
                                 + certificateFile);
    if (pairRc < 0)
        throw std::runtime_error("the TLS certificate " + certificateFile + " and key " + keyFile
                                 + " cannot be used: " + gnutls_strerror(pairRc));
    return m;
}

std::string tlsValidityWarning(const TlsMaterial &material, const std::string &certificateFile)
{
    Chain chain(material.certificate, certificateFile);
    const time_t now = std::time(nullptr);
    if (gnutls_x509_crt_get_expiration_time(chain.certs[0]) < now)
        return "the TLS certificate in " + certificateFile + " has expired: clients will refuse it";
    if (gnutls_x509_crt_get_activation_time(chain.certs[0]) > now)
        return "the TLS certificate in " + certificateFile + " is not valid yet: clients will refuse it";
    return {};
}

} // namespace ostreld
