#pragma once
// The writers behind OpenTableWriter, one per format, and what they share.

#include <charconv>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/replace_file.h"
#include "app/export/table_export.h"

namespace kv::export_detail {

std::unique_ptr<TableWriter> OpenXlsxWriter(const std::string& path, std::vector<std::string> header);
std::unique_ptr<TableWriter> OpenCsvWriter(const std::string& path, const std::vector<std::string>& header,
                                           char separator);
std::unique_ptr<TableWriter> OpenListTextWriter(const std::string& path, std::size_t count_column,
                                                std::size_t keyword_column);

inline void AppendDecimal(std::string& out, std::int64_t number) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  out.append(digits, end);
}

// A replacement file written through a buffer, so that a row costs no
// system call of its own.
class BufferedReplacement {
 public:
  explicit BufferedReplacement(const std::string& target) : file_(target) { buffer_.reserve(kFlushSize); }

  // Room to append to; call Flush now and then.
  std::string& Buffer() { return buffer_; }
  void FlushIfFull() {
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void Commit() {
    Flush();
    file_.Commit();
  }

 private:
  static constexpr std::size_t kFlushSize = 64 * 1024;

  void Flush() {
    file_.Write(buffer_);
    buffer_.clear();
  }

  FileReplacement file_;
  std::string buffer_;
};

}  // namespace kv::export_detail
