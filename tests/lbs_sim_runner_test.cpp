// The runner between the scenario and the plugin: the main loop run dry after
// every command and every alarm, the clock, the framework's answers aimed at
// the call they answer, and scenario paths in the plugin's file directory.
#include "lbs_sim_runner.h"
#include "lbs_sim_trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace lbs_sim;

namespace {

using Lines = std::vector<std::string>;

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        plugin_ = Plugin::load(LBS_SIM_TEST_PLUGIN, &error);
        ASSERT_NE(plugin_, nullptr) << error;
        runner_ = std::make_unique<Runner>(*plugin_, writer_, RunnerOptions{"/files/extra/", false});
    }
    ~RunnerTest() override
    {
        runner_.reset();
        std::fclose(file_);
        std::free(buf_);
    }

    void play(const Lines &lines)
    {
        for (const std::string &l : lines) {
            Command c;
            bool empty = false;
            std::string message;
            ASSERT_TRUE(parse_line(l, &c, &empty, &message)) << l << ": " << message;
            ASSERT_TRUE(runner_->execute(c, &message)) << message;
        }
    }

    // The trace lines written since the last call.
    Lines trace()
    {
        std::fflush(file_);
        std::istringstream in(std::string(buf_ + read_, len_ - read_));
        read_ = len_;
        Lines out;
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }

    char *buf_ = nullptr;
    size_t len_ = 0, read_ = 0;
    std::FILE *file_ = open_memstream(&buf_, &len_);
    // Paths print as given, so that what the runner made of $EXTRA/ shows.
    TraceWriter writer_{file_, PathStyle(std::vector<std::string>{}), false};
    std::unique_ptr<Plugin> plugin_;
    std::unique_ptr<Runner> runner_;
};

TEST_F(RunnerTest, WorkQueuedByACommandRunsBeforeTheNextCommand)
{
    play({"init", "request STOP_SESSION method=1", "request STOP_SESSION null"});
    EXPECT_EQ(trace(), (Lines{"0 call registerServiceAgent", "0 return 1", "0 return 7",
                              "0 event START_SESSION error=0 method=9", "0 return 7",
                              "0 event START_SESSION error=0 method=9"}));
}

TEST_F(RunnerTest, AdvanceFiresDueAlarmsInOrderAndRunsTheirWorkBetweenThem)
{
    play({"init", "request START_SESSION interval=4", "request START_SESSION interval=3",
          "request START_SESSION interval=3", "request START_SESSION null"});
    EXPECT_EQ(trace().back(), "0 return 0");
    play({"advance 10", "deinit"});
    EXPECT_EQ(trace(), (Lines{"3 alarm fire id=2", "3 event STOP_SESSION error=0 method=2",
                              "3 event START_SESSION error=0 method=9", "3 alarm fire id=3",
                              "3 event STOP_SESSION error=0 method=3", "3 event START_SESSION error=0 method=9",
                              "4 alarm fire id=1", "4 event STOP_SESSION error=0 method=1",
                              "4 event START_SESSION error=0 method=9", "10 return 1"}));
}

TEST_F(RunnerTest, FrameworkAnswersCarryTheAgentAndHandleOfWhatTheyAnswer)
{
    play({"init"});
    trace();
    play({"kov regi_cfrm 0 7", "kov peer_found 0"});
    EXPECT_EQ(trace(), (Lines{"0 event PROVIDER_CONNECTED error=0", "0 call findPeerAgent agent=7",
                              "0 call createServiceConnection agent=7"}));
    // A connection confirmation answers the last connection asked for, also
    // when the agent registered anew in between.
    play({"kov regi_cfrm 0 8", "kov conn_cfrm 0 5"});
    EXPECT_EQ(trace(), (Lines{"0 event PROVIDER_CONNECTED error=0", "0 call findPeerAgent agent=8",
                              "0 event CHANGE_INTERVAL error=0 method=7", "0 send kov hello"}));
    // Data arrive on the confirmed connection, exactly as many bytes as written.
    play({"kov data  {\"msgId\": 1} "});
    EXPECT_EQ(trace(), Lines{"0 event EXTRA_DATA error=0 path=5/169/13/{\"msgId\": 1} "});
}

TEST_F(RunnerTest, ScenarioPathsMayNameTheFileDirectory)
{
    play({"init", "kov send_file 4 $EXTRA/map.jpg", "kov send_file 5 /tmp/$EXTRA/x"});
    EXPECT_EQ(trace(), (Lines{"0 call registerServiceAgent", "0 return 1",
                              "0 call receiveFile tx=4 path=/files/extra/map.jpg accept=1",
                              "0 call receiveFile tx=5 path=/tmp/$EXTRA/x accept=1"}));
}

} // namespace
