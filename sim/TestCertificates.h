#pragma once

#include <string>

namespace vlo::sim {

// A certificate authority and a server certificate for 127.0.0.1 and localhost signed by it,
// made once per process at first use (thread-safe). The CA is also written to a temporary PEM
// file, removed at exit.
struct TestCertificates {
  std::string caPem;
  std::string caPath;
  std::string serverCertPem;  // the server certificate followed by the CA
  std::string serverKeyPem;
};

const TestCertificates& GetTestCertificates();

}  // namespace vlo::sim
