#pragma once

#include <string>

namespace vlo::sim {

// A certificate authority and a server certificate for 127.0.0.1 and localhost signed by it,
// made once per process at first use (thread-safe). The CA is also written to a temporary PEM
// file, removed at exit. Two more server certificates are for the fault relay, which presents
// them in place of the service's: one for 127.0.0.1 and localhost from an authority nobody
// trusts, and one from the test authority for another host only.
struct TestCertificates {
  std::string caPem;
  std::string caPath;
  std::string serverCertPem;  // the server certificate followed by the CA
  std::string serverKeyPem;
  std::string untrustedCertPem;  // signed by an authority made here and thrown away
  std::string untrustedKeyPem;
  std::string otherHostCertPem;  // signed by the test CA, for "other.example" only
  std::string otherHostKeyPem;
};

const TestCertificates& GetTestCertificates();

}  // namespace vlo::sim
