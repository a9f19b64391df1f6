// The runner between the scenario and the plugin: the main loop run dry after
// every command and every alarm, the clock, the framework's answers aimed at
// the call they answer, and scenario paths in the plugin's file directory.
#include "lbs_sim_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lbs_sim;

namespace {

// Keeps what reached the sink as short words.
class Recorder : public Sink {
public:
    std::vector<std::string> seen;

    void command(int64_t t, const Command &c) override { add(t, "> " + c.source); }
    void returned(int64_t t, std::string_view, int v) override { add(t, "return " + std::to_string(v)); }
    void event(int64_t t, const lbs_consumer_event_s &ev) override
    {
        std::string s = "event " + std::to_string(ev.type);
        if (ev.type == CONSUMER_EVENT_POSITION_GPS)
            s += " ts=" + std::to_string(ev.position.pos.timestamp);
        else if (ev.type == CONSUMER_EVENT_EXTRA_DATA)
            s += std::string(" ") + (ev.file.path != nullptr ? ev.file.path : "NULL");
        else
            s += " method=" + std::to_string(ev.session.method);
        add(t, s);
    }
    void kov_call(int64_t t, const kov_ctl_call &c) override
    {
        std::string s = std::string("kov ") + c.name;
        if (std::string_view(c.name) == "findPeerAgent" || std::string_view(c.name) == "createServiceConnection")
            s += " agent=" + std::to_string(c.agent_id);
        if (std::string_view(c.name) == "sendData")
            s += " handle=" + std::to_string(c.service_handle) + " " + c.text;
        if (std::string_view(c.name) == "receiveFile")
            s += std::string(" ") + c.text;
        add(t, s);
    }
    void bap_call(int64_t t, const bap_ctl_call &c) override { add(t, std::string("bap ") + c.name); }
    void alarm(int64_t t, const alarmmgr_ctl_traffic &a) override
    {
        if (a.what == ALARMMGR_CTL_FIRE)
            add(t, "alarm fire " + std::to_string(a.id));
    }
    void power_lock(int64_t t, const device_power_ctl_call &) override { add(t, "power"); }
    void log(int64_t, int, std::string_view, std::string_view) override {}
    void note(int64_t t, std::string_view text) override { add(t, "note " + std::string(text)); }

private:
    void add(int64_t t, const std::string &s) { seen.push_back(std::to_string(t) + " " + s); }
};

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        plugin_ = Plugin::load(LBS_SIM_TEST_PLUGIN, &error);
        ASSERT_NE(plugin_, nullptr) << error;
        runner_ = std::make_unique<Runner>(*plugin_, rec_, RunnerOptions{"/files/extra/", false});
    }

    // Runs scenario lines; the recorder keeps what happened.
    void play(const std::vector<std::string> &lines)
    {
        for (const std::string &l : lines) {
            Command c;
            bool empty = false;
            std::string message;
            ASSERT_TRUE(parse_line(l, &c, &empty, &message)) << l << ": " << message;
            ASSERT_TRUE(runner_->execute(c, &message)) << message;
        }
    }
    // What happened since the last call.
    std::vector<std::string> happened()
    {
        std::vector<std::string> out;
        out.swap(rec_.seen);
        return out;
    }

    Recorder rec_;
    std::unique_ptr<Plugin> plugin_;
    std::unique_ptr<Runner> runner_;
};

using Lines = std::vector<std::string>;

TEST_F(RunnerTest, WorkQueuedByACommandRunsBeforeTheNextCommand)
{
    play({"init", "request STOP_SESSION method=1", "advance 1"});
    EXPECT_EQ(happened(), (Lines{"0 > init", "0 kov registerNotifications", "0 kov registerFTNotifications",
                                 "0 kov registerServiceAgent", "0 return 1", "0 > request STOP_SESSION method=1",
                                 "0 return 7", "0 event 0 method=9", "0 > advance 1"}));
}

TEST_F(RunnerTest, AdvanceFiresDueAlarmsInOrderAndRunsTheirWorkBetweenThem)
{
    play({"init", "request START_SESSION interval=4", "request START_SESSION interval=3",
          "request START_SESSION interval=3", "request START_SESSION null"});
    EXPECT_EQ(happened().back(), "0 return 0");
    play({"advance 10"});
    EXPECT_EQ(happened(), (Lines{"0 > advance 10", "3 alarm fire 2", "3 event 256 ts=2", "3 event 1 method=0",
                                 "3 alarm fire 3", "3 event 256 ts=3", "3 event 1 method=0", "4 alarm fire 1",
                                 "4 event 256 ts=1", "4 event 1 method=0"}));
    play({"deinit"});
    EXPECT_EQ(happened().front(), "10 > deinit");
}

TEST_F(RunnerTest, FrameworkAnswersCarryTheAgentAndHandleOfWhatTheyAnswer)
{
    play({"init"});
    happened();
    play({"kov regi_cfrm 0 7"});
    EXPECT_EQ(happened(), (Lines{"0 > kov regi_cfrm 0 7", "0 event 768 method=0", "0 kov findPeerAgent agent=7"}));
    play({"kov peer_found 0", "kov conn_cfrm 0 5"});
    EXPECT_EQ(happened(), (Lines{"0 > kov peer_found 0", "0 kov createServiceConnection agent=7",
                                 "0 > kov conn_cfrm 0 5", "0 event 2 method=7", "0 kov sendData handle=5 hello"}));
    play({"kov data  {\"msgId\": 1} "});
    EXPECT_EQ(happened(), (Lines{"0 > kov data  {\"msgId\": 1} ", "0 event 512 5/169/13/{\"msgId\": 1} "}));
}

TEST_F(RunnerTest, AutoModePlaysTheWholeConnection)
{
    play({"kov auto on", "init"});
    EXPECT_EQ(happened(), (Lines{"0 > kov auto on", "0 > init", "0 kov registerNotifications",
                                 "0 kov registerFTNotifications", "0 kov registerServiceAgent", "0 return 1",
                                 "0 event 768 method=0", "0 kov findPeerAgent agent=1",
                                 "0 kov createServiceConnection agent=1", "0 event 2 method=1",
                                 "0 kov sendData handle=1 hello"}));
}

TEST_F(RunnerTest, ScenarioPathsMayNameTheFileDirectory)
{
    play({"init", "kov send_file 4 $EXTRA/map.jpg", "kov send_file 5 /tmp/$EXTRA/x"});
    const Lines seen = happened();
    EXPECT_EQ(seen[seen.size() - 3], "0 kov receiveFile /files/extra/map.jpg");
    EXPECT_EQ(seen.back(), "0 kov receiveFile /tmp/$EXTRA/x");
}

TEST_F(RunnerTest, DeliveryNobodyListensToIsOnlyNoted)
{
    play({"kov data x", "bap data y", "kov term_ind 0"});
    EXPECT_EQ(happened(), (Lines{"0 > kov data x", "0 note nobody registered on_data_ind; nothing delivered",
                                 "0 > bap data y", "0 note nobody registered a data received callback; nothing delivered",
                                 "0 > kov term_ind 0", "0 note nobody registered on_svc_term_ind; nothing delivered"}));
}

} // namespace
