#pragma once
// Password files for servers that check Basic credentials (nginx's
// auth_basic, squid's basic_ncsa_auth): "user:hash" lines, the hashes made
// by `openssl passwd -apr1`, which both read.

#include <string>
#include <utility>
#include <vector>

namespace kv::test {

using Users = std::vector<std::pair<std::string, std::string>>;  // user name, password

// Writes the file, readable by every user (the servers' workers run as
// another one). Raises std::runtime_error when openssl cannot hash.
void WritePasswordFile(const std::string& path, const Users& users);

}  // namespace kv::test
