#include "support/test_site.h"

#include <stdexcept>

#include "config/list_files.h"
#include "support/http_client.h"

namespace quorvane::testing {

using namespace std::chrono_literals;

TestSite::TestSite() {
    config::CreateDefaultDocumentList(program);
    config::CreateMimeList(program);
}

server::Outcome TestSite::Handle(std::string_view head, std::string_view peer) const {
    return handler.Handle({head, peer, now});
}

responses::Reply TestSite::Get(std::string_view path, std::string_view headers) const {
    return Handle("GET " + std::string(path) + " HTTP/1.0\r\n" + std::string(headers) + "\r\n")
        .reply;
}

RunningSite::RunningSite(server::Timeouts timeouts, server::Listening where)
    : engine(handler, log, observer, timeouts) {
    log.OpenEmpty();
    if (!engine.StartListener(where)) {
        throw std::runtime_error("the test server cannot listen: " + observer.Failure());
    }
}

RunningSite::~RunningSite() {
    engine.Close();
}

server::Timeouts RunningSite::QuickTimeouts() {
    return {.head = 2s, .body = 2s, .cgiQueue = 5s, .sendIdle = 5s, .linger = 1s};
}

std::string RunningSite::Send(std::string_view request) const {
    return Exchange(Port(), request);
}

std::string RunningSite::Fetch(std::string_view path, std::string_view headers) const {
    return Send("GET " + std::string(path) + " HTTP/1.0\r\n" + std::string(headers) + "\r\n");
}

std::string StatusOf(const std::string& reply) {
    return reply.substr(0, reply.find("\r\n"));
}

std::string BodyOf(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? "" : reply.substr(end + 4);
}

}  // namespace quorvane::testing
