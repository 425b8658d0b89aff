#pragma once
// The root of every failure the program raises. A failure has a fixed kind
// (its class, named by ClassName() for tools and tests) and a message written
// where it happened.

#include <exception>
#include <string>

namespace kv {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// Declares an exception class deriving from Base, with the given class name.
#define KV_DECLARE_EXCEPTION(Name, Base)                                    \
  class Name : public Base {                                                \
   public:                                                                  \
    using Base::Base;                                                       \
    const char* ClassName() const noexcept override { return #Name; }       \
  }

// Raised by the string-to-integer conversion.
KV_DECLARE_EXCEPTION(EConvertError, Exception);
// Raised by streams that cannot be written or read as asked.
KV_DECLARE_EXCEPTION(EStreamError, Exception);
KV_DECLARE_EXCEPTION(EWriteError, EStreamError);
KV_DECLARE_EXCEPTION(EReadError, EStreamError);
KV_DECLARE_EXCEPTION(EFCreateError, EStreamError);
// Raised when a store cannot hold what it is asked to hold.
KV_DECLARE_EXCEPTION(EOutOfResources, Exception);

// The class name of any exception: ours report their own, others are
// named by their C++ kind.
const char* ExceptionClassName(const std::exception& e) noexcept;

}  // namespace kv
