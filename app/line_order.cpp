#include "app/line_order.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace kv {
namespace {

// The cores a list of a million lines is shared among.
size_t WorkerCount() { return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8); }

// How many parts `count` lines are shared in: a thread is not worth
// starting for fewer than 50,000 of them.
size_t PartsFor(size_t count) { return std::clamp<size_t>(count / 50'000, 1, WorkerCount()); }

// Runs work(part) for parts 0..parts-1 on as many threads.
template <typename Work>
void InParallel(size_t parts, const Work& work) {
  std::vector<std::thread> helpers;
  for (size_t part = 1; part < parts; ++part) helpers.emplace_back(work, part);
  work(0);
  for (auto& helper : helpers) helper.join();
}

}  // namespace

std::vector<size_t> FirstOccurrences(const TMemo& memo) {
  // An open-addressing set of line indices, at most half full; each slot
  // keeps 32 bits of its line's hash to skip most byte comparisons.
  struct Slot {
    uint32_t hash;
    uint32_t line_after;  // line index + 1; 0 for a free slot
  };
  const size_t count = memo.LineCount();
  // The hashes are made on every core first; the set is then filled in line
  // order (the first occurrence must win), each slot fetched ahead of use.
  std::vector<uint64_t> hashes(count);
  const size_t parts = PartsFor(count);
  InParallel(parts, [&](size_t part) {
    const std::hash<std::string_view> hasher;
    for (size_t i = part * count / parts, end = (part + 1) * count / parts; i < end; ++i)
      hashes[i] = hasher(memo.LineView(i));
  });
  size_t capacity = 16;
  while (capacity < 2 * count) capacity *= 2;
  const size_t mask = capacity - 1;
  std::vector<Slot> slots(capacity, Slot{0, 0});
  std::vector<size_t> kept;
  constexpr size_t kAhead = 16;
  for (size_t a = 0; a < count; ++a) {
    if (a + kAhead < count) __builtin_prefetch(&slots[hashes[a + kAhead] & mask]);
    const uint64_t hash = hashes[a];
    const auto tag = static_cast<uint32_t>(hash >> 32);
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      Slot& slot = slots[at];
      if (slot.line_after == 0) {
        slot = {tag, static_cast<uint32_t>(a + 1)};
        kept.push_back(a);
        break;
      }
      if (slot.hash == tag && memo.LineView(slot.line_after - 1) == memo.LineView(a)) break;
    }
  }
  return kept;
}

namespace {

struct KeyedLine {
  const char* key;  // NUL-terminated collation key
  uint32_t line;
  // The four key bytes that follow the prefix all keys share (zeros past
  // the key's end), most significant first: most comparisons end here,
  // without reaching for the key itself.
  uint32_t word;
};

// The collation keys of one block of lines, one after the other. The room
// is taken uninitialised: the pages the keys never reach cost no memory.
class KeyBuffer {
 public:
  explicit KeyBuffer(size_t capacity) : data_(new char[capacity]), capacity_(capacity) {}

  // Adds the key of `text`; returns where it starts.
  size_t Add(const TextCollator& collator, std::string_view text, std::u16string& wide) {
    for (;;) {
      const size_t needed = collator.SortKeyInto(text, data_.get() + used_, capacity_ - used_, wide);
      if (needed <= capacity_ - used_) {
        used_ += needed;
        return used_ - needed;
      }
      Grow(used_ + needed);
    }
  }
  const char* At(size_t offset) const { return data_.get() + offset; }

 private:
  void Grow(size_t at_least) {
    const size_t capacity = std::max(capacity_ * 2, at_least);
    std::unique_ptr<char[]> bigger(new char[capacity]);
    std::memcpy(bigger.get(), data_.get(), used_);
    data_ = std::move(bigger);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  size_t capacity_;
  size_t used_ = 0;
};

// Orders lines by their keys. Every key starts with the same `shared`
// bytes (none of them its end), so the comparison begins after them.
struct KeyLess {
  size_t shared;
  bool operator()(const KeyedLine& a, const KeyedLine& b) const {
    if (a.word != b.word) return a.word < b.word;
    return std::strcmp(a.key + shared, b.key + shared) < 0;
  }
};

// The length of the prefix all keys share, and each line's word after it.
KeyLess PrepareKeys(std::vector<KeyedLine>& list) {
  size_t shared = list.empty() ? 0 : std::strlen(list[0].key);
  for (const KeyedLine& keyed : list) {
    size_t same = 0;
    while (same < shared && keyed.key[same] == list[0].key[same]) ++same;
    shared = same;
  }
  for (KeyedLine& keyed : list) {
    uint32_t word = 0;
    const char* at = keyed.key + shared;
    for (int i = 0; i < 4; ++i) {
      const auto byte = static_cast<unsigned char>(*at);
      word = (word << 8) | byte;
      if (byte != 0) ++at;  // past the end only zeros follow
    }
    keyed.word = word;
  }
  return KeyLess{shared};
}

// The quicksort of the sort tool, step for step, so that lines comparing
// equal come out in the same order. The pivot is whatever entry currently
// stands at index p. The two parts left by a partition never meet again,
// so a part may be sorted on another thread (`spare_threads` of them are
// free) without changing the result.
void QuickSort(KeyedLine* list, long l, long r, const KeyLess& less, size_t spare_threads) {
  constexpr long kWorthAThread = 20'000;
  std::vector<std::thread> helpers;
  long i;
  do {
    i = l;
    long j = r;
    long p = (l + r) / 2;
    do {
      while (less(list[i], list[p])) ++i;
      while (less(list[p], list[j])) --j;
      if (i <= j) {
        std::swap(list[i], list[j]);
        if (p == i) p = j;
        else if (p == j) p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) {
      if (spare_threads > 0 && j - l >= kWorthAThread) {
        const size_t given = spare_threads / 2;
        spare_threads -= given + 1;
        helpers.emplace_back(QuickSort, list, l, j, std::cref(less), given);
      } else {
        QuickSort(list, l, j, less, 0);
      }
    }
    l = i;
  } while (i < r);
  for (auto& helper : helpers) helper.join();
}

}  // namespace

std::vector<uint32_t> SortedLineOrder(const TMemo& memo, const TextCollator& collator) {
  const size_t count = memo.LineCount();
  std::vector<KeyedLine> list(count);
  // Collation keys are the costly part: each core makes those of one block
  // of lines, into one buffer of its own.
  const size_t parts = PartsFor(count);
  const size_t block = (count + parts - 1) / parts;
  std::vector<std::unique_ptr<KeyBuffer>> keys(parts);
  InParallel(parts, [&](size_t part) {
    const size_t first = std::min(count, part * block), last = std::min(count, first + block);
    // A key takes about 1.3 bytes for each character of its line.
    size_t text_bytes = 0;
    for (size_t i = first; i < last; ++i) text_bytes += memo.LineView(i).size();
    keys[part] = std::make_unique<KeyBuffer>(text_bytes + text_bytes / 2 + 16 * (last - first) + 16);
    KeyBuffer& buffer = *keys[part];
    std::vector<size_t> offsets(last - first);
    std::u16string wide;
    for (size_t i = first; i < last; ++i) offsets[i - first] = buffer.Add(collator, memo.LineView(i), wide);
    for (size_t i = first; i < last; ++i) list[i] = {buffer.At(offsets[i - first]), static_cast<uint32_t>(i), 0};
  });
  const KeyLess less = PrepareKeys(list);
  if (count >= 2) QuickSort(list.data(), 0, static_cast<long>(count) - 1, less, WorkerCount() - 1);
  std::vector<uint32_t> order(count);
  for (size_t i = 0; i < count; ++i) order[i] = list[i].line;
  return order;
}

}  // namespace kv
