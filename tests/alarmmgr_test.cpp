// The alarm manager stand-in's virtual clock: order of firing, repetition,
// removal at any moment, failure injection, and the main-loop turns between
// alarms.
#include <alarmmgr.h>
#include <alarmmgr_control.h>

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Fired {
    alarm_id_t id;
    int64_t at;
    std::string tag;
    bool operator==(const Fired &) const = default;
};

std::vector<Fired> g_fired;
std::vector<std::string> g_order; // fired alarms and idle callbacks, as they ran

// User data of an alarm: a tag, and what its callback does besides recording.
struct Action {
    std::string tag;
    alarm_id_t remove = 0;       // alarm to remove (its own id allowed)
    int remove_result = 1;       // what that removal returned
    int64_t add_delay = -1;      // add a one-shot alarm this far ahead
    bool add_idle = false;       // queue an idle callback
    bool nested_advance = false; // try to move the clock from inside
    unsigned nested_fired = 99;
};

std::vector<alarm_id_t> g_added_by_callbacks;

gboolean idle_cb(gpointer data)
{
    g_order.push_back("idle after " + *static_cast<std::string *>(data));
    return G_SOURCE_REMOVE;
}

int record_cb(alarm_id_t id, void *user_param)
{
    auto *a = static_cast<Action *>(user_param);
    g_fired.push_back({id, alarmmgr_ctl_now(), a->tag});
    g_order.push_back(a->tag);
    if (a->remove != 0)
        a->remove_result = alarmmgr_remove_alarm(a->remove);
    if (a->add_delay >= 0) {
        alarm_id_t added = 0;
        if (alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, a->add_delay, 0, record_cb, a, &added) == 0)
            g_added_by_callbacks.push_back(added);
        a->add_delay = -1;
    }
    if (a->add_idle)
        g_idle_add(idle_cb, &a->tag);
    if (a->nested_advance)
        a->nested_fired = alarmmgr_ctl_advance(100);
    return 0;
}

std::vector<alarmmgr_ctl_traffic> g_traffic;

void observe(const alarmmgr_ctl_traffic *t, void *)
{
    g_traffic.push_back(*t);
}

class AlarmClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        alarmmgr_ctl_reset();
        alarmmgr_ctl_set_observer(observe, nullptr);
        g_fired.clear();
        g_order.clear();
        g_traffic.clear();
        g_added_by_callbacks.clear();
    }
    void TearDown() override
    {
        alarmmgr_ctl_set_observer(nullptr, nullptr);
        alarmmgr_ctl_reset();
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    alarm_id_t add(Action &a, int64_t delay, int64_t interval = 0)
    {
        alarm_id_t id = -1;
        EXPECT_EQ(alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, delay, interval, record_cb, &a, &id), 0);
        return id;
    }
};

TEST_F(AlarmClock, IdsStartAtOneAndAreNeverHandedOutTwice)
{
    Action a{"a"};
    EXPECT_EQ(add(a, 5), 1);
    EXPECT_EQ(alarmmgr_remove_alarm(1), 0);
    EXPECT_EQ(add(a, 5), 2);
    alarmmgr_ctl_reset();
    EXPECT_EQ(add(a, 5), 1);
}

TEST_F(AlarmClock, FiresByDueTimeThenByIdWithTheClockAtEachDueTime)
{
    Action a{"a"}, b{"b"}, c{"c"}, d{"d"};
    add(a, 5);
    add(b, 3);
    add(c, 5);
    add(d, 3);

    EXPECT_EQ(alarmmgr_ctl_advance(10), 4u);
    EXPECT_EQ(g_fired, (std::vector<Fired>{{2, 3, "b"}, {4, 3, "d"}, {1, 5, "a"}, {3, 5, "c"}}));
    EXPECT_EQ(alarmmgr_ctl_now(), 10);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
}

TEST_F(AlarmClock, AdvanceFiresWhatFallsDueUpToAndIncludingTheNewTime)
{
    Action a{"a"}, now{"now"};
    add(a, 10);
    EXPECT_EQ(alarmmgr_ctl_advance(9), 0u);
    EXPECT_EQ(alarmmgr_ctl_now(), 9);
    EXPECT_TRUE(g_fired.empty());
    EXPECT_EQ(alarmmgr_ctl_advance(1), 1u);
    EXPECT_EQ(g_fired, (std::vector<Fired>{{1, 10, "a"}}));

    // An alarm due at once fires on the next advance, even one of 0 seconds.
    add(now, 0);
    EXPECT_EQ(alarmmgr_ctl_advance(0), 1u);
    EXPECT_EQ(g_fired.back(), (Fired{2, 10, "now"}));
    EXPECT_EQ(alarmmgr_ctl_now(), 10);

    EXPECT_EQ(alarmmgr_ctl_advance(-5), 0u);
    EXPECT_EQ(alarmmgr_ctl_now(), 10);
}

TEST_F(AlarmClock, RepeatingAlarmIsDueOneIntervalAfterEachFiring)
{
    Action keep_alive{"keep-alive"}, offset{"offset"};
    add(keep_alive, 150, 150);
    add(offset, 5, 10);

    alarmmgr_ctl_advance(449);
    std::vector<Fired> ka;
    for (const Fired &f : g_fired)
        if (f.tag == "keep-alive")
            ka.push_back(f);
    EXPECT_EQ(ka, (std::vector<Fired>{{1, 150, "keep-alive"}, {1, 300, "keep-alive"}}));
    EXPECT_EQ(g_fired.front(), (Fired{2, 5, "offset"}));
    EXPECT_EQ(g_fired[1], (Fired{2, 15, "offset"}));

    int64_t due = 0, interval = 0;
    ASSERT_EQ(alarmmgr_ctl_get(1, &due, &interval), 1);
    EXPECT_EQ(due, 450);
    EXPECT_EQ(interval, 150);

    g_fired.clear();
    alarmmgr_ctl_advance(1);
    EXPECT_EQ(g_fired, (std::vector<Fired>{{1, 450, "keep-alive"}}));
}

TEST_F(AlarmClock, OneShotRemovingItselfFromItsCallbackSucceedsOnce)
{
    Action timer{"timer"};
    timer.remove = add(timer, 10);
    alarmmgr_ctl_advance(10);
    EXPECT_EQ(timer.remove_result, ALARMMGR_RESULT_SUCCESS);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(alarmmgr_remove_alarm(timer.remove), ERR_ALARM_INVALID_ID);
}

TEST_F(AlarmClock, RepeatingAlarmRemovedFromItsOwnCallbackDoesNotComeBack)
{
    Action a{"a"};
    a.remove = add(a, 2, 2);
    alarmmgr_ctl_advance(20);
    EXPECT_EQ(g_fired.size(), 1u);
    EXPECT_EQ(a.remove_result, 0);
}

TEST_F(AlarmClock, AlarmRemovedByAnotherDueAtTheSameInstantDoesNotFire)
{
    Action first{"first"}, second{"second"};
    add(first, 5);
    first.remove = add(second, 5);
    alarmmgr_ctl_advance(5);
    EXPECT_EQ(g_fired, (std::vector<Fired>{{1, 5, "first"}}));
    EXPECT_EQ(first.remove_result, 0);
}

TEST_F(AlarmClock, RemovalOfAnUnknownIdIsRefusedAndReported)
{
    EXPECT_EQ(alarmmgr_remove_alarm(42), ERR_ALARM_INVALID_ID);
    ASSERT_EQ(g_traffic.size(), 1u);
    EXPECT_EQ(g_traffic[0].what, ALARMMGR_CTL_REMOVE);
    EXPECT_EQ(g_traffic[0].id, 42);
    EXPECT_EQ(g_traffic[0].result, ERR_ALARM_INVALID_ID);
}

TEST_F(AlarmClock, AlarmArmedByACallbackFiresInTheSameAdvanceWhenItFallsDue)
{
    Action chain{"chain"}, late{"late"};
    chain.add_delay = 3;
    add(chain, 2);
    late.add_delay = 20;
    add(late, 4);

    alarmmgr_ctl_advance(10);
    EXPECT_EQ(g_fired, (std::vector<Fired>{{1, 2, "chain"}, {2, 4, "late"}, {3, 5, "chain"}}));
    ASSERT_EQ(g_added_by_callbacks.size(), 2u);
    int64_t due = 0;
    ASSERT_EQ(alarmmgr_ctl_get(g_added_by_callbacks[1], &due, nullptr), 1);
    EXPECT_EQ(due, 24);
    EXPECT_EQ(alarmmgr_ctl_next_due(), 24);
}

TEST_F(AlarmClock, WorkQueuedByACallbackRunsBeforeTheNextAlarm)
{
    Action a{"a"}, b{"b"};
    a.add_idle = true;
    add(a, 1);
    add(b, 1);
    alarmmgr_ctl_advance(1);
    EXPECT_EQ(g_order, (std::vector<std::string>{"a", "idle after a", "b"}));
}

TEST_F(AlarmClock, FireNextMovesTheClockOnlyToTheAlarmItFires)
{
    Action a{"a"};
    add(a, 7);
    EXPECT_EQ(alarmmgr_ctl_fire_next(6), 0);
    EXPECT_EQ(alarmmgr_ctl_now(), 0);
    EXPECT_EQ(alarmmgr_ctl_fire_next(100), 1);
    EXPECT_EQ(alarmmgr_ctl_now(), 7);
    EXPECT_EQ(alarmmgr_ctl_next_due(), -1);
}

TEST_F(AlarmClock, CallbackCannotMoveTheClockItself)
{
    Action a{"a"}, b{"b"};
    a.nested_advance = true;
    add(a, 1);
    add(b, 50);
    alarmmgr_ctl_advance(10);
    EXPECT_EQ(a.nested_fired, 0u);
    EXPECT_EQ(g_fired, (std::vector<Fired>{{1, 1, "a"}}));
    EXPECT_EQ(alarmmgr_ctl_now(), 10);
}

TEST_F(AlarmClock, FailureSwitchRefusesAddsWithoutUsingUpIds)
{
    Action a{"a"};
    alarmmgr_ctl_fail_add(1);
    alarm_id_t id = -1;
    EXPECT_EQ(alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, 10, 0, record_cb, &a, &id), ERR_ALARM_SYSTEM_FAIL);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    ASSERT_EQ(g_traffic.size(), 1u);
    EXPECT_EQ(g_traffic[0].what, ALARMMGR_CTL_ADD_FAILED);
    EXPECT_EQ(g_traffic[0].result, ERR_ALARM_SYSTEM_FAIL);

    alarmmgr_ctl_fail_add(0);
    EXPECT_EQ(add(a, 10), 1);
}

TEST_F(AlarmClock, BadArgumentsAreRefused)
{
    Action a{"a"};
    alarm_id_t id = -1;
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, 1, 0, nullptr, &a, &id), ERR_ALARM_INVALID_PARAM);
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, 1, 0, record_cb, &a, nullptr), ERR_ALARM_INVALID_PARAM);
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, -1, 0, record_cb, &a, &id), ERR_ALARM_INVALID_PARAM);
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, 1, -1, record_cb, &a, &id), ERR_ALARM_INVALID_PARAM);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(add(a, 1), 1);
}

TEST_F(AlarmClock, ObserverSeesAddFireAndRemoveAsTheyHappen)
{
    Action a{"a"}, b{"b"};
    add(a, 2, 3);
    add(b, 100);
    a.remove = 2;
    alarmmgr_ctl_advance(2);
    ASSERT_EQ(g_traffic.size(), 4u);
    EXPECT_EQ(g_traffic[0].what, ALARMMGR_CTL_ADD);
    EXPECT_EQ(g_traffic[0].id, 1);
    EXPECT_EQ(g_traffic[0].delay, 2);
    EXPECT_EQ(g_traffic[0].interval, 3);
    EXPECT_EQ(g_traffic[1].what, ALARMMGR_CTL_ADD);
    EXPECT_EQ(g_traffic[2].what, ALARMMGR_CTL_FIRE);
    EXPECT_EQ(g_traffic[2].id, 1);
    EXPECT_EQ(g_traffic[3].what, ALARMMGR_CTL_REMOVE);
    EXPECT_EQ(g_traffic[3].id, 2);
    EXPECT_EQ(g_traffic[3].result, 0);
}

} // namespace
