// The front end against recording doubles of the two links, for what the
// frontend_* scenarios cannot make happen: a first link whose start fails, a
// key watch that cannot be set or removed, and a callback other than the
// one the simulator hands in.
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
};

std::vector<LinkCall> g_calls;
int g_kov_init_result = 1;
int g_bap_init_result = 1;

} // namespace

// Doubles of the links' entry points.
int lbs_consumer_plugin_init(lbs_consumer_event_cb cb, void *user_data)
{
    g_calls.push_back({"kov init", cb, user_data});
    return g_kov_init_result;
}
int lbs_consumer_plugin_deinit(void *)
{
    g_calls.push_back({"kov deinit"});
    return 1;
}
int lbs_consumer_plugin_request(int action, void *)
{
    g_calls.push_back({"kov request " + std::to_string(action)});
    return 1;
}
int lbs_consumer_plugin_bap_init(lbs_consumer_event_cb cb, void *user_data)
{
    g_calls.push_back({"bap init", cb, user_data});
    return g_bap_init_result;
}
int lbs_consumer_plugin_bap_deinit(void *)
{
    g_calls.push_back({"bap deinit"});
    return 1;
}
int lbs_consumer_plugin_bap_request(int action, void *)
{
    g_calls.push_back({"bap request " + std::to_string(action)});
    return 1;
}

namespace {

int host_cb(lbs_consumer_event_s *, void *) { return 0; }
int g_host_data;

using Calls = std::vector<std::string>;

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

    static void wms_turns(bool connected, int ios)
    {
        vconf_ctl_set_int(IOS_CONNECTED_KEY, ios);
        vconf_ctl_set_bool(WMS_CONNECTED_KEY, connected);
        vconf_ctl_flush();
    }
    static int init() { return lbs_consumer_plugin_pre_init(host_cb, &g_host_data); }
    static Calls calls()
    {
        Calls out;
        for (const LinkCall &c : g_calls)
            out.push_back(c.what);
        return out;
    }
};

TEST_F(FrontEnd, InitReturnsWhatTheFirstLinksStartReturns)
{
    g_kov_init_result = 0;
    wms_turns(true, 0);
    EXPECT_EQ(init(), 0);
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_KOV);
    ASSERT_EQ(calls(), Calls{"kov init"});
    EXPECT_EQ(g_calls[0].cb, &host_cb);
    EXPECT_EQ(g_calls[0].user_data, &g_host_data);
}

TEST_F(FrontEnd, KeyWatchThatCannotBeRegisteredFailsInitButKeepsTheLink)
{
    wms_turns(true, 1);
    vconf_ctl_fail_notify(1);
    EXPECT_EQ(init(), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "vconf_notify_key_changed() Fail(memory/wms/wmanager_connected)"));
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_BAP);
    lbs_consumer_plugin_pre_request(CONSUMER_ACTION_GET_REF_TIME, nullptr);
    EXPECT_EQ(calls(), (Calls{"bap init", "bap request 8"}));
}

// The first link's start never fails in the plugin, so no scenario shows a
// failed switch to it.
TEST_F(FrontEnd, FailedStartOfTheFirstLinkDuringASwitchIsLoggedAndItStaysChosen)
{
    wms_turns(true, 1);
    ASSERT_EQ(init(), 1);
    g_kov_init_result = 0;
    wms_turns(true, 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "lbs_consumer_plugin_init() Fail"));
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_KOV);
    lbs_consumer_plugin_pre_request(CONSUMER_ACTION_START_SESSION, nullptr);
    EXPECT_EQ(calls(), (Calls{"bap init", "bap deinit", "kov init", "kov request 1"}));
}

// The simulator always hands in the same callback; after a deinit the old
// one must not reach a link started by a later switch.
TEST_F(FrontEnd, AfterDeinitASwitchHandsOnTheCallbackOfTheLatestInit)
{
    wms_turns(true, 0);
    ASSERT_EQ(init(), 1);
    lbs_consumer_plugin_pre_deinit(nullptr);
    g_calls.clear();
    vconf_ctl_set_bool(WMS_CONNECTED_KEY, 0);
    ASSERT_EQ(lbs_consumer_plugin_pre_init(nullptr, nullptr), 1);
    wms_turns(true, 1);
    ASSERT_EQ(calls(), Calls{"bap init"});
    EXPECT_EQ(g_calls[0].cb, nullptr);
    EXPECT_EQ(g_calls[0].user_data, nullptr);
}

// frontend_deinit only sees the removal fail when no link is active.
TEST_F(FrontEnd, DeinitStopsTheActiveLinkWhenTheWatchCannotBeRemoved)
{
    wms_turns(true, 0);
    ASSERT_EQ(init(), 1);
    vconf_ctl_fail_ignore(1);
    EXPECT_EQ(lbs_consumer_plugin_pre_deinit(nullptr), 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "vconf_ignore_key_changed() Fail(memory/wms/wmanager_connected)"));
    EXPECT_EQ(calls(), (Calls{"kov init", "kov deinit"}));
    EXPECT_EQ(lbs_consumer_plugin_pre_get_status(), CONSUMER_STATUS_NONE);
}

} // namespace
