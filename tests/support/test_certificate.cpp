// openssl req makes a key and a certificate valid for two days.
#include "tests/support/test_certificate.h"

#include <cstdlib>
#include <filesystem>

CVQTestCertificate::CVQTestCertificate()
    : m_cert(m_dir.File("cert.pem")), m_key(m_dir.File("key.pem")) {
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=vq-test.invalid"
        " -addext subjectAltName=DNS:vq-test.invalid -keyout '" +
        m_key + "' -out '" + m_cert + "' >/dev/null 2>&1";
    m_valid = std::system(command.c_str()) == 0 && std::filesystem::exists(m_cert) &&
              std::filesystem::exists(m_key);
}
