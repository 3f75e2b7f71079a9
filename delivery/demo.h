// What the demonstration company needs to sign and send its payslips: a self-signed
// test certificate, the delivery settings (a mail server on this machine, port 2525)
// and an e-mail address on a test domain for every employee.
#pragma once

#include <string>

#include "store/status.h"

namespace planilla::delivery {

inline constexpr const char* kDemoCertificate = "firma01.p12";
inline constexpr const char* kDemoCertificatePassword = "demo";
inline constexpr const char* kDemoMailDomain = "empresa-demo.test";

// Installs them into the demo data directory `dir` (company 01).
Status installDemoDelivery(const std::string& dir);

}  // namespace planilla::delivery
