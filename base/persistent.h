#pragma once
// Records that can be assigned from one another. Assign(source) asks the
// source to copy itself into this object; a source that does not know the
// destination's class fails with "Cannot assign a SOURCE to a DEST".

#include <string>

#include "base/exception.h"

namespace kv {

class Persistent {
 public:
  virtual ~Persistent() = default;

  void Assign(const Persistent& source) {
    if (&source != this) source.AssignTo(*this);
  }
  virtual const char* ClassName() const noexcept { return "Persistent"; }

 protected:
  Persistent() = default;
  Persistent(const Persistent&) = default;
  Persistent& operator=(const Persistent&) = default;

  // Copies this object into `destination`; the base knows no destination.
  virtual void AssignTo(Persistent& destination) const {
    throw EConvertError(std::string("Cannot assign a ") + ClassName() + " to a " + destination.ClassName());
  }
};

}  // namespace kv
