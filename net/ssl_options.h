#pragma once
// The settings of a TLS transport or TLS server: files, method, mode,
// verification and ciphers. Assigning copies all nine.
#include <string>

#include "base/persistent.h"

namespace kv {

// Every value selects the version-flexible method of its mode with TLS 1.2
// as the lowest version (or a higher one the system's policy asks for): the
// older methods are gone from the library and the older versions are not
// safe. The values stay for stored settings.
enum TIdSSLVersion { sslvSSLv2 = 0, sslvSSLv23 = 1, sslvSSLv3 = 2, sslvTLSv1 = 3 };
enum TIdSSLMode { sslmUnassigned = 0, sslmClient = 1, sslmServer = 2, sslmBoth = 3 };
// Bits of a verify-mode set; they equal the library's verify flags.
enum TIdSSLVerifyMode : unsigned {
  sslvrfPeer = 1u << 0,
  sslvrfFailIfNoPeerCert = 1u << 1,
  sslvrfClientOnce = 1u << 2,
};
using TIdSSLVerifyModeSet = unsigned;

class TIdSSLOptions : public Persistent {
 public:
  const char* ClassName() const noexcept override { return "TIdSSLOptions"; }

  std::string RootCertFile;
  std::string CertFile;
  std::string KeyFile;
  TIdSSLVersion Method = sslvSSLv2;
  TIdSSLMode Mode = sslmUnassigned;
  TIdSSLVerifyModeSet VerifyMode = 0;
  int VerifyDepth = 0;     // 0: the library's default depth
  std::string VerifyDirs;  // carried, not applied
  std::string CipherList;  // empty: the library's defaults

 protected:
  void AssignTo(Persistent& destination) const override;
};

}  // namespace kv
