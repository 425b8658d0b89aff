#pragma once
// A numeric reply of a line protocol: the code as number and as text, and
// the reply's text lines.

#include <string>
#include <vector>

namespace kv {

class TIdRFCReply {
 public:
  int NumericCode() const { return numeric_code_; }
  // A code above 0 also sets TextCode to its decimal text.
  void SetNumericCode(int code);
  const std::string& TextCode() const { return text_code_; }
  // A non-empty text also sets NumericCode to its value (0 when it is not
  // a number).
  void SetTextCode(const std::string& text);

  std::vector<std::string> Text;

  void Clear();

 private:
  int numeric_code_ = 0;
  std::string text_code_;
};

}  // namespace kv
