#pragma once
// Answers one request of the stand-in: the form page, a result page, or a
// page without a result table when the session is not right.

#include <httplib.h>

#include "tools/stat_sim/options.h"

namespace kv::statsim {

class StatService {
 public:
  explicit StatService(const SimOptions& options) : options_(options) {}

  // For GET on the service path; `request.target` is read raw.
  void Handle(const httplib::Request& request, httplib::Response& response) const;

 private:
  void ServeForm(httplib::Response& response) const;
  void ServeResults(const httplib::Request& request, httplib::Response& response) const;

  SimOptions options_;
};

}  // namespace kv::statsim
