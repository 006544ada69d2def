// POSIX socket helpers shared by the connection code: error numbers mapped to
// the Windows Sockets numbers of host/connection.h, socket options, SIGPIPE.
#pragma once

#include <string>

namespace cedar::platform {

// Maps an errno value from socket(), connect(), send() or recv() to a
// socket_error number. The WSAE* numbers are 10000 + the BSD errno value, so
// each Linux errno is translated by name:
//
//   EINTR 10004          EBADF 10009          EACCES 10013       EFAULT 10014
//   EINVAL 10022         EMFILE/ENFILE 10024  EAGAIN 10035       EINPROGRESS 10036
//   EALREADY 10037       ENOTSOCK 10038       EDESTADDRREQ 10039 EMSGSIZE 10040
//   EPROTOTYPE 10041     ENOPROTOOPT 10042    EPROTONOSUPPORT 10043
//   ESOCKTNOSUPPORT 10044 EOPNOTSUPP 10045    EPFNOSUPPORT 10046 EAFNOSUPPORT 10047
//   EADDRINUSE 10048     EADDRNOTAVAIL 10049  ENETDOWN 10050     ENETUNREACH 10051
//   ENETRESET 10052      ECONNABORTED 10053   ECONNRESET 10054   EPIPE 10054
//   ENOBUFS/ENOMEM 10055 EISCONN 10056        ENOTCONN 10057     ESHUTDOWN 10058
//   ETOOMANYREFS 10059   ETIMEDOUT 10060      ECONNREFUSED 10061 ELOOP 10062
//   ENAMETOOLONG 10063   EHOSTDOWN 10064      EHOSTUNREACH 10065
//
// EPIPE (writing to a connection the peer has dropped) reports as a reset
// connection, which is what Windows gives for the same situation. Anything
// else gives 10107 (WSASYSCALLFAILURE, "a system call failed").
int socketErrorFromErrno(int err);

// Maps a getaddrinfo() result (EAI_*) to a socket_error number:
//   EAI_NONAME 11001     EAI_AGAIN 11002      EAI_FAIL 11003
//   EAI_NODATA and EAI_ADDRFAMILY 11004 (the name exists without addresses)
//   EAI_FAMILY 10047     EAI_SOCKTYPE 10044   EAI_SERVICE 10109  EAI_BADFLAGS 10022
//   EAI_MEMORY 10055     EAI_SYSTEM: `savedErrno` through socketErrorFromErrno
//   anything else 11003 (a non-recoverable resolver failure).
int socketErrorFromResolver(int eaiCode, int savedErrno);

// TCP_NODELAY always; SO_KEEPALIVE when bit 0 of `setSockOpt` is set,
// SO_OOBINLINE when bit 1 is. False (errno set) when a setsockopt call failed.
bool configureSocket(int fd, int setSockOpt);

// Makes writes to a dropped connection return EPIPE instead of killing the
// process: sets SIGPIPE to "ignore" once per process, unless the program has
// installed a handler of its own.
void ignoreSigpipeOnce();

// True for an IPv4 dotted quad or an IPv6 literal (any text with a ':', which
// a host name never contains; a zone index "%eth0" is allowed).
bool isIpLiteral(const std::string& host);

}  // namespace cedar::platform
