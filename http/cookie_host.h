#pragma once
// Text tests on host names and cookie domains: which domains a host may set
// cookies for, and which hosts a stored cookie's domain is sent to.

#include <string>
#include <string_view>

namespace kv {

// The trimmed text cut at "." four times gives four decimal numbers from 0
// to 255; whatever follows the fourth is not looked at.
bool IsDottedQuad(std::string_view text);

// Not a dotted quad, and not a dotted text that begins with ".".
bool IsPlainHostName(std::string_view text);

// The host from its first "." on, the dot included; the whole host when it
// has no ".".
std::string DomainOfHost(std::string_view host);

// A domain that begins with "." must name at least two labels (".b.c",
// not ".c"), so that one host cannot set a cookie for a whole top-level
// domain.
bool NamesMoreThanTopLevel(std::string_view domain);

// True when a cookie of `domain` goes to `host`: the host, ignoring ASCII
// case, is the domain itself or ends with it at a label boundary (the
// domain begins with "." or the host has a "." right before it). An empty
// domain goes nowhere. "example.com" thus reaches "www.example.com", but
// not "badexample.com" or "example.com.elsewhere.net".
bool DomainReachesHost(std::string_view domain, std::string_view host);

}  // namespace kv
