// A throw-away self-signed certificate made with openssl for one test, for a host name that is
// not the loopback address, so that tests also see a name that does not match.
#pragma once

#include "tests/support/temp_dir.h"

#include <string>

class CVQTestCertificate {
public:
    CVQTestCertificate();
    bool Valid() const { return m_valid; }
    const std::string& CertFile() const { return m_cert; }
    const std::string& KeyFile() const { return m_key; }

private:
    CVQTempDir m_dir;
    std::string m_cert;
    std::string m_key;
    bool m_valid = false;
};
