/*
 * Control side of the accessory framework stand-in, for tests and the
 * simulator: what the framework answers, a record of every call, and the
 * delivery of every callback.
 *
 * Deliveries go to the tables registered last (registerNotifications,
 * registerFTNotifications). deregisterNotifications is recorded but does not
 * forget the table: the confirmation of a de-registration requested just
 * before it still has to reach the agent.
 */
#ifndef KOV_CLIENT_CONTROL_H
#define KOV_CLIENT_CONTROL_H

#include <stddef.h>

#include "kov_client.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One framework call as it was made. Fields that do not belong to the call
 * are 0 or NULL. */
typedef struct {
    const char *name;           /* the function's name, "sendData" */
    int result;                 /* what it returned */
    unsigned int agent_id;      /* findPeerAgent, createServiceConnection, rejectServiceConnection, deRegisterServiceAgent */
    unsigned int connection_id; /* rejectServiceConnection */
    int service_handle;         /* sendData, terminateServiceConnection */
    unsigned short channel_id;  /* sendData; registerServiceAgent: its first channel */
    int transaction_id;         /* receiveFile */
    int accept;                 /* receiveFile */
    const char *text;           /* sendData: the bytes plus a NUL; receiveFile: the path;
                                   registerServiceAgent: the service name */
    size_t length;              /* sendData: the number of bytes */
    const char *profile_id;     /* registerServiceAgent */
    int has_peer;               /* createServiceConnection, rejectServiceConnection: a peer agent was given */
    unsigned int peer_device_id;
    unsigned int peer_agent_id;
} kov_ctl_call;

/* Called for every call as it is made (after its result is chosen, before it
 * returns). NULL removes the observer. */
typedef void (*kov_ctl_observer)(const kov_ctl_call *call, void *user_data);
void kov_ctl_set_observer(kov_ctl_observer observer, void *user_data);

/* Back to the start: no tables, no calls, isKovConnected 0, auto off, every
 * result 0, answers not yet delivered dropped. The observer stays. */
void kov_ctl_reset(void);

/* What isKovConnected answers (default 0). */
void kov_ctl_set_connected(int value);

/* Auto mode (default off): each accepted (0) call among registerServiceAgent,
 * findPeerAgent, createServiceConnection, terminateServiceConnection and
 * deRegisterServiceAgent gets its answer from an idle source on the default
 * main context, one answer per turn, in order of the calls:
 * on_regi_svc_agent_cfrm(0, 1); on_peer_agent_fnd(agent, the standard peer,
 * 0); on_svc_conn_cfrm(agent, 1, the standard peer, 0); on_svc_term_ind(handle,
 * 0); on_deregi_svc_agent_cfrm(0). Turning it off stops new answers; those
 * already queued are still delivered. */
void kov_ctl_set_auto(int on);

/* From now on the named call returns result. 1 when name is a framework
 * call that returns a result (every call here except isKovConnected), 0
 * otherwise. */
int kov_ctl_set_result(const char *name, int result);
/* 1 when name is accepted by kov_ctl_set_result. */
int kov_ctl_is_call_name(const char *name);

/* Calls in order; pointers stay valid until kov_ctl_reset. */
size_t kov_ctl_call_count(void);
const kov_ctl_call *kov_ctl_call_at(size_t index);
/* Number of calls of that name. */
size_t kov_ctl_count_calls(const char *name);

/* 1 when a KOVNotification table is registered and not deregistered since;
 * *out (may be NULL) gets the table registered last, if any. */
int kov_ctl_get_notifications(KOVNotification *out);
/* 1 when a file_transfer_notification table was registered. */
int kov_ctl_get_ft_notifications(file_transfer_notification *out);
/* The descriptor of the last registerServiceAgent, its texts and first
 * channel copied by the stand-in (desc->channels points to *channel). 0 when
 * none was registered. */
int kov_ctl_get_service_desc(ServiceDesc *desc, ChannelDesc *channel);

/* What the stand-in remembers of the answers it delivered, for scenarios
 * that leave arguments out: the agent id of the last successful registration
 * confirmation, the agent id of the last findPeerAgent, the handle of the
 * last successful connection confirmation, the transaction id of the last
 * file offer. 0 before. */
unsigned int kov_ctl_agent_id(void);
unsigned int kov_ctl_last_find_agent_id(void);
int kov_ctl_service_handle(void);
int kov_ctl_last_offer_transaction_id(void);

/* The peer agent deliveries use unless told otherwise: PeerDeviceID 1,
 * PeerAgentId 2, ALEName "provider", ASPID "aspid", ProfileVersion "1.0".
 * Each call fills a fresh copy whose texts the stand-in owns. */
void kov_ctl_standard_peer(PeerAgent *out);

/* Deliveries: each calls the registered callback at once with the arguments
 * given and returns 1, or returns 0 when no such callback is registered. */
int kov_ctl_on_regi_svc_agent_cfrm(int result, unsigned int local_agent_id);
int kov_ctl_on_data_ind(int service_handle, unsigned short channel_id, unsigned int length, const void *buffer);
int kov_ctl_on_svc_conn_ind(unsigned int local_agent_id, unsigned int connection_id, PeerAgent *peer_agent);
int kov_ctl_on_svc_term_ind(int service_handle, int status);
int kov_ctl_on_svc_conn_cfrm(unsigned int local_agent_id, int service_handle, PeerAgent *peer_agent, int status);
int kov_ctl_on_peer_agent_fnd(unsigned int local_agent_id, PeerAgent *peer_agent, int status);
int kov_ctl_on_peer_agent_updated(unsigned int local_agent_id, PeerAgent *peer_agent, int status);
int kov_ctl_on_error(unsigned int local_agent_id, int error_code);
int kov_ctl_on_deregi_svc_agent_cfrm(int result);
int kov_ctl_on_device_status(unsigned int device_type, int status);
int kov_ctl_on_send_file(int transaction_id, const char *file_path, unsigned int agent_id);
int kov_ctl_on_send_completed(int transaction_id, const char *file_path, int result);
int kov_ctl_on_receive_completed(int transaction_id, const char *file_path, int result);
int kov_ctl_on_file_recv_progress(int transaction_id, unsigned int percent, unsigned int agent_id);

#ifdef __cplusplus
}
#endif

#endif /* KOV_CLIENT_CONTROL_H */
