#include "app/controls.h"

#include <algorithm>
#include <utility>

#include "base/int_conversion.h"

namespace kv {

// ---- TSpinEdit --------------------------------------------------------------

TSpinEdit::TSpinEdit(int min_value, int max_value, int value)
    : min_value_(min_value), max_value_(max_value), text_(IntToStr(value)) {}

int TSpinEdit::Value() const { return TryStrToInt(text_).value_or(min_value_); }

long long TSpinEdit::Clamp(long long value) const {
  if (max_value_ == min_value_) return value;  // equal bounds mean no range
  return std::clamp<long long>(value, min_value_, max_value_);
}

void TSpinEdit::SetValue(long long value) { SetText(IntToStr(Clamp(value))); }

void TSpinEdit::Leave() {
  int value = Value();
  if (Clamp(value) != value) SetValue(value);
}

bool TSpinEdit::AcceptsKey(char key) const {
  if (key >= '0' && key <= '9') return true;
  if (key == '+' || key == '-' || key == decimal_separator_) return true;
  return static_cast<unsigned char>(key) < 0x20 && key != '\r';
}

bool TSpinEdit::Type(std::string_view text) {
  bool all = true;
  std::string typed = text_;
  for (char key : text) {
    if (!AcceptsKey(key)) {
      all = false;
      continue;
    }
    if (key == '\b') {
      if (!typed.empty()) typed.pop_back();
    } else if (static_cast<unsigned char>(key) >= 0x20) {
      typed.push_back(key);
    }
  }
  SetText(typed);
  return all;
}

// ---- TStatusBar -------------------------------------------------------------

void TStatusBar::SetSimpleText(std::string_view text) {
  if (text == text_) return;
  text_.assign(text);
  ++revision_;
}

// ---- TSaveDialog ------------------------------------------------------------

std::string WithDefaultExtension(std::string_view name, std::string_view extension) {
  std::string result(name);
  if (extension.empty() || name.empty()) return result;
  size_t slash = name.find_last_of('/');
  std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
  if (base.find('.') == std::string_view::npos) {
    result += '.';
    result += extension;
  }
  return result;
}

bool TSaveDialog::Execute() {
  if (!Runner) return false;
  std::optional<std::string> chosen = Runner(*this);
  if (!chosen || chosen->empty()) return false;
  file_name_ = WithDefaultExtension(*chosen, DefaultExt);
  return true;
}

// ---- TMinusWordsDialog ------------------------------------------------------

bool TMinusWordsDialog::Execute() {
  if (!Runner) return false;
  std::optional<std::string> applied = Runner(words_);
  if (!applied) return false;
  words_ = std::move(*applied);
  return true;
}

}  // namespace kv
