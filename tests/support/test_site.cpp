#include "support/test_site.h"

#include <stdexcept>
#include <thread>

#include "config/list_files.h"
#include "support/http_client.h"

namespace quorvane::testing {

using namespace std::chrono_literals;

TestSite::TestSite() {
    config::CreateDefaultDocumentList(program);
    config::CreateMimeList(program);
}

server::Outcome TestSite::Handle(std::string_view head, std::string_view peer) {
    return handler.Handle(http::ParseHead(head), {.address = peer}, now);
}

http::Response TestSite::Get(std::string_view path, std::string_view headers) {
    return Handle("GET " + std::string(path) + " HTTP/1.0\r\n" + std::string(headers) + "\r\n")
        .reply;
}

RunningSite::RunningSite(server::Timeouts timeouts, server::Listening where,
                         std::optional<server::ConnectionLimits> limits)
    : engine(handler, log, observer, timeouts, limits) {
    log.OpenEmpty();
    if (!engine.StartListener(where)) {
        throw std::runtime_error("the test server cannot listen: " + observer.Failure());
    }
}

RunningSite::~RunningSite() {
    engine.Close();
}

server::Timeouts RunningSite::QuickTimeouts() {
    return {.head = 2s, .body = 2s, .cgiQueue = 5s, .sendIdle = 5s, .linger = 1s, .discard = 1s};
}

bool RunningSite::WaitForNoConnections() const {
    for (int i = 0; i < 200 && engine.OpenConnections() > 0; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    return engine.OpenConnections() == 0;
}

std::string RunningSite::Send(std::string_view request) const {
    return Exchange(Port(), request);
}

std::string RunningSite::Fetch(std::string_view path, std::string_view headers,
                               std::string_view source) const {
    return Exchange(Port(),
                    "GET " + std::string(path) + " HTTP/1.0\r\n" + std::string(headers) + "\r\n",
                    "127.0.0.1", source);
}

TestCertificate::TestCertificate() {
    std::string problem;
    certificate_ =
        tls::SiteCertificate::Create({"localhost"}, {"127.0.0.1", "::1"},
                                     std::chrono::system_clock::now(), File(), KeyFile(), problem);
    if (!certificate_) {
        throw std::runtime_error("no test certificate: " + problem);
    }
}

SecureSite::SecureSite(server::Timeouts timeouts, std::optional<server::ConnectionLimits> limits)
    : RunningSite(timeouts,
                  {{"127.0.0.1"},
                   0,
                   server::HttpsListening{0, Certificate().ServerContext(),
                                          Certificate().Sha256Fingerprint()}},
                  limits) {}

std::unique_ptr<RawClient> SecureSite::SecureClient() const {
    auto client = std::make_unique<RawClient>(HttpsPort());
    if (!client->StartTls(File(), "127.0.0.1")) {
        client->Close();
    }
    return client;
}

std::string SecureSite::SecureSend(std::string_view request) const {
    const std::unique_ptr<RawClient> client = SecureClient();
    return client->Send(request) ? client->ReadAll() : std::string();
}

size_t OpenDescriptors() {
    const std::filesystem::directory_iterator descriptors("/proc/self/fd");
    return static_cast<size_t>(std::distance(descriptors, {}));
}

std::string StatusOf(const std::string& reply) {
    return reply.substr(0, reply.find("\r\n"));
}

std::string BodyOf(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? "" : reply.substr(end + 4);
}

}  // namespace quorvane::testing
