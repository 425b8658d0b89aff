#include "base/exception.h"

#include <new>
#include <stdexcept>

namespace kv {

const char* ExceptionClassName(const std::exception& e) noexcept {
  if (auto* ours = dynamic_cast<const Exception*>(&e)) return ours->ClassName();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  return "Exception";
}

}  // namespace kv
