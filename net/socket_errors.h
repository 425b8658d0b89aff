#pragma once
// The socket error catalogue. Every platform failure is reported with the
// catalogue's number (the numbering of the other platform's socket library),
// so that codes and texts are the same wherever the program runs: errno
// values and name-lookup results are mapped onto it here, and nowhere else.

#include <string>
#include <string_view>

namespace kv {

// Catalogue numbers the connection code looks at by name.
inline constexpr int Id_WSAEINTR = 10004;
inline constexpr int Id_WSAEBADF = 10009;
inline constexpr int Id_WSAEWOULDBLOCK = 10035;
inline constexpr int Id_WSAEINPROGRESS = 10036;
inline constexpr int Id_WSAENOTSOCK = 10038;
inline constexpr int Id_WSAEADDRINUSE = 10048;
inline constexpr int Id_WSAECONNABORTED = 10053;
inline constexpr int Id_WSAECONNRESET = 10054;
inline constexpr int Id_WSAESHUTDOWN = 10058;
inline constexpr int Id_WSAETIMEDOUT = 10060;
inline constexpr int Id_WSAECONNREFUSED = 10061;
inline constexpr int Id_WSANOTINITIALISED = 10093;
inline constexpr int Id_WSAHOST_NOT_FOUND = 11001;
inline constexpr int Id_WSATRY_AGAIN = 11002;
inline constexpr int Id_WSANO_RECOVERY = 11003;
inline constexpr int Id_WSANO_DATA = 11004;

// The catalogue's text for a code; empty for a code the catalogue lacks.
std::string_view SocketErrorCatalogueText(int code) noexcept;

// "Socket Error # CODE" CR LF TEXT, the message of EIdSocketError.
std::string SocketErrorMessage(int code);

// The catalogue number for an errno value. Values without a counterpart
// are passed through unchanged (they are all below 10000, so they cannot
// be mistaken for a catalogue number, and their text is empty).
int SocketErrorFromErrno(int error) noexcept;

// The catalogue number for a failed getaddrinfo/getnameinfo result;
// `saved_errno` is used for EAI_SYSTEM.
int SocketErrorFromAddrInfo(int result, int saved_errno) noexcept;

}  // namespace kv
