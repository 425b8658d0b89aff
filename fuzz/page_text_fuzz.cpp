// A page body placed into the page text and read back line by line.
#include <cstddef>
#include <cstdint>

#include "app/memo.h"
#include "base/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kv::MemoryStream stream;
  stream.WriteBuffer(data, size);
  stream.SetPosition(0);
  kv::TMemo page(1 << 20);
  page.LoadFromStream(stream);
  size_t total = 0;
  for (size_t i = 0; i <= page.LineCount(); ++i) total += page.Line(i).size();
  if (total > size) __builtin_trap();  // lines never hold more than the bytes
  return 0;
}
