#pragma once
// The one rule for where a line ends in bytes that arrive in pieces: at a
// LF (a CR right before it goes too) or at a terminator of the caller's,
// and never more than a maximum of bytes. ReadLn, the head lines taken from
// the input buffer in one go and the fuzz targets all find lines with it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kv {

struct TLineFound {
  enum class Kind {
    kLine,        // a whole line
    kTooLong,     // more than the maximum before a terminator
    kIncomplete,  // no terminator yet, and not too long
  };
  Kind kind = Kind::kIncomplete;
  // kLine: the line without its terminator; kTooLong: its first `maximum`
  // bytes. A view into the bytes searched.
  std::string_view line;
  // How many bytes at the front the line takes: with its terminator, the
  // maximum when too long, 0 when incomplete.
  size_t used = 0;
};

class TLineReader {
 public:
  // An empty terminator means LF, with a CR before it dropped (as does an
  // explicit "\n"). A maximum of 0 or less means no limit.
  TLineReader(std::string_view terminator, int maximum) noexcept;

  // The line at the front of `bytes`, which are all the unread bytes so far:
  // the same front as the last call, perhaps with more behind it. Only what
  // is new is searched again, so waiting for a long line costs its length
  // once.
  TLineFound Next(std::string_view bytes) noexcept;

 private:
  size_t FindTerminator(std::string_view bytes) const noexcept;

  std::string_view terminator_;
  size_t maximum_;         // SIZE_MAX: none
  bool drops_cr_;          // the terminator is a plain LF
  size_t searched_ = 0;    // bytes already searched without a terminator
};

// Inline: every line of every response head goes through Next.
inline TLineReader::TLineReader(std::string_view terminator, int maximum) noexcept
    : terminator_(terminator.empty() ? std::string_view("\n") : terminator),
      maximum_(maximum > 0 ? static_cast<size_t>(maximum) : SIZE_MAX),
      // By hand: a comparison of views calls memcmp, once for every line.
      drops_cr_(terminator_.size() == 1 && terminator_[0] == '\n') {}

inline size_t TLineReader::FindTerminator(std::string_view bytes) const noexcept {
  if (terminator_.size() == 1) {
    if (searched_ >= bytes.size()) return std::string_view::npos;
    const void* at = std::memchr(bytes.data() + searched_, terminator_[0], bytes.size() - searched_);
    return at == nullptr ? std::string_view::npos : static_cast<size_t>(static_cast<const char*>(at) - bytes.data());
  }
  // Back far enough to find a terminator split across two pieces.
  const size_t back = terminator_.size() - 1;
  return bytes.find(terminator_, searched_ > back ? searched_ - back : 0);
}

inline TLineFound TLineReader::Next(std::string_view bytes) noexcept {
  const size_t at = FindTerminator(bytes);
  if (at != std::string_view::npos && at <= maximum_) {
    const size_t length = drops_cr_ && at > 0 && bytes[at - 1] == '\r' ? at - 1 : at;
    return {TLineFound::Kind::kLine, {bytes.data(), length}, at + terminator_.size()};
  }
  searched_ = at == std::string_view::npos ? bytes.size() : at;
  // A line too long is noticed as soon as more than the maximum is there,
  // without waiting for a terminator that may never come.
  if (searched_ > maximum_) return {TLineFound::Kind::kTooLong, {bytes.data(), maximum_}, maximum_};
  return {};
}

}  // namespace kv
