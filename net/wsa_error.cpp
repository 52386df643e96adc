#include "net/wsa_error.h"

#include <cerrno>

namespace ruzd::net {

int WsaErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return kWsaOk;
        case EINTR:
            return kWsaEintr;
        case EBADF:
            return kWsaEbadf;
        case EACCES:
        case EPERM:
            return kWsaEacces;
        case EFAULT:
            return kWsaEfault;
        case EINVAL:
            return kWsaEinval;
        case EMFILE:
        case ENFILE:
            return kWsaEmfile;
        case EAGAIN:
            return kWsaEwouldblock;
        case EINPROGRESS:
            return kWsaEinprogress;
        case EALREADY:
            return kWsaEalready;
        case ENOTSOCK:
            return kWsaEnotsock;
        case EMSGSIZE:
            return kWsaEmsgsize;
        case EAFNOSUPPORT:
            return kWsaEafnosupport;
        case EADDRINUSE:
            return kWsaEaddrinuse;
        case EADDRNOTAVAIL:
            return kWsaEaddrnotavail;
        case ENETDOWN:
            return kWsaEnetdown;
        case ENETUNREACH:
            return kWsaEnetunreach;
        case ENETRESET:
            return kWsaEnetreset;
        case ECONNABORTED:
        case EPIPE:
            return kWsaEconnaborted;
        case ECONNRESET:
            return kWsaEconnreset;
        case ENOBUFS:
        case ENOMEM:
            return kWsaEnobufs;
        case EISCONN:
            return kWsaEisconn;
        case ENOTCONN:
            return kWsaEnotconn;
        case ESHUTDOWN:
            return kWsaEshutdown;
        case ETIMEDOUT:
            return kWsaEtimedout;
        case ECONNREFUSED:
            return kWsaEconnrefused;
        case EHOSTDOWN:
            return kWsaEhostdown;
        case EHOSTUNREACH:
            return kWsaEhostunreach;
        default:
            return error;
    }
}

}  // namespace ruzd::net
