#pragma once

// The Windows Sockets error numbers that the socket classes report as their last error and hand
// to their receivers with a close. Peers and logs know these numbers, so the POSIX errno values
// are translated at the system call, by the same table that gives the Win32 file codes
// (platform/errno_codes.cpp).

namespace ruzd::platform {

enum WsaError : int {
    kWsaOk = 0,
    kWsaEintr = 10004,
    kWsaEbadf = 10009,
    kWsaEacces = 10013,
    kWsaEfault = 10014,
    kWsaEinval = 10022,
    kWsaEmfile = 10024,
    kWsaEwouldblock = 10035,
    kWsaEinprogress = 10036,
    kWsaEalready = 10037,
    kWsaEnotsock = 10038,
    kWsaEmsgsize = 10040,
    kWsaEafnosupport = 10047,
    kWsaEaddrinuse = 10048,
    kWsaEaddrnotavail = 10049,
    kWsaEnetdown = 10050,
    kWsaEnetunreach = 10051,
    kWsaEnetreset = 10052,
    kWsaEconnaborted = 10053,
    kWsaEconnreset = 10054,
    kWsaEnobufs = 10055,
    kWsaEisconn = 10056,
    kWsaEnotconn = 10057,
    kWsaEshutdown = 10058,
    kWsaEtimedout = 10060,
    kWsaEconnrefused = 10061,
    kWsaEhostdown = 10064,
    kWsaEhostunreach = 10065,
    kWsaHostNotFound = 11001,
};

// The Windows Sockets number for a POSIX errno value; a value without a counterpart is returned
// unchanged, so that it still shows in a log.
int WsaErrorFromErrno(int error);

}  // namespace ruzd::platform
