#include "lbs_sim_phone_later.h"

#include <alarmmgr_control.h>

#include <glib.h>

namespace lbs_sim {

Later::~Later()
{
    cancel_all();
}

void Later::cancel_all()
{
    for (Job &j : jobs_) {
        if (j.source != 0)
            g_source_remove(j.source);
        if (j.timer != 0)
            alarmmgr_ctl_timer_remove(j.timer);
    }
    jobs_.clear();
}

void Later::run(Job *job)
{
    Later *self = job->owner;
    std::function<void()> fn = std::move(job->fn);
    for (auto it = self->jobs_.begin(); it != self->jobs_.end(); ++it)
        if (&*it == job) {
            self->jobs_.erase(it);
            break;
        }
    fn();
}

void Later::post(std::function<void()> fn, int64_t delay)
{
    jobs_.push_back(Job{this, std::move(fn)});
    Job *job = &jobs_.back();
    if (delay > 0) {
        job->timer = alarmmgr_ctl_timer_add(delay, [](void *j) { run(static_cast<Job *>(j)); }, job);
        return;
    }
    job->source = g_idle_add(
        [](gpointer j) -> gboolean {
            run(static_cast<Job *>(j));
            return G_SOURCE_REMOVE;
        },
        job);
}

} // namespace lbs_sim
