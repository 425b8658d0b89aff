#pragma once
// Failures of the TLS layer, each with its fixed message. Failures that the
// library explains keep its reason after the fixed message.
#include <string>

#include "net/exceptions.h"

namespace kv {

KV_DECLARE_EXCEPTION(EIdOpenSSLError, EIdException);
KV_DECLARE_EXCEPTION(EIdOpenSSLLoadError, EIdOpenSSLError);

KV_DECLARE_ID_EXCEPTION(EIdOSSLCouldNotLoadSSLLibrary, EIdOpenSSLLoadError, "Could not load SSL library.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLLoadingRootCertError, EIdOpenSSLLoadError, "Could not load root certificate.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLLoadingCertError, EIdOpenSSLLoadError, "Could not load certificate.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLLoadingKeyError, EIdOpenSSLLoadError, "Could not load key, check password.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLModeNotSet, EIdOpenSSLError, "Mode has not been set.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLGetMethodError, EIdOpenSSLError, "Error geting SSL method.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLCreatingContextError, EIdOpenSSLError, "Error creating SSL context.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLSettingCipherError, EIdOpenSSLError, "SetCipher failed.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLDataBindingError, EIdOpenSSLError, "Error binding data to SSL socket.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLAcceptError, EIdOpenSSLError, "Error accepting connection with SSL.");
KV_DECLARE_ID_EXCEPTION(EIdOSSLConnectError, EIdOpenSSLError, "Error connecting with SSL.");

}  // namespace kv
