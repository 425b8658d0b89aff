#pragma once
// A real nginx on a free loopback port, serving a fresh folder, for tests of
// interoperability. It is started through scripts/run-nginx (which also
// describes the extra locations: /ssi/, /moved, /moved-rel, /loop,
// /redirect?to=URL, /private/) and stopped with every process of it when
// the object goes.
//
//   NginxServer nginx;                       // raises when nginx cannot start
//   nginx.AddFile("a.txt", "hello\n");
//   client.Get(nginx.BaseUrl() + "/a.txt", &body);
//
//   NginxServer secure(certs.ServerCert(), certs.ServerKey());   // https
//   NginxOptions options;
//   options.users = {{"u", "p"}};             // /private/ asks for u:p
//   NginxServer guarded(options);

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/password_file.h"
#include "tests/support/temp_dir.h"

namespace kv::test {

struct NginxOptions {
  std::string cert_file;  // with key_file: https (PEM files)
  std::string key_file;
  Users users;  // when not empty, /private/ asks for Basic credentials of these
};

class NginxServer {
 public:
  // Raises std::runtime_error with what the script said when nginx does not
  // come up within a few seconds.
  NginxServer();
  // Over https with this certificate and key (PEM files).
  NginxServer(const std::string& cert_file, const std::string& key_file);
  explicit NginxServer(const NginxOptions& options);
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT", without a
  // trailing slash.
  const std::string& BaseUrl() const { return base_url_; }
  const std::filesystem::path& Root() const { return root_.Path(); }

  // Writes a file under the root, making folders on the way, readable by
  // nginx's workers whatever user they run as. Returns its full path.
  std::string AddFile(std::string_view relative_path, std::string_view bytes);

 private:
  void Start(const NginxOptions& options);
  void Stop();

  TempDir root_;
  TempDir scratch_;  // the script's error output, apart from what is served
  pid_t pid_ = -1;   // the script, leader of its own process group
  int port_ = 0;
  std::string base_url_;
};

}  // namespace kv::test
