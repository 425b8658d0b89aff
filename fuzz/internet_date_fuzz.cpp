// Dates from Date, Expires, Last-Modified and cookie headers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/exception.h"
#include "http/internet_date.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  kv::TDateTime local = kv::InternetDateToLocal(text);
  try {
    kv::InternetDateText(local);
  } catch (const kv::EConvertError&) {
  }
  return 0;
}
