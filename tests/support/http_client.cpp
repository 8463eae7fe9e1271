#include "support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>

namespace quorvane::testing {

RawClient::RawClient(uint16_t port, std::chrono::milliseconds timeout, std::string_view address) {
    sockaddr_storage peer{};
    socklen_t peerLength = 0;
    const std::string text(address);
    if (auto* v4 = reinterpret_cast<sockaddr_in*>(&peer);
        ::inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        peerLength = sizeof *v4;
    } else if (auto* v6 = reinterpret_cast<sockaddr_in6*>(&peer);
               ::inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        peerLength = sizeof *v6;
    } else {
        return;
    }
    fd_ = ::socket(peer.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return;
    }
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    limit.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&peer), peerLength) != 0) {
        Close();
    }
}

RawClient::~RawClient() {
    Close();
}

bool RawClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

void RawClient::ShutdownSending() {
    ::shutdown(fd_, SHUT_WR);
}

std::string RawClient::ReadAll() {
    std::string reply = std::move(pending_);
    pending_.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) {
            continue;  // a child of the server ended; keep reading
        }
        if (got <= 0) {
            return reply;
        }
        reply.append(chunk, static_cast<size_t>(got));
    }
}

bool RawClient::Fill() {
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        pending_.append(chunk, static_cast<size_t>(got));
        return true;
    }
}

std::string RawClient::ReadReply(bool headOnly) {
    size_t headEnd = pending_.find("\r\n\r\n");
    while (headEnd == std::string::npos) {
        if (!Fill()) {
            return {};
        }
        headEnd = pending_.find("\r\n\r\n");
    }
    headEnd += 4;
    size_t length = 0;
    const size_t at = pending_.find("\r\nContent-Length: ");
    const bool noBody =
        headOnly || pending_.compare(9, 3, "304") == 0 || pending_.compare(9, 3, "100") == 0;
    if (!noBody && at != std::string::npos && at < headEnd) {
        length = std::stoul(pending_.substr(at + 18));
    }
    while (pending_.size() < headEnd + length) {
        if (!Fill()) {
            return {};
        }
    }
    std::string reply = pending_.substr(0, headEnd + length);
    pending_.erase(0, headEnd + length);
    return reply;
}

bool RawClient::ClosedWithoutReply() {
    char byte;
    ssize_t got = ::recv(fd_, &byte, 1, 0);
    while (got < 0 && errno == EINTR) {
        got = ::recv(fd_, &byte, 1, 0);
    }
    return got == 0 || (got < 0 && errno == ECONNRESET);  // a timeout is no close
}

void RawClient::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string Exchange(uint16_t port, std::string_view request, std::string_view address) {
    RawClient client(port, std::chrono::milliseconds(5000), address);
    if (!client.Connected() || !client.Send(request)) {
        return {};
    }
    return client.ReadAll();
}

bool HasIpv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

}  // namespace quorvane::testing
