#include "base/byte_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace kv {
namespace {

// Every operation of the store against a plain string holding the same
// bytes, in runs of mixed sizes: small pieces, pieces around the smallest
// block, and pieces large enough to make the block grow while bytes dropped
// from the front still sit in it. Each run starts from an empty store, so
// that growing is frequent.
TEST(ByteStore, HoldsWhatAPlainStringHoldsThroughAnyMixOfOperations) {
  uint32_t seed = 20240611;
  auto below = [&seed](size_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<size_t>(seed >> 8) % bound;
  };
  const size_t kPieceSizes[] = {1, 9, 4095, 4097, 20000, 70000};
  char fill = 'a';
  for (int run = 0; run < 100; ++run) {
    ByteStore store;
    std::string model;
    for (int step = 0; step < 40; ++step) {
      const std::string piece(below(kPieceSizes[below(6)]) + 1, fill);
      fill = fill == 'z' ? 'a' : static_cast<char>(fill + 1);
      const size_t operation = below(8);
      if (operation == 0) {
        // Anywhere up to a little past the end: a gap reads as zeros.
        const size_t at = below(model.size() + 100);
        store.Write(at, piece.data(), piece.size());
        if (at > model.size()) model.resize(at, '\0');
        model.replace(at, piece.size(), piece);
      } else if (operation == 1) {
        store.Append(piece.data(), piece.size());
        model += piece;
      } else if (operation == 2) {
        std::memcpy(store.PrepareAppend(piece.size()), piece.data(), piece.size());
        store.CommitAppend(piece.size());
        model += piece;
      } else if (operation == 3) {
        // Shrinking and growing again shows zeros, never the old bytes.
        const size_t size = below(model.size() + 20000);
        store.Resize(size);
        model.resize(size, '\0');
      } else if (operation == 4) {
        const size_t count = below(model.size() + 1);
        store.DropFront(count);
        model.erase(0, count);
      } else if (operation == 5) {
        store.Pack();
        ASSERT_EQ(store.DroppedFront(), 0u);
      } else if (operation == 6) {
        store.Reserve(model.size() + below(100000));
      } else {
        store.Clear();
        model.clear();
      }
      ASSERT_EQ(store.View(), model) << "run " << run << ", step " << step << ", operation " << operation;
      const size_t at = below(model.size() + 10);
      std::string read(piece.size(), '\0');
      read.resize(store.Read(at, read.data(), read.size()));
      ASSERT_EQ(read, at < model.size() ? model.substr(at, piece.size()) : "") << "run " << run << ", step " << step;
    }
  }
}

TEST(ByteStore, CommitAppendCountsInNoMoreThanTheBlockHolds) {
  ByteStore store;
  store.Append("abc", 3);
  store.DropFront(1);
  std::memcpy(store.PrepareAppend(2), "de", 2);
  store.CommitAppend(SIZE_MAX / 2);
  EXPECT_EQ(store.View().substr(0, 4), "bcde");
  EXPECT_EQ(store.DroppedFront() + store.Size(), store.Capacity());
}

}  // namespace
}  // namespace kv
