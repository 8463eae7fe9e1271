#include "support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace quorvane::testing {

RawClient::RawClient(uint16_t port, std::chrono::milliseconds timeout, std::string_view address,
                     std::string_view source) {
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
    if (!source.empty()) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        if (::inet_pton(AF_INET, std::string(source).c_str(), &from.sin_addr) != 1 ||
            ::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
            Close();
            return;
        }
    }
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&peer), peerLength) != 0) {
        Close();
    }
}

RawClient::~RawClient() {
    Close();
}

namespace {

struct TlsSession {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    ~TlsSession() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

SSL* SessionOf(const std::shared_ptr<void>& tls) {
    return tls ? static_cast<TlsSession*>(tls.get())->ssl : nullptr;
}

}  // namespace

bool RawClient::StartTls(const std::string& caFile, const std::string& host) {
    auto session = std::make_shared<TlsSession>();
    session->context = SSL_CTX_new(TLS_client_method());
    if (session->context == nullptr || fd_ < 0) {
        return false;
    }
    if (!caFile.empty()) {
        SSL_CTX_set_verify(session->context, SSL_VERIFY_PEER, nullptr);
        if (SSL_CTX_load_verify_locations(session->context, caFile.c_str(), nullptr) != 1) {
            return false;
        }
    }
    session->ssl = SSL_new(session->context);
    SSL_set_fd(session->ssl, fd_);
    if (!host.empty()) {
        SSL_set_tlsext_host_name(session->ssl, host.c_str());
        SSL_set1_host(session->ssl, host.c_str());
    }
    const bool shaken = SSL_connect(session->ssl) == 1;
    ERR_clear_error();
    if (shaken) {
        tls_ = std::move(session);
    }
    return shaken;
}

std::string RawClient::PeerFingerprint() const {
    SSL* ssl = SessionOf(tls_);
    X509* certificate = ssl != nullptr ? SSL_get1_peer_certificate(ssl) : nullptr;
    if (certificate == nullptr) {
        return {};
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(certificate, EVP_sha256(), digest, &length);
    X509_free(certificate);
    std::string text;
    char pair[4];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : ":%02X", digest[i]);
        text += pair;
    }
    return text;
}

long RawClient::Receive(char* into, size_t size) {
    if (SSL* ssl = SessionOf(tls_)) {
        const int got = SSL_read(ssl, into, static_cast<int>(size));
        if (got <= 0) {
            // An interrupted read (a child of the server ended) is tried
            // again by the callers, as on a plain socket; anything else ends it.
            const bool interrupted = errno == EINTR;
            const bool closed = SSL_get_error(ssl, got) == SSL_ERROR_ZERO_RETURN;
            ERR_clear_error();
            errno = interrupted ? EINTR : 0;
            return closed ? 0 : -1;
        }
        return got;
    }
    return ::recv(fd_, into, size, 0);
}

long RawClient::Transmit(const char* from, size_t size) {
    if (SSL* ssl = SessionOf(tls_)) {
        const int sent = SSL_write(ssl, from, static_cast<int>(size));
        const bool interrupted = sent <= 0 && errno == EINTR;
        ERR_clear_error();
        errno = interrupted ? EINTR : 0;
        return sent > 0 ? sent : -1;
    }
    return ::send(fd_, from, size, MSG_NOSIGNAL);
}

bool RawClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = Transmit(bytes.data(), bytes.size());
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
    while (Fill()) {
    }
    return std::exchange(pending_, {});
}

bool RawClient::Fill() {
    char chunk[65536];
    for (;;) {
        const ssize_t got = Receive(chunk, sizeof chunk);
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

std::optional<std::string> RawClient::ReadToClose() {
    std::string got;
    char chunk[4096];
    for (;;) {
        const ssize_t count = ::recv(fd_, chunk, sizeof chunk, 0);
        if (count > 0) {
            got.append(chunk, static_cast<size_t>(count));
        } else if (count == 0 || errno == ECONNRESET) {
            return got;
        } else if (errno != EINTR) {
            return std::nullopt;  // timed out
        }
    }
}

void RawClient::Close() {
    tls_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string Exchange(uint16_t port, std::string_view request, std::string_view address,
                     std::string_view source) {
    RawClient client(port, std::chrono::milliseconds(5000), address, source);
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
