#pragma once

#include <asio/ssl/context.hpp>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::tls {

// The certificate and key that HTTPS presents: read from PEM files and
// checked against each other, or made self-signed for this machine; its
// fingerprint, and the TLS context that serves it.
class SiteCertificate {
  public:
    using Clock = std::chrono::system_clock;

    // Reads the certificate file (the site's own certificate first, then any
    // chain) and the key file. Nothing, with `problem` saying why in the
    // user's words, when either cannot be used or the key is not the
    // certificate's.
    static std::optional<SiteCertificate> Load(const std::filesystem::path& certificateFile,
                                               const std::filesystem::path& keyFile,
                                               std::string& problem);

    // A new P-256 key and a certificate signed with it for these host names
    // and IP addresses, valid from an hour before `now` (clocks differ) for
    // kValidity, written as PEM: the key readable by its owner only.
    static std::optional<SiteCertificate> Create(const std::vector<std::string>& names,
                                                 const std::vector<std::string>& addresses,
                                                 Clock::time_point now,
                                                 const std::filesystem::path& certificateFile,
                                                 const std::filesystem::path& keyFile,
                                                 std::string& problem);

    // Browsers refuse server certificates that are valid for longer.
    static constexpr std::chrono::days kValidity{825};

    // The SHA-256 of the certificate as browsers and `openssl x509
    // -fingerprint -sha256` show it: 32 hexadecimal pairs joined by colons.
    std::string Sha256Fingerprint() const;
    Clock::time_point NotAfter() const;

    // A server context presenting it: TLS 1.2 and 1.3 only, forward-secret
    // ciphers, no renegotiation.
    std::shared_ptr<asio::ssl::context> ServerContext() const;

  private:
    struct Material;
    explicit SiteCertificate(std::shared_ptr<const Material> material)
        : material_(std::move(material)) {}
    std::shared_ptr<const Material> material_;
};

}  // namespace quorvane::tls
