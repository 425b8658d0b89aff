#include "net/ssl_options.h"

namespace kv {

void TIdSSLOptions::AssignTo(Persistent& destination) const {
  auto* options = dynamic_cast<TIdSSLOptions*>(&destination);
  if (options == nullptr) return Persistent::AssignTo(destination);
  options->RootCertFile = RootCertFile;
  options->CertFile = CertFile;
  options->KeyFile = KeyFile;
  options->Method = Method;
  options->Mode = Mode;
  options->VerifyMode = VerifyMode;
  options->VerifyDepth = VerifyDepth;
  options->VerifyDirs = VerifyDirs;
  options->CipherList = CipherList;
}

}  // namespace kv
