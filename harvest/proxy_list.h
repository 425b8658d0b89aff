#pragma once
// The proxies file of a pooled harvest: one proxy a line in the forms -x
// takes, "#" comments and blank lines ignored. A bad line is refused with
// its line number before anything is sent.
#include <string>
#include <vector>

#include "base/exception.h"
#include "harvest/harvest_run.h"
#include "http/transport_options.h"

namespace kv::harvest {

// "FILE:LINE: complaint" (never with a password), or the file's own failure.
KV_DECLARE_EXCEPTION(EProxyList, Exception);

// The pool's proxies; each one's setup applies `base` (the TLS checks, -U)
// with that proxy to a worker's client.
std::vector<harvest::PoolProxy> ReadProxyList(const std::string& path, const TransportOptions& base);

}  // namespace kv::harvest
