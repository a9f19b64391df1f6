// The second link's responders where the scenarios cannot reach them: the
// GPS accuracy limit at values JSON cannot carry (NaN) or that are too close
// to write by hand, and every byte of the answer this link gives itself to a
// setting change. The order and number of position events are pinned by
// bap_tracking_accuracy, an answer still waiting when the link stops by
// bap_corner_stop_start_idle_answer.
#include "bap/lbs_plugin_consumer_bap_intf.h"
#include "bap/lbs_plugin_consumer_bap_main.h"
#include "lbs_plugin_consumer_common.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<lbs_consumer_event_s> g_seen; // whole records, copied during the callback
std::vector<std::string> g_paths;         // EXTRA_DATA paths, read during the callback

int record_event(lbs_consumer_event_s *ev, void *)
{
    g_seen.push_back(*ev);
    if (ev->type == CONSUMER_EVENT_EXTRA_DATA)
        g_paths.push_back(ev->file.path != nullptr ? ev->file.path : "NULL");
    return 0;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool all_zero(const consumer_position &p)
{
    static const consumer_position zero = {};
    return std::memcmp(&p, &zero, sizeof p) == 0;
}

class BapResponders : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_seen.clear();
        g_paths.clear();
        g_bap_consumer_cb = record_event;
    }
    void TearDown() override { g_bap_consumer_cb = nullptr; }

    static std::vector<int> types()
    {
        std::vector<int> t;
        for (const lbs_consumer_event_s &e : g_seen)
            t.push_back(e.type);
        return t;
    }
};

// bap_tracking_accuracy also holds 32.5 and infinity; here the limit, its
// neighbours and NaN, which JSON cannot carry.
TEST_F(BapResponders, GpsPositionsPassUpToAnAccuracyOf32AndVaguerOrUnknownOnesTimeOut)
{
    const struct {
        double h_accuracy;
        bool passes;
    } rows[] = {
        {32.0, true},
        {std::nextafter(32.0, 0.0), true},
        {0.0, true},
        {std::nextafter(32.0, kInf), false},
        {kNaN, false},
        {-kNaN, false},
    };
    const int both[2] = {1, 1};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.h_accuracy);
        g_seen.clear();
        loc_tracking_rsp_message m = {};
        m.result = 1;
        m.timestamp = 90999;
        m.latitude = 37.5;
        m.h_accuracy = row.h_accuracy;
        bap_respond_update_position(&m, both);
        ASSERT_EQ(types(), (std::vector<int>{CONSUMER_EVENT_POSITION_GPS, CONSUMER_EVENT_POSITION_WPS}));

        const lbs_consumer_event_s &gps = g_seen[0];
        EXPECT_EQ(gps.error, row.passes ? CONSUMER_ERR_NONE : CONSUMER_ERR_TIMEOUT);
        EXPECT_EQ(all_zero(gps.position.pos), !row.passes);
        // The WPS event of the same reply keeps the position in every case.
        const lbs_consumer_event_s &wps = g_seen[1];
        EXPECT_EQ(wps.error, CONSUMER_ERR_NONE);
        EXPECT_EQ(wps.position.pos.timestamp, 90u);
        EXPECT_EQ(wps.position.pos.latitude, 37.5);
        EXPECT_EQ(std::isnan(wps.position.pos.hor_accuracy), std::isnan(row.h_accuracy));
    }
}

TEST_F(BapResponders, TheLocalSettingChangeAnswerIsAllZeroAndRunsOnce)
{
    EXPECT_EQ(_bap_location_setting_change_idle_cb(nullptr), G_SOURCE_REMOVE);
    ASSERT_EQ(g_seen.size(), 1u);
    lbs_consumer_event_s expected;
    std::memset(&expected, 0, sizeof expected);
    expected.type = CONSUMER_EVENT_LOCATION_SETTING_CHANGE;
    EXPECT_EQ(std::memcmp(&g_seen[0], &expected, sizeof expected), 0);
}

TEST_F(BapResponders, TheAssistancePathIsTheHostsOwnCopyOrNone)
{
    std::string path = "/opt/x/gpsPlus.dat";
    bap_respond_extra_data(path.c_str());
    bap_respond_extra_data(nullptr);
    EXPECT_EQ(g_paths, (std::vector<std::string>{"/opt/x/gpsPlus.dat", "NULL"}));
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_NE(g_seen[0].file.path, path.c_str());
}

} // namespace
