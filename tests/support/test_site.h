#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/access_log.h"
#include "server/engine.h"
#include "server/request_handler.h"
#include "support/http_client.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"
#include "tls/site_certificate.h"

namespace quorvane::testing {

// A program folder with the built-in default-document and MIME lists, the
// request handler over it, and ways to ask it through the whole road.
class TestSite {
  public:
    TestSite();

    // The head parsed as the connection parses it, then handled.
    server::Outcome Handle(std::string_view head, std::string_view peer = "10.0.0.7");
    // A GET of the path, with extra header lines ("Name: value\r\n").
    http::Response Get(std::string_view path, std::string_view headers = "");

    TempFolder folder;
    config::ProgramFolder program = folder.Program();
    server::RequestHandler handler{program, {"desk", "10.0.0.2"}};
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();  // of Handle
};

// The same site behind a running engine (on 127.0.0.1 at a free port unless
// told otherwise), with the access log open and everything the engine
// reports recorded.
class RunningSite : public TestSite {
  public:
    explicit RunningSite(server::Timeouts timeouts = QuickTimeouts(),
                         server::Listening where = {{"127.0.0.1"}, 0},
                         std::optional<server::ConnectionLimits> limits = std::nullopt);
    ~RunningSite();

    static server::Timeouts QuickTimeouts();

    uint16_t Port() const { return engine.Port(); }
    // Waits (ten seconds at most) until every connection has ended.
    bool WaitForNoConnections() const;
    std::string Send(std::string_view request) const;
    // A GET of the path; from another client's address with a `source`.
    std::string Fetch(std::string_view path, std::string_view headers = "",
                      std::string_view source = "") const;

    RecordingObserver observer;
    server::AccessLog log{folder.Path() / "quorvane.log",
                          [this](std::string_view problem) { observer.OnLogAppended(problem); }};
    server::Engine engine;
};

// A self-signed certificate for localhost, 127.0.0.1 and ::1, made in a
// folder of its own.
class TestCertificate {
  public:
    TestCertificate();
    std::string File() const { return (folder_.Path() / "certificate.pem").string(); }
    std::string KeyFile() const { return (folder_.Path() / "key.pem").string(); }
    const tls::SiteCertificate& Certificate() const { return *certificate_; }

  private:
    TempFolder folder_;
    std::optional<tls::SiteCertificate> certificate_;
};

// The running site that also listens for HTTPS, with that certificate.
class SecureSite : public TestCertificate, public RunningSite {
  public:
    explicit SecureSite(server::Timeouts timeouts = QuickTimeouts(),
                        std::optional<server::ConnectionLimits> limits = std::nullopt);

    uint16_t HttpsPort() const { return engine.HttpsPort(); }
    // A client that has made its handshake (checking the certificate), or
    // one that could not (Connected, yet every request fails).
    std::unique_ptr<RawClient> SecureClient() const;
    // One request over its own TLS connection; the whole reply.
    std::string SecureSend(std::string_view request) const;
};

// How many descriptors this process holds open.
size_t OpenDescriptors();

// The parts of a reply as received.
std::string StatusOf(const std::string& reply);
std::string BodyOf(const std::string& reply);

}  // namespace quorvane::testing
