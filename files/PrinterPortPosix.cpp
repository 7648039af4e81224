#include "files/PrinterPort.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace tlc {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

// Waits until `fd` takes (or gives) data; false with errno ETIMEDOUT after
// `seconds`.
bool WaitFor(int fd, short events, int seconds) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, seconds * 1000);
        if (n > 0) return true;
        if (n == 0) return errno = ETIMEDOUT, false;
        if (errno != EINTR) return false;
    }
}

// Splits HOST[:PORT] and [IPV6]:PORT.
bool SplitHostPort(const std::string& target, std::string& host, std::string& port) {
    port = "9100";
    if (!target.empty() && target.front() == '[') {
        const std::size_t close = target.find(']');
        if (close == std::string::npos) return false;
        host = target.substr(1, close - 1);
        if (close + 1 < target.size()) {
            if (target[close + 1] != ':') return false;
            port = target.substr(close + 2);
        }
    } else {
        const std::size_t colon = target.rfind(':');
        host = target.substr(0, colon);
        if (colon != std::string::npos) port = target.substr(colon + 1);
        if (host.find(':') != std::string::npos) return false; // IPv6 needs brackets
    }
    return !host.empty() && !port.empty();
}

int Connect(const std::string& target, int seconds, std::string& failure) {
    std::string host, port;
    if (!SplitHostPort(target, host, port)) {
        failure = "not a device file nor HOST[:PORT]";
        return -1;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        failure = ::gai_strerror(rc);
        return -1;
    }
    int error = ECONNREFUSED;
    int fd = -1;
    for (const addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        // A small send buffer, so that the count of bytes taken stays close
        // to what the printer has read when it stops reading.
        const int buffer = 16 * 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
        if (errno == EINPROGRESS && WaitFor(fd, POLLOUT, seconds)) {
            socklen_t size = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) break;
        } else {
            error = errno == ETIMEDOUT ? ETIMEDOUT : errno;
        }
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    if (fd < 0) failure = error == ETIMEDOUT ? "no connection within the time limit" : Reason(error);
    return fd;
}

int OpenDevice(const std::string& path, int baud, std::string& failure) {
    // No controlling terminal taken, and no wait on a modem line in open().
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure = Reason(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        failure = Reason(EISDIR);
        return -1;
    }
    termios tty{};
    if (::tcgetattr(fd, &tty) == 0) { // a serial line: raw bytes, 8 bits
        ::cfmakeraw(&tty);
        tty.c_cflag |= CLOCAL | CREAD;
        if (baud != 0) {
            speed_t speed = 0;
            switch (baud) {
            case 9600: speed = B9600; break;
            case 19200: speed = B19200; break;
            case 38400: speed = B38400; break;
            case 57600: speed = B57600; break;
            case 115200: speed = B115200; break;
            default:
                ::close(fd);
                failure = "unsupported speed " + std::to_string(baud);
                return -1;
            }
            ::cfsetispeed(&tty, speed);
            ::cfsetospeed(&tty, speed);
        }
        if (::tcsetattr(fd, TCSANOW, &tty) != 0) {
            failure = Reason(errno);
            ::close(fd);
            return -1;
        }
    } else if (baud != 0) {
        ::close(fd);
        failure = "--baud needs a serial port";
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, bool socket, const std::vector<std::uint8_t>& bytes, int seconds, PrinterSendResult& r) {
    while (r.Bytes < bytes.size()) {
        const std::uint8_t* from = bytes.data() + r.Bytes;
        const std::size_t left = bytes.size() - static_cast<std::size_t>(r.Bytes);
        // MSG_NOSIGNAL: a printer that hangs up is a failure to report, not SIGPIPE.
        const ssize_t n = socket ? ::send(fd, from, left, MSG_NOSIGNAL) : ::write(fd, from, left);
        if (n > 0) {
            r.Bytes += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd, POLLOUT, seconds)) continue;
            r.Failure = errno == ETIMEDOUT ? "the printer took nothing more within the time limit" : Reason(errno);
            return false;
        }
        r.Failure = Reason(n < 0 ? errno : EIO);
        return false;
    }
    return true;
}

// After the last byte: a printer that hung up on bytes it had not read shows
// it now (a reset), where the system had taken them all already.
bool CloseSocket(int fd, int seconds, PrinterSendResult& r) {
    ::shutdown(fd, SHUT_WR);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char sink[512];
    for (;;) {
        const ssize_t n = ::recv(fd, sink, sizeof sink, 0);
        if (n == 0) return true; // closed in order
        if (n > 0) continue;     // a status byte; not ours to read
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const auto left = std::chrono::duration_cast<std::chrono::seconds>(until - std::chrono::steady_clock::now());
            // A printer that keeps the line open has read what it wanted.
            if (left.count() <= 0 || !WaitFor(fd, POLLIN, static_cast<int>(left.count()))) return true;
            continue;
        }
        r.Failure = Reason(errno);
        return false;
    }
}

} // namespace

bool IsDeviceTarget(const std::string& target) {
    return target.find('/') != std::string::npos;
}

PrinterSendResult SendToPrinter(const std::string& target, const std::vector<std::uint8_t>& bytes,
                                const PrinterPortOptions& options) {
    PrinterSendResult r;
    const bool device = IsDeviceTarget(target);
    const int fd = device ? OpenDevice(target, options.Baud, r.Failure)
                          : Connect(target, options.TimeoutSeconds, r.Failure);
    if (fd < 0) return r;
    r.Sent = WriteAll(fd, !device, bytes, options.TimeoutSeconds, r) &&
             (device || CloseSocket(fd, std::min(options.TimeoutSeconds, 2), r));
    ::close(fd);
    return r;
}

} // namespace tlc
