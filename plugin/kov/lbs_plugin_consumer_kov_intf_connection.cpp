// Peer search and service connection: finds the phone's provider agent,
// opens the service connection the link's messages travel on, retries both
// steps on alarms with growing delays, rejects connections the phone offers,
// follows the loss of the connection and ends it when nobody needs it.
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"

#include <device_power.h>

namespace {

bool _is_kov_connected()
{
    return (isKovConnected() & 1) != 0;
}

bool _nobody_needs_the_link()
{
    const int pos = g_get_pos_refcnt();
    const int exercise = g_get_exercise_refcnt();
    return pos <= 0 && exercise <= 0;
}

// The release reads both counts without the getters' log lines: while the
// link is in use it stops silently.
bool _link_in_use(const lbs_plugin_consumer_s *c)
{
    return __atomic_load_n(&c->pos_refcnt, __ATOMIC_SEQ_CST) > 0 ||
           __atomic_load_n(&c->exercise_refcnt, __ATOMIC_SEQ_CST) > 0;
}

void _lock_cpu()
{
    device_power_request_lock(POWER_LOCK_CPU, LBS_POWER_LOCK_MS);
}

// Search given up: the link is reported unavailable.
void _reset_find_peer()
{
    g_lbs_consumer->find_peer_retry_count = 0;
    g_lbs_consumer->is_find_peer_working = 0;
    g_set_real_service_connection_status(0);
    g_set_service_connection_status(0);
}

// Connection attempts given up: back to Registered; what the host was told
// about availability stays.
void _reset_connect()
{
    g_lbs_consumer->connect_retry_count = 0;
    g_lbs_consumer->is_find_peer_working = 0;
    g_set_real_service_connection_status(0);
}

void __retry_find_peer_agent()
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    kov_remove_alarm(&c->find_peer_alarm_id);
    if (!_is_kov_connected()) {
        _reset_find_peer();
        return;
    }
    if (c->find_peer_retry_count > LBS_FIND_PEER_MAX_RETRY - 1) {
        LBS_LOGW("max try count reached [%d]", c->find_peer_retry_count);
        _reset_find_peer();
        return;
    }
    c->find_peer_retry_count++;
    if (kov_add_oneshot_alarm(LBS_FIND_PEER_RETRY_STEP * c->find_peer_retry_count, _find_peer_timeout_cb,
                              &c->find_peer_alarm_id) != 0) {
        LBS_LOGE("Add alarm for connect_service failed");
        c->find_peer_alarm_id = 0;
        _reset_find_peer();
    }
}

void __retry_connect_service()
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    kov_remove_alarm(&c->connect_alarm_id);
    if (!_is_kov_connected()) {
        LBS_LOGE("Reset connect procedure");
        g_set_service_connection_status(0);
        g_set_real_service_connection_status(0);
        c->is_find_peer_working = 0;
        return;
    }
    if (c->connect_retry_count > LBS_CONNECT_MAX_RETRY - 1) {
        LBS_LOGW("max try count reached [%d]", c->connect_retry_count);
        _reset_connect();
        return;
    }
    c->connect_retry_count++;
    const int delay = LBS_CONNECT_RETRY_STEP * c->connect_retry_count;
    if (kov_add_oneshot_alarm(delay, _connect_service_timer_cb, &c->connect_alarm_id) != 0) {
        LBS_LOGE("Add alarm for connect_service failed");
        c->connect_alarm_id = 0;
        _reset_connect();
        return;
    }
    LBS_LOGE("lbs-server-consumer will retry to connect after [%d] seconds", delay);
}

// Keeps a copy of the peer agent found last; the framework's record is only
// valid during its callback.
void g_set_peer_agent_object(const PeerAgent *peer)
{
    if (peer == nullptr) {
        LBS_LOGE("peer_agent NULL");
        return;
    }
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c->p_peer_agent == nullptr) {
        c->p_peer_agent = static_cast<PeerAgent *>(g_try_malloc0(sizeof(PeerAgent)));
        if (c->p_peer_agent == nullptr) {
            LBS_LOGE("Out of Memory, g_lbs_consumer->p_peer_agent");
            return;
        }
    }
    PeerAgent *copy = c->p_peer_agent;
    copy->PeerDeviceID = peer->PeerDeviceID;
    copy->PeerAgentId = peer->PeerAgentId;
    g_free(copy->ALEName);
    g_free(copy->ASPID);
    g_free(copy->ProfileVersion);
    copy->ALEName = g_strdup(peer->ALEName);
    copy->ASPID = g_strdup(peer->ASPID);
    copy->ProfileVersion = g_strdup(peer->ProfileVersion);
}

const char *_text(const char *s)
{
    return s != nullptr ? s : "(null)";
}

// A confirmed connection takes over the requests that waited for it: each
// running wait-connection timer becomes the matching wait-response timer.
void _hand_over_req_timers(const char *func)
{
    struct Pair {
        lbs_req_timer_type_e wait_connection;
        lbs_req_timer_type_e wait_response;
        const char *failure;
    };
    static constexpr Pair kPairs[] = {
        {REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION, REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_RESPONSE,
         "LOCATION_SETTING_CHANGE_WAIT_RESPONSE alarmmgr_add_alarm_withcb failed"},
        {REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION, REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE,
         "GPSPLUS_WAIT_RESPONSE alarmmgr_add_alarm_withcb failed"},
        {REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION, REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE,
         "HERE_MAP_WAIT_RESPONSE alarmmgr_add_alarm_withcb failed"},
    };
    for (const Pair &p : kPairs) {
        if (g_lbs_consumer->req_timer[p.wait_connection] == 0)
            continue;
        kov_remove_alarm(&g_lbs_consumer->req_timer[p.wait_connection]);
        if (kov_arm_req_timer(p.wait_response) != 0)
            LBS_LOGE_AS(func, "%s", p.failure);
    }
}

} // namespace

void __lbs_plugin_consumer_find_peer_agent(unsigned int agent_id)
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr) {
        LBS_LOGE("g_lbs_consumer is NULL");
        return;
    }
    if (!_is_kov_connected()) {
        LBS_LOGE("KOV is disconnected");
        c->is_find_peer_working = 0;
        c->find_peer_retry_count = 0;
        g_set_service_connection_status(0);
        return;
    }
    if (agent_id == 0) {
        LBS_LOGE("agent_id is invalid [%u]", agent_id);
        __lbs_plugin_consumer_data_init();
        __register_consumer();
        return;
    }
    if (_nobody_needs_the_link()) {
        LBS_LOGE("refcnt 0, do not find peer");
        c->is_find_peer_working = 0;
        c->find_peer_retry_count = 0;
        return;
    }
    if (c->is_find_peer_working == 1) {
        LBS_LOGW("find peer already working");
        return;
    }
    LBS_LOGE("agent id [%u]", agent_id);
    if (findPeerAgent(agent_id) != 0) {
        LBS_LOGE("Call find peer failed");
        __retry_find_peer_agent();
    }
    c->is_find_peer_working = 1;
    LBS_LOGE("findPeerAgent done");
}

void on_peer_agent_fnd(unsigned int local_agent_id, PeerAgent *peer_agent, int status)
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr) {
        LBS_LOGE("g_lbs_consumer NULL");
        return;
    }
    switch (status) {
    case KOV_PEER_AGENT_FOUND: {
        LBS_LOGE("PEER_AGENT_FOUND. local agent id [%u]", local_agent_id);
        c->agent_id = local_agent_id;
        c->find_peer_retry_count = 0;
        g_set_peer_agent_object(peer_agent);
        if (const PeerAgent *copy = c->p_peer_agent; copy != nullptr)
            LBS_LOGE("PeerAgentId [%u], PeerDeviceID [%u], ALEName [%s], ASPID [%s], ProfileVersion [%s]",
                     copy->PeerAgentId, copy->PeerDeviceID, _text(copy->ALEName), _text(copy->ASPID),
                     _text(copy->ProfileVersion));
        LBS_LOGE("lbs-server-consumer service connection is creating");
        const int ret = createServiceConnection(local_agent_id, peer_agent);
        if (ret != 0) {
            LBS_LOGE("lbs-server-consumer service connection is failed for creation [%d]", ret);
            __retry_connect_service();
        } else {
            LBS_LOGE("lbs-server-consumer service connection is created");
        }
        break;
    }
    case KOV_PEER_AGENT_DEVICE_NOT_CONNECTED: LBS_LOGE("PEER_AGENT_DEVICE_NOT_CONNECTED"); break;
    case KOV_PEER_AGENT_SERVICE_NOT_FOUND: LBS_LOGE("PEER_AGENT_SERVICE_NOT_FOUND"); break;
    case KOV_PEER_AGENT_FIND_TIMEDOUT:
        LBS_LOGE("PEER_AGENT_FIND_TIMEDOUT");
        __retry_find_peer_agent();
        break;
    case KOV_PEER_AGENT_FIND_END:
        LBS_LOGE("PEER_AGENT_FIND_END");
        __retry_find_peer_agent();
        break;
    default: LBS_LOGE("Unknown status code [%d]", status); break;
    }
}

int _find_peer_timeout_cb(alarm_id_t, void *user_data)
{
    (void)user_data;
    LBS_LOGE("Retry find peer");
    _lock_cpu();
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr)
        return 0;
    kov_remove_alarm(&c->find_peer_alarm_id);
    c->is_find_peer_working = 0;
    __lbs_plugin_consumer_find_peer_agent(c->agent_id);
    return 0;
}

void on_svc_conn_cfrm(unsigned int local_agent_id, int service_handle, PeerAgent *peer_agent, int status)
{
    (void)local_agent_id;
    (void)peer_agent;
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr) {
        LBS_LOGE("g_lbs_consumer NULL");
        return;
    }
    _lock_cpu();
    switch (status) {
    case KOV_CONNECTION_SUCCESS:
    case KOV_CONNECTION_ALREADY_EXIST: {
        if (status == KOV_CONNECTION_SUCCESS)
            LBS_LOGE("CONNECTION_SUCCESS");
        else
            LBS_LOGE("CONNECTION_ALREADY_EXIST");
        c->service_handle = service_handle;
        g_set_service_connection_status(1);
        g_set_real_service_connection_status(1);
        _hand_over_req_timers(__func__);
        const guint pending = g_list_length(c->msg_list);
        if (pending > 0) {
            if (c->pending_idle_id != 0)
                g_source_remove(c->pending_idle_id);
            c->pending_idle_id = g_idle_add(_pending_message_idle_cb, c);
            LBS_LOGE("[%d] Messages are wait for sending", static_cast<int>(pending));
        } else if (c->msg_list != nullptr) {
            LBS_LOGE("Empty message list. [%d]", static_cast<int>(pending));
        }
        return;
    }
    case KOV_CONNECTION_IN_PROGRESS: LBS_LOGE("CONNECTION_IN_PROGRESS"); return;
    case KOV_CONNECTION_FAILURE_DEVICE_UNREACHABLE: LBS_LOGE("CONNECTION_FAILURE_DEVICE_UNREACHABLE"); break;
    case KOV_CONNECTION_FAILURE_INVALID_PEERAGENT: LBS_LOGE("CONNECTION_FAILURE_INVALID_PEERAGENT"); break;
    case KOV_CONNECTION_FAILURE_NETWORK: LBS_LOGE("CONNECTION_FAILURE_NETWORK"); break;
    case KOV_CONNECTION_FAILURE_PEERAGENT_NO_RESPONSE: LBS_LOGE("CONNECTION_FAILURE_PEERAGENT_NO_RESPONSE"); break;
    case KOV_CONNECTION_FAILURE_PEERAGENT_REJECTED: LBS_LOGE("CONNECTION_FAILURE_PEERAGENT_REJECTED"); break;
    default: LBS_LOGE("Unknown error code [%d]", status); break;
    }
    LBS_LOGE("Retry service connection. status [%d]", status);
    __retry_connect_service();
}

int _connect_service_timer_cb(alarm_id_t, void *user_data)
{
    LBS_LOGE("Retry to createServiceConnection.");
    auto *c = static_cast<lbs_plugin_consumer_s *>(user_data);
    if (c == nullptr || c != g_lbs_consumer) {
        LBS_LOGE("invalid parameter");
        return 0;
    }
    _lock_cpu();
    kov_remove_alarm(&c->connect_alarm_id);
    if (_nobody_needs_the_link()) {
        LBS_LOGE("Service connection is not required anymore");
        c->connect_retry_count = 0;
        c->is_find_peer_working = 0;
        return 0;
    }
    const int ret = createServiceConnection(c->agent_id, c->p_peer_agent);
    if (ret != 0) {
        LBS_LOGE(">> createServiceConnection is failed. [%d]", ret);
        __retry_connect_service();
    }
    return 0;
}

void on_svc_conn_ind(unsigned int local_agent_id, unsigned int connection_id, PeerAgent *peer_agent)
{
    // The link only ever uses the connection it asked for.
    if (peer_agent == nullptr) {
        LBS_LOGE("pPeerAgent is NULL.");
        return;
    }
    if (peer_agent->ASPID != nullptr)
        LBS_LOGE("from [%s]", peer_agent->ASPID);
    const int ret = rejectServiceConnection(local_agent_id, connection_id, peer_agent);
    if (ret != 0)
        LBS_LOGE("Failed to rejct connection: result [%d]", ret);
    else
        LBS_LOGE("Reject connection.");
}

void on_svc_term_ind(int service_handle, int status)
{
    (void)service_handle;
    switch (status) {
    case KOV_CONNECTION_LOST_PEER_DISCONNECTED: LBS_LOGE("CONNECTION_LOST_PEER_DISCONNECTED"); break;
    case KOV_CONNECTION_LOST_DEVICE_DETACHED: LBS_LOGE("CONNECTION_LOST_DEVICE_DETACHED"); break;
    case KOV_CONNECTION_LOST_UNKNOWN_REASON: LBS_LOGE("CONNECTION_LOST_UNKNOWN_REASON"); break;
    default: LBS_LOGE("UNKNOWN STATUS code: %d", status); break;
    }
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr)
        return;
    g_set_real_service_connection_status(0);
    c->is_find_peer_working = 0;
    c->find_peer_retry_count = 0;
    c->connect_retry_count = 0;
    if (_is_kov_connected()) {
        LBS_LOGE("Service is terminated but BT connection is alive");
        __lbs_plugin_consumer_find_peer_agent(c->agent_id);
        g_set_service_connection_status(1);
    } else {
        __deregister_consumer();
    }
}

void lbs_plugin_consumer_terminate_service_connection(void)
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr) {
        LBS_LOGE("lbs_consumer data not initialized");
        return;
    }
    if (_link_in_use(c))
        return;
    LBS_LOGE("ref cnt 0. lbs consumer & provider connection will be terminated.");
    kov_release_msg_list();
    if (!_is_kov_connected()) {
        LBS_LOGE("KOV BT connection already disconnected.");
        return;
    }
    kov_remove_alarm(&c->connect_alarm_id);
    kov_remove_alarm(&c->find_peer_alarm_id);
    c->is_find_peer_working = 0;
    c->find_peer_retry_count = 0;
    c->connect_retry_count = 0;
    if (c->real_service_connection_status == 1) {
        LBS_LOGE("Terminate LBS service connection.");
        if (terminateServiceConnection(g_get_service_handle()) != 0)
            LBS_LOGE("Failed terminateServiceConnection");
    }
}
