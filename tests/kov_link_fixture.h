// Test helper: the first link started on a fresh set of stand-ins, with the
// accessory link up and the service agent registered under agent id 7, and
// its stop.
#ifndef TESTS_KOV_LINK_FIXTURE_H
#define TESTS_KOV_LINK_FIXTURE_H

#include "kov/lbs_plugin_consumer_kov_intf_internal.h"
#include "kov/lbs_plugin_consumer_main.h"

#include <alarmmgr_control.h>
#include <dlog_control.h>
#include <glib.h>
#include <kov_client_control.h>
#include <storage_control.h>
#include <vconf_control.h>

inline constexpr unsigned kRegisteredAgent = 7;

// Returns what the link's start returned (1).
inline int start_registered_first_link(lbs_consumer_event_cb cb, void *user_data)
{
    kov_ctl_reset();
    alarmmgr_ctl_reset();
    vconf_ctl_reset();
    storage_ctl_reset();
    kov_ctl_set_connected(1);
    // The record outlives the link, and with it whether a service connection
    // exists; a connection of an earlier test is gone.
    if (g_lbs_consumer != nullptr)
        g_lbs_consumer->real_service_connection_status = 0;
    const int started = lbs_consumer_plugin_init(cb, user_data);
    kov_ctl_on_regi_svc_agent_cfrm(KOV_RESULT_SUCCESS, kRegisteredAgent);
    dlog_ctl_clear();
    return started;
}

inline void stop_first_link()
{
    lbs_consumer_plugin_deinit(nullptr);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    kov_ctl_reset();
    alarmmgr_ctl_reset();
}

#endif // TESTS_KOV_LINK_FIXTURE_H
