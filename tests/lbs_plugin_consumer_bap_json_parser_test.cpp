// The one value the second link reads differently: the step cadence. Its
// classification and the callbacks it shares are tested with the first link's.
#include "bap/lbs_plugin_consumer_bap_json_parser.h"

#include "protocol_test_support.h"

namespace {

using namespace protocol_test;

class BapJsonParser : public ProtocolTest {};

TEST_F(BapJsonParser, CadenceIsAnIntegerOnThisLinkAndADoubleOnTheFirst)
{
    struct Case {
        const char *cadence;
        double second_link;
        double first_link;
    };
    const Case cases[] = {
        {"92.7", 92.0, 92.7}, {"92", 92.0, 92.0}, {"-3.5", -3.0, -3.5}, {"\"90\"", 0.0, 0.0}, {"[1]", 0.0, 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cadence);
        dlog_ctl_clear();
        const std::string text = std::string(R"({"msgId":"lbs-exercise-info-rsp","exerciseInfo":[{"stepCadence":)") +
                                 c.cadence + R"(,"speed":2.5}]})";
        auto second = parse_into<exercise_info_rsp_data>(text, bap_exercise_info_parser, bap_json_parse_message);
        auto first = parse_into<exercise_info_rsp_data>(text, exercise_info_rsp_parser);
        ASSERT_NE(second->p_exercise_info, nullptr);
        ASSERT_NE(first->p_exercise_info, nullptr);
        EXPECT_EQ(second->p_exercise_info[0],
                  (exercise_info{.speed = 2.5, .auto_pause_status = -1, .step_cadence = c.second_link}));
        EXPECT_EQ(first->p_exercise_info[0].step_cadence, c.first_link);
        EXPECT_EQ(dlog_ctl_count(), 0u);
    }
}

} // namespace
