#include "net/exceptions.h"

namespace kv {

EIdWS2StubError::EIdWS2StubError(std::string title, int32_t platform_code, std::string platform_text)
    : EIdException(platform_code == 0 ? title : title + ": " + platform_text),
      title_(std::move(title)),
      platform_code_(platform_code),
      platform_text_(std::move(platform_text)) {}

}  // namespace kv
