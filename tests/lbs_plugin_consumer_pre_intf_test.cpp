// The front end against recording doubles of the two links: which link
// starts, with which callback, when the watch-manager key changes.
#include "lbs_plugin_consumer_pre_intf.h"

#include "log_capture.h"

#include <gtest/gtest.h>
#include <vconf_control.h>

#include <string>
#include <vector>

namespace {

struct LinkCall {
    std::string what; // "kov init", "bap deinit", ...
    lbs_consumer_event_cb cb = nullptr;
    void *user_data = nullptr;
    int arg_value = -1; // what the stop argument pointed at, -1 for NULL
};

std::vector<LinkCall> g_calls;
int g_kov_init_result = 1;
int g_bap_init_result = 1;
int g_kov_request_result = 1;
int g_bap_request_result = 1;

int record_stop(const char *what, void *arg)
{
    g_calls.push_back({what, nullptr, nullptr, arg != nullptr ? *static_cast<int *>(arg) : -1});
    return 1;
}

} // namespace

// Doubles of the links' entry points.
int lbs_consumer_plugin_init(lbs_consumer_event_cb cb, void *user_data)
{
    g_calls.push_back({"kov init", cb, user_data});
    return g_kov_init_result;
}
int lbs_consumer_plugin_deinit(void *arg) { return record_stop("kov deinit", arg); }
void *g_request_data = nullptr; // the record the last forwarded request carried

int lbs_consumer_plugin_request(int action, void *data)
{
    g_request_data = data;
    g_calls.push_back({"kov request " + std::to_string(action)});
    return g_kov_request_result;
}
int lbs_consumer_plugin_bap_init(lbs_consumer_event_cb cb, void *user_data)
{
    g_calls.push_back({"bap init", cb, user_data});
    return g_bap_init_result;
}
int lbs_consumer_plugin_bap_deinit(void *arg) { return record_stop("bap deinit", arg); }
int lbs_consumer_plugin_bap_request(int action, void *data)
{
    g_request_data = data;
    g_calls.push_back({"bap request " + std::to_string(action)});
    return g_bap_request_result;
}

namespace {

int host_cb(lbs_consumer_event_s *, void *) { return 0; }
int g_host_data;

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        vconf_ctl_reset();
        dlog_ctl_clear();
        g_calls.clear();
        g_kov_init_result = g_bap_init_result = 1;
    }
    void TearDown() override
    {
        lbs_consumer_plugin_pre_deinit(nullptr);
        vconf_ctl_reset();
    }

    // Vocabulary of the tests.
    void phone(bool wms, int ios)
    {
        vconf_ctl_set_bool(WMS_CONNECTED_KEY, wms);
        vconf_ctl_set_int(IOS_CONNECTED_KEY, ios);
        vconf_ctl_flush();
    }
    int init() { return lbs_consumer_plugin_pre_init(host_cb, &g_host_data); }
    // Starts with the given link active and forgets the calls that took.
    void start_on(int status)
    {
        phone(status != CONSUMER_STATUS_NONE, status == CONSUMER_STATUS_BAP);
        ASSERT_EQ(init(), 1);
        ASSERT_EQ(lbs_consumer_plugin_pre_get_status(), status);
        g_calls.clear();
        dlog_ctl_clear();
    }
    void wms_turns(bool connected, int ios)
    {
        vconf_ctl_set_int(IOS_CONNECTED_KEY, ios);
        vconf_ctl_set_bool(WMS_CONNECTED_KEY, connected);
        vconf_ctl_flush();
    }
    std::vector<std::string> calls() const
    {
        std::vector<std::string> out;
        for (const LinkCall &c : g_calls)
            out.push_back(c.what);
        return out;
    }
};

using Calls = std::vector<std::string>;

TEST_F(FrontEnd, TableIsOneConstantWithTheThreeOperations)
{
    const lbs_consumer_plugin_interface_s *a = get_lbs_consumer_plugin_interface();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, get_lbs_consumer_plugin_interface());
    EXPECT_EQ(a->init, &lbs_consumer_plugin_pre_init);
    EXPECT_EQ(a->deinit, &lbs_consumer_plugin_pre_deinit);
    EXPECT_EQ(a->request, &lbs_consumer_plugin_pre_request);
}

TEST_F(FrontEnd, InitChoosesTheLinkFromBothKeys)
{
    struct Row {
        bool wms;
        int ios;
        int status;
        Calls calls;
    } rows[] = {
        {false, 0, CONSUMER_STATUS_NONE, {}},
        {false, 1, CONSUMER_STATUS_NONE, {}},
        {true, 0, CONSUMER_STATUS_KOV, {"kov init"}},
        {true, 1, CONSUMER_STATUS_BAP, {"bap init"}},
        {true, -7, CONSUMER_STATUS_BAP, {"bap init"}},
    };
    for (const Row &r : rows) {
        SetUp();
        phone(r.wms, r.ios);
        EXPECT_EQ(init(), 1);
        EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), r.status) << "wms " << r.wms << " ios " << r.ios;
        EXPECT_EQ(calls(), r.calls);
        if (!g_calls.empty()) {
            EXPECT_EQ(g_calls[0].cb, &host_cb);
            EXPECT_EQ(g_calls[0].user_data, &g_host_data);
        }
        EXPECT_EQ(vconf_ctl_watcher_count(WMS_CONNECTED_KEY), 1u);
        EXPECT_TRUE(logged(DLOG_INFO, "init status [" + std::to_string(r.status) + "]"));
        TearDown();
    }
}

TEST_F(FrontEnd, InitReturnsWhatTheChosenLinkStartReturns)
{
    g_kov_init_result = 0;
    phone(true, 0);
    EXPECT_EQ(init(), 0);
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_KOV);

    TearDown();
    SetUp();
    g_bap_init_result = 0;
    phone(true, 1);
    EXPECT_EQ(init(), 0);
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_BAP);
}

TEST_F(FrontEnd, UnreadableWatchManagerKeyMeansDisconnectedButIsStillWatched)
{
    vconf_ctl_set_int(IOS_CONNECTED_KEY, 0);
    EXPECT_EQ(init(), 1);
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_NONE);
    EXPECT_TRUE(logged(DLOG_ERROR, "vconf_get_bool(memory/wms/wmanager_connected) failed!!!"));
    EXPECT_EQ(vconf_ctl_watcher_count(WMS_CONNECTED_KEY), 1u);

    wms_turns(true, 0);
    EXPECT_EQ(calls(), Calls{"kov init"});
    EXPECT_EQ(g_calls[0].cb, &host_cb);
}

TEST_F(FrontEnd, UnreadableIosKeyChoosesTheFirstLink)
{
    vconf_ctl_set_bool(WMS_CONNECTED_KEY, 1);
    EXPECT_EQ(init(), 1);
    EXPECT_EQ(calls(), Calls{"kov init"});
    bool named = false;
    for (const LogLine &l : captured_logs())
        named |= l.prio == DLOG_ERROR && l.message.find(IOS_CONNECTED_KEY) != std::string::npos;
    EXPECT_TRUE(named);
}

TEST_F(FrontEnd, KeyWatchThatCannotBeRegisteredFailsInitButKeepsTheLink)
{
    phone(true, 1);
    vconf_ctl_fail_notify(1);
    EXPECT_EQ(init(), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "vconf_notify_key_changed() Fail(memory/wms/wmanager_connected)"));
    EXPECT_EQ(calls(), Calls{"bap init"});
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_BAP);
    EXPECT_EQ(lbs_consumer_plugin_pre_request(CONSUMER_ACTION_GET_REF_TIME, nullptr), g_bap_request_result);
}

TEST_F(FrontEnd, KeyChangesFollowTheSwitchTable)
{
    struct Row {
        int from;
        bool turns_to;
        int ios;
        Calls calls;
        int to;
    } rows[] = {
        {CONSUMER_STATUS_NONE, true, 1, {"bap init"}, CONSUMER_STATUS_BAP},
        {CONSUMER_STATUS_NONE, true, 0, {"kov init"}, CONSUMER_STATUS_KOV},
        {CONSUMER_STATUS_KOV, true, 1, {"kov deinit", "bap init"}, CONSUMER_STATUS_BAP},
        {CONSUMER_STATUS_BAP, true, 0, {"bap deinit", "kov init"}, CONSUMER_STATUS_KOV},
        {CONSUMER_STATUS_KOV, true, 0, {}, CONSUMER_STATUS_KOV},
        {CONSUMER_STATUS_BAP, true, 1, {}, CONSUMER_STATUS_BAP},
        {CONSUMER_STATUS_KOV, false, 0, {"kov deinit"}, CONSUMER_STATUS_NONE},
        {CONSUMER_STATUS_BAP, false, 1, {"bap deinit"}, CONSUMER_STATUS_NONE},
        {CONSUMER_STATUS_NONE, false, 0, {}, CONSUMER_STATUS_NONE},
    };
    for (const Row &r : rows) {
        SetUp();
        start_on(r.from);
        wms_turns(r.turns_to, r.ios);
        SCOPED_TRACE("from " + std::to_string(r.from) + " turns " + std::to_string(r.turns_to) + " ios " +
                     std::to_string(r.ios));
        EXPECT_EQ(calls(), r.calls);
        EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), r.to);
        EXPECT_TRUE(logged(DLOG_INFO, "current consumer status [" + std::to_string(r.from) + "]"));
        EXPECT_TRUE(logged(DLOG_INFO, r.turns_to ? "WMS connected, start init function"
                                                 : "WMS disconnected, start deinit function"));
        for (const LinkCall &c : g_calls) {
            if (c.what.ends_with("init") && !c.what.ends_with("deinit")) {
                EXPECT_EQ(c.cb, &host_cb);
                EXPECT_EQ(c.user_data, &g_host_data);
            } else {
                EXPECT_EQ(c.arg_value, 0) << "stop operations get a pointer to 0";
            }
        }
        TearDown();
    }
}

TEST_F(FrontEnd, IosKeyAloneSwitchesNothingUntilTheWatchManagerKeyTurnsTrue)
{
    start_on(CONSUMER_STATUS_KOV);
    vconf_ctl_set_int(IOS_CONNECTED_KEY, 1);
    vconf_ctl_flush();
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(lbs_consumer_plugin_pre_request(CONSUMER_ACTION_GET_REF_TIME, nullptr), g_kov_request_result);

    wms_turns(true, 1);
    EXPECT_EQ(calls(), (Calls{"kov request 8", "kov deinit", "bap init"}));
}

TEST_F(FrontEnd, ReconnectionRestartsTheLinkWithTheStoredCallback)
{
    start_on(CONSUMER_STATUS_KOV);
    wms_turns(false, 0);
    wms_turns(true, 0);
    EXPECT_EQ(calls(), (Calls{"kov deinit", "kov init"}));
    EXPECT_EQ(g_calls[1].cb, &host_cb);
    EXPECT_EQ(g_calls[1].user_data, &g_host_data);
}

TEST_F(FrontEnd, FailedStartDuringASwitchIsLoggedAndTheNewLinkStaysChosen)
{
    start_on(CONSUMER_STATUS_KOV);
    g_bap_init_result = 0;
    wms_turns(true, 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "lbs_consumer_plugin_bap_init() Fail"));
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_BAP);

    g_kov_init_result = 0;
    wms_turns(true, 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "lbs_consumer_plugin_init() Fail"));
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_KOV);
    g_calls.clear();
    lbs_consumer_plugin_pre_request(CONSUMER_ACTION_START_SESSION, nullptr);
    EXPECT_EQ(calls(), Calls{"kov request 1"});
}

TEST_F(FrontEnd, RequestsGoToTheActiveLinkAndReturnItsResult)
{
    start_on(CONSUMER_STATUS_BAP);
    g_bap_request_result = -51;
    EXPECT_EQ(lbs_consumer_plugin_pre_request(CONSUMER_ACTION_HERE_MAP_IMAGE, nullptr), -51);
    EXPECT_EQ(lbs_consumer_plugin_pre_request(12345, nullptr), -51);
    EXPECT_EQ(calls(), (Calls{"bap request 929", "bap request 12345"}));
    g_bap_request_result = 1;

    // The host's record reaches the link as it is.
    tracking_req_info start = {CONSUMER_METHOD_GPS, 1, 0};
    lbs_consumer_plugin_pre_request(CONSUMER_ACTION_START_SESSION, &start);
    EXPECT_EQ(g_request_data, &start);
    wms_turns(false, 0);
    wms_turns(true, 0);
    lbs_consumer_plugin_pre_request(CONSUMER_ACTION_START_SESSION, &start);
    EXPECT_EQ(calls().back(), "kov request 1");
    EXPECT_EQ(g_request_data, &start);
}

TEST_F(FrontEnd, RequestWithNoLinkReturnsZeroQuietly)
{
    start_on(CONSUMER_STATUS_NONE);
    tracking_req_info start = {CONSUMER_METHOD_GPS, 1, 0};
    EXPECT_EQ(lbs_consumer_plugin_pre_request(CONSUMER_ACTION_START_SESSION, &start), 0);
    EXPECT_EQ(lbs_consumer_plugin_pre_request(CONSUMER_ACTION_START_SESSION, nullptr), 0);
    EXPECT_EQ(lbs_consumer_plugin_pre_request(-1, nullptr), 0);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(FrontEnd, DeinitStopsTheLinkForgetsTheCallbackAndStopsWatching)
{
    start_on(CONSUMER_STATUS_BAP);
    int arg = 42;
    EXPECT_EQ(lbs_consumer_plugin_pre_deinit(&arg), 1);
    ASSERT_EQ(calls(), Calls{"bap deinit"});
    EXPECT_EQ(g_calls[0].arg_value, 42) << "deinit's argument is passed through";
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_NONE);
    EXPECT_EQ(vconf_ctl_watcher_count(WMS_CONNECTED_KEY), 0u);
    EXPECT_EQ(lbs_consumer_plugin_pre_request(CONSUMER_ACTION_GET_REF_TIME, nullptr), 0);

    g_calls.clear();
    wms_turns(false, 1);
    wms_turns(true, 1);
    EXPECT_TRUE(calls().empty()) << "no longer watching the key";

    // A later init without a connection must not hand out the old callback.
    vconf_ctl_set_bool(WMS_CONNECTED_KEY, 0);
    ASSERT_EQ(lbs_consumer_plugin_pre_init(nullptr, nullptr), 1);
    wms_turns(true, 1);
    ASSERT_EQ(calls(), Calls{"bap init"});
    EXPECT_EQ(g_calls[0].cb, nullptr);
    EXPECT_EQ(g_calls[0].user_data, nullptr);
}

TEST_F(FrontEnd, DeinitCarriesOnWhenTheWatchCannotBeRemoved)
{
    start_on(CONSUMER_STATUS_KOV);
    vconf_ctl_fail_ignore(1);
    EXPECT_EQ(lbs_consumer_plugin_pre_deinit(nullptr), 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "vconf_ignore_key_changed() Fail(memory/wms/wmanager_connected)"));
    EXPECT_EQ(calls(), Calls{"kov deinit"});
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_NONE);
}

} // namespace
