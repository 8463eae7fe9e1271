// CGI children under each confinement: nothing a script starts outlives its
// request, and the endings stay the same whichever confinement holds it.
#include "cgi/child_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace quorvane::cgi {
namespace {

using namespace std::chrono_literals;
using Ending = ChildResult::Ending;

// A shell function for scripts: waits (bounded) until a descendant has
// written its pid file.
constexpr std::string_view kAwait =
    "await() { i=0; while [ ! -s \"$1\" ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i+1)); done; }\n";

class ChildRunnerTest : public ::testing::TestWithParam<Confinement> {
  protected:
    void SetUp() override {
        if (GetParam() == Confinement::kCgroup && !DelegatedCgroup()) {
            GTEST_SKIP() << "this process's cgroup v2 (\"0::\" in /proc/self/cgroup) is not "
                            "writable here, so the cgroup confinement cannot be tried";
        }
    }

    ScriptLaunch Launch(std::string_view body, std::string input = "") {
        const auto path = folder_.Write("script.sh", "#!/bin/sh\n" + std::string(body));
        ::chmod(path.c_str(), 0755);
        return {.argv = {path.string()},
                .environment = {"PATH=/usr/local/bin:/usr/bin:/bin", "GREETING=hello"},
                .workFolder = folder_.Path().string(),
                .input = std::move(input),
                .timeLimit = 2s};
    }

    ChildResult Run(const ScriptLaunch& launch) {
        asio::io_context io;
        ChildResult result;
        asio::co_spawn(io, RunChild(launch, GetParam()),
                       [&](std::exception_ptr, ChildResult done) { result = std::move(done); });
        io.run();
        return result;
    }

    // The pid a descendant wrote into the work folder; 0 when it wrote none.
    pid_t PidIn(std::string_view name) const {
        return static_cast<pid_t>(std::atoi(folder_.Read(name).c_str()));
    }

    void ExpectEnded(std::string_view pidFile) const {
        const pid_t pid = PidIn(pidFile);
        ASSERT_GT(pid, 0) << pidFile << " was not written";
        // A supervisor reaps every descendant before it ends; orphans of a
        // cgroup go to the session's reaper.
        EXPECT_TRUE(testing::ProcessEnded(pid, GetParam() == Confinement::kSupervisor))
            << pidFile << ": process " << pid << " outlived its request";
    }

    testing::TempFolder folder_;
};

TEST_P(ChildRunnerTest, EverythingAScriptStartedEndsWithIt) {
    // Output closed, and a new session two levels down.
    ChildResult result =
        Run(Launch(std::string(kAwait) +
                   "sh -c 'echo $$ > background.pid; exec sleep 60' >/dev/null 2>&1 </dev/null &\n"
                   "sh -c 'setsid sh -c \"echo \\$$ > deep.pid; exec sleep 60\" &\n"
                   "       echo $$ > middle.pid; exec sleep 60' >/dev/null 2>&1 </dev/null &\n"
                   "await background.pid; await middle.pid; await deep.pid\n"
                   "printf 'Content-Type: text/plain\\r\\n\\r\\ndone'\n"));
    EXPECT_EQ(result.ending, Ending::kFinished);
    EXPECT_EQ(result.output, "Content-Type: text/plain\r\n\r\ndone");
    for (const char* pidFile : {"background.pid", "middle.pid", "deep.pid"}) {
        ExpectEnded(pidFile);
    }

    // One that still holds the output: the reply ends with the script.
    result = Run(Launch(std::string(kAwait) + "sh -c 'echo $$ > holder.pid; exec sleep 60' &\n"
                                              "await holder.pid\nprintf done\n"));
    EXPECT_EQ(result.ending, Ending::kFinished);
    EXPECT_EQ(result.output, "done");
    ExpectEnded("holder.pid");
}

TEST_P(ChildRunnerTest, ANewSessionEndsAtTheTimeLimit) {
    const ChildResult result = Run(
        Launch(std::string(kAwait) +
               "setsid sh -c 'echo $$ > session.pid; exec sleep 60' >/dev/null 2>&1 </dev/null &\n"
               "sh -c 'setsid sh -c \"echo \\$$ > deep.pid; exec sleep 60\"' &\n"
               "await session.pid; await deep.pid\nexec sleep 60\n"));
    EXPECT_EQ(result.ending, Ending::kTimedOut);
    ExpectEnded("session.pid");
    ExpectEnded("deep.pid");
}

TEST_P(ChildRunnerTest, PipesEnvironmentFolderAndEndingsAreKept) {
    ChildResult result =
        Run(Launch("printf '%s|%s|%s|' \"$GREETING\" \"$(pwd -P)\" \"$PPID\"\ncat\n"
                   "grep '^0::' /proc/self/cgroup\n",
                   "posted"));
    EXPECT_EQ(result.ending, Ending::kFinished);
    const std::string expected =
        "hello|" + std::filesystem::canonical(folder_.Path()).string() + "|";
    ASSERT_TRUE(result.output.starts_with(expected)) << result.output;
    const std::string parent = result.output.substr(expected.size());
    if (GetParam() == Confinement::kSupervisor) {
        EXPECT_FALSE(parent.starts_with(std::to_string(::getpid()) + "|")) << parent;
    } else {
        EXPECT_NE(parent.find("|posted0::/"), std::string::npos) << parent;
        EXPECT_NE(parent.find("/quorvane-cgi-"), std::string::npos) << parent;
    }
    EXPECT_NE(parent.find("|posted"), std::string::npos) << parent;

    EXPECT_EQ(Run(Launch("printf partial\nkill -9 $$\n")).ending, Ending::kKilledBySignal);
    EXPECT_EQ(Run(Launch("head -c 17000000 /dev/zero\n")).ending, Ending::kOutputTooLarge);
    ScriptLaunch notAProgram = Launch("");
    ::chmod(notAProgram.argv[0].c_str(), 0644);
    EXPECT_EQ(Run(notAProgram).ending, Ending::kStartFailed);
}

INSTANTIATE_TEST_SUITE_P(Confinements, ChildRunnerTest,
                         ::testing::Values(Confinement::kCgroup, Confinement::kSupervisor),
                         [](const ::testing::TestParamInfo<Confinement>& info) {
                             return info.param == Confinement::kCgroup ? "Cgroup" : "Supervisor";
                         });

}  // namespace
}  // namespace quorvane::cgi
