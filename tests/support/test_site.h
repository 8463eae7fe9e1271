#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "server/access_log.h"
#include "server/engine.h"
#include "server/request_handler.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

namespace quorvane::testing {

// A program folder with the built-in default-document and MIME lists, the
// request handler over it, and ways to ask it through the whole road.
class TestSite {
  public:
    TestSite();

    server::Outcome Handle(std::string_view head, std::string_view peer = "10.0.0.7") const;
    // A GET of the path, with extra header lines ("Name: value\r\n").
    responses::Reply Get(std::string_view path, std::string_view headers = "") const;

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
                         server::Listening where = {{"127.0.0.1"}, 0});
    ~RunningSite();

    static server::Timeouts QuickTimeouts();

    uint16_t Port() const { return engine.Port(); }
    std::string Send(std::string_view request) const;
    std::string Fetch(std::string_view path, std::string_view headers = "") const;

    RecordingObserver observer;
    server::AccessLog log{folder.Path() / "quorvane.log",
                          [this](std::string_view problem) { observer.OnLogAppended(problem); }};
    server::Engine engine;
};

// The parts of a reply as received.
std::string StatusOf(const std::string& reply);
std::string BodyOf(const std::string& reply);

}  // namespace quorvane::testing
