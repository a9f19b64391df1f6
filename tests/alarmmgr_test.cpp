// The alarm manager stand-in's virtual clock: order of firing, repetition,
// removal at any moment, failure injection, and the main-loop turns between
// alarms.
#include <alarmmgr.h>
#include <alarmmgr_control.h>

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Log = std::vector<std::string>;
Log g_log;     // "tag@time" per firing and "idle tag" per idle callback, as they ran
Log g_traffic; // what the observer was told

// User data of an alarm: a tag, and what its callback does besides logging.
struct Action {
    std::string tag;
    alarm_id_t remove = 0;       // alarm to remove (its own id allowed)
    int64_t add_delay = -1;      // arm a one-shot alarm this far ahead, once
    bool add_idle = false;       // queue an idle callback
    bool nested_advance = false; // try to move the clock from inside
};

int alarm_cb(alarm_id_t, void *user_param)
{
    auto *a = static_cast<Action *>(user_param);
    g_log.push_back(a->tag + "@" + std::to_string(alarmmgr_ctl_now()));
    if (a->remove != 0)
        alarmmgr_remove_alarm(a->remove);
    if (a->add_delay >= 0) {
        alarm_id_t added = 0;
        alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, std::exchange(a->add_delay, -1), 0, alarm_cb, a, &added);
    }
    const GSourceFunc idle = [](gpointer tag) -> gboolean {
        g_log.push_back("idle " + *static_cast<std::string *>(tag));
        return G_SOURCE_REMOVE;
    };
    if (a->add_idle)
        g_idle_add(idle, &a->tag);
    if (a->nested_advance)
        alarmmgr_ctl_advance(100);
    return 0;
}

// "what id delay/interval result"
void observe(const alarmmgr_ctl_traffic *t, void *)
{
    static const char *const kWhat[] = {"add", "failed", "fire", "remove"};
    g_traffic.push_back(std::string(kWhat[t->what]) + " " + std::to_string(t->id) + " " + std::to_string(t->delay) +
                        "/" + std::to_string(t->interval) + " " + std::to_string(t->result));
}

class AlarmClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        alarmmgr_ctl_reset();
        alarmmgr_ctl_set_observer(observe, nullptr);
        g_log.clear();
        g_traffic.clear();
    }
    void TearDown() override
    {
        alarmmgr_ctl_set_observer(nullptr, nullptr);
        alarmmgr_ctl_reset();
    }

    static alarm_id_t add(Action &a, int64_t delay, int64_t interval = 0)
    {
        alarm_id_t id = -1;
        EXPECT_EQ(alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, delay, interval, alarm_cb, &a, &id), 0);
        return id;
    }
};

TEST_F(AlarmClock, IdsStartAtOneAndNeitherRefusalsNorRemovalsHandThemOutAgain)
{
    Action a{"a"};
    alarm_id_t id = -1;
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, 1, 0, nullptr, &a, &id), ERR_ALARM_INVALID_PARAM);
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, 1, 0, alarm_cb, &a, nullptr), ERR_ALARM_INVALID_PARAM);
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, -1, 0, alarm_cb, &a, &id), ERR_ALARM_INVALID_PARAM);
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, 1, -1, alarm_cb, &a, &id), ERR_ALARM_INVALID_PARAM);
    g_traffic.clear();
    alarmmgr_ctl_fail_add(1);
    EXPECT_EQ(alarmmgr_add_alarm_withcb(0, 10, 0, alarm_cb, &a, &id), ERR_ALARM_SYSTEM_FAIL);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    alarmmgr_ctl_fail_add(0);

    EXPECT_EQ(add(a, 5), 1);
    EXPECT_EQ(alarmmgr_remove_alarm(1), ALARMMGR_RESULT_SUCCESS);
    EXPECT_EQ(alarmmgr_remove_alarm(1), ERR_ALARM_INVALID_ID);
    EXPECT_EQ(add(a, 5, 2), 2);
    EXPECT_EQ(g_traffic,
              (Log{"failed 0 10/0 -12", "add 1 5/0 0", "remove 1 0/0 0", "remove 1 0/0 -11", "add 2 5/2 0"}));

    // A reset starts the ids afresh and clears the failure switch.
    alarmmgr_ctl_fail_add(1);
    alarmmgr_ctl_reset();
    EXPECT_EQ(add(a, 5), 1);
}

TEST_F(AlarmClock, FiresByDueTimeThenByIdWithTheClockAtEachDueTime)
{
    Action r{"r"}, b{"b"}, c{"c"}, d{"d"};
    add(r, 1, 2); // id 1, due 1, 3, 5, ...
    add(c, 5);    // id 2
    add(b, 3);    // id 3
    add(d, 3);    // id 4

    EXPECT_EQ(alarmmgr_ctl_advance(6), 6u);
    EXPECT_EQ(g_log, (Log{"r@1", "r@3", "b@3", "d@3", "r@5", "c@5"}));
    EXPECT_EQ(alarmmgr_ctl_now(), 6);
    EXPECT_EQ(alarmmgr_ctl_count(), 1u);
    EXPECT_EQ(alarmmgr_ctl_next_due(), 7);
}

TEST_F(AlarmClock, ClockMovesOnlyAsFarAsAskedFiringWhatFallsDueUpToAndIncludingThere)
{
    Action a{"a"}, now{"now"}, next{"next"};
    add(a, 10);
    EXPECT_EQ(alarmmgr_ctl_advance(9), 0u);
    EXPECT_EQ(alarmmgr_ctl_now(), 9);
    EXPECT_EQ(alarmmgr_ctl_advance(1), 1u);
    EXPECT_EQ(g_log, Log{"a@10"});
    // An alarm due at once fires on the next advance, even one of 0 seconds.
    add(now, 0);
    EXPECT_EQ(alarmmgr_ctl_advance(0), 1u);
    EXPECT_EQ(g_log.back(), "now@10");
    EXPECT_EQ(alarmmgr_ctl_advance(-5), 0u);
    EXPECT_EQ(alarmmgr_ctl_now(), 10);

    // Firing the next alarm moves the clock to it and no further.
    add(next, 7);
    EXPECT_EQ(alarmmgr_ctl_fire_next(16), 0);
    EXPECT_EQ(alarmmgr_ctl_fire_next(100), 3);
    EXPECT_EQ(alarmmgr_ctl_now(), 17);
    EXPECT_EQ(alarmmgr_ctl_next_due(), -1);
}

TEST_F(AlarmClock, RepeatingAlarmIsDueOneIntervalAfterEachFiring)
{
    Action keep_alive{"ka"}, offset{"o"};
    add(keep_alive, 150, 150);
    add(offset, 5, 100);

    alarmmgr_ctl_advance(449);
    EXPECT_EQ(g_log, (Log{"o@5", "o@105", "ka@150", "o@205", "ka@300", "o@305", "o@405"}));
    int64_t due = 0, interval = 0;
    ASSERT_EQ(alarmmgr_ctl_get(1, &due, &interval), 1);
    EXPECT_EQ(due, 450);
    EXPECT_EQ(interval, 150);

    g_log.clear();
    EXPECT_EQ(alarmmgr_ctl_advance(1), 1u);
    EXPECT_EQ(g_log, Log{"ka@450"});
}

TEST_F(AlarmClock, RemovedAlarmDoesNotFireAgainWhenRemovedByItselfOrByOneDueWithIt)
{
    Action once{"once"}, again{"again"}, first{"first"}, second{"second"};
    once.remove = add(once, 10);      // id 1
    again.remove = add(again, 2, 2);  // id 2, repeating
    add(first, 5);                    // id 3
    first.remove = add(second, 5);    // id 4, due at the same instant
    g_traffic.clear();

    alarmmgr_ctl_advance(20);
    EXPECT_EQ(g_log, (Log{"again@2", "first@5", "once@10"}));
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(alarmmgr_remove_alarm(1), ERR_ALARM_INVALID_ID);
    EXPECT_EQ(g_traffic, (Log{"fire 2 0/0 0", "remove 2 0/0 0", "fire 3 0/0 0", "remove 4 0/0 0", "fire 1 0/0 0",
                              "remove 1 0/0 0", "remove 1 0/0 -11"}));
}

TEST_F(AlarmClock, CallbacksArmAlarmsAndQueueWorkInTimeButCannotMoveTheClock)
{
    Action chain{"chain"}, late{"late"}, b{"b"};
    chain.add_delay = 3;
    chain.add_idle = true;
    chain.nested_advance = true;
    add(chain, 2);
    add(b, 2);
    late.add_delay = 20;
    add(late, 4);

    EXPECT_EQ(alarmmgr_ctl_advance(10), 4u);
    EXPECT_EQ(g_log, (Log{"chain@2", "idle chain", "b@2", "late@4", "chain@5", "idle chain"}));
    EXPECT_EQ(alarmmgr_ctl_now(), 10);
    EXPECT_EQ(alarmmgr_ctl_next_due(), 24);
}

// Timers of the control side keep their place among the alarms and leave
// no trace in the traffic.
TEST_F(AlarmClock, ControlTimersFireInOrderWithAlarmsWithoutTraffic)
{
    Action a{"alarm"};
    add(a, 5);
    const alarmmgr_ctl_timer_cb timer = [](void *tag) {
        g_log.push_back(*static_cast<std::string *>(tag) + "@" + std::to_string(alarmmgr_ctl_now()));
    };
    std::string early = "early", tie = "tie", gone = "gone";
    EXPECT_EQ(alarmmgr_ctl_timer_add(-1, timer, &early), 0u);
    EXPECT_EQ(alarmmgr_ctl_timer_add(3, timer, &early), 1u);
    EXPECT_EQ(alarmmgr_ctl_timer_add(5, timer, &tie), 2u);
    const unsigned removed = alarmmgr_ctl_timer_add(4, timer, &gone);
    g_traffic.clear();
    EXPECT_EQ(alarmmgr_ctl_timer_remove(removed), 1);
    EXPECT_EQ(alarmmgr_ctl_timer_remove(removed), 0);
    EXPECT_EQ(alarmmgr_ctl_count(), 1u);
    EXPECT_EQ(alarmmgr_ctl_timer_count(), 2u);

    // Only the alarm counts as fired; the alarm goes first at the tie.
    EXPECT_EQ(alarmmgr_ctl_advance(10), 1u);
    EXPECT_EQ(g_log, (Log{"early@3", "alarm@5", "tie@5"}));
    EXPECT_EQ(g_traffic, (Log{"fire 1 0/0 0"}));
    EXPECT_EQ(alarmmgr_ctl_timer_count(), 0u);
}

} // namespace
