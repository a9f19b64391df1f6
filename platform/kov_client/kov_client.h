/*
 * Accessory-protocol framework client ("libkov-client-stub-api.so.1"), as the
 * plugin uses it: a service agent registered under a profile, the search for
 * the phone's peer agent, a service connection with a data channel, file
 * transfers offered by the phone, and reports about the accessory link.
 *
 * Conventions:
 *  1. A call returns 0 when the framework accepted it; the outcome of a
 *     request arrives later through the callback named next to it.
 *  2. Every callback runs on the main loop, never from inside the call that
 *     caused it.
 *  3. The notification tables and the service descriptor are taken by value;
 *     texts and the channel descriptor they point to stay the caller's.
 *  4. A peer agent handed to a callback, and the texts in it, are valid only
 *     during that callback; keep a copy.
 *
 * Stand-in: no phone, no Bluetooth. Calls are recorded and answered with the
 * results set through kov_client_control.h (0 until told otherwise); the
 * callbacks are delivered by the control side, or, in its auto mode, as the
 * canned answer to the call on the next turn of the main loop. It does not
 * check arguments, keep connections, move data or files, or time anything
 * out: each of those is whatever the control side plays.
 */
#ifndef KOV_CLIENT_H
#define KOV_CLIENT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Results of registration and de-registration. */
typedef enum {
    KOV_RESULT_TIMEOUT = -2,
    KOV_RESULT_FAILURE = -1,
    KOV_RESULT_SUCCESS = 0,
    KOV_RESULT_INPROGRESS = 1,
} kov_result_e;

/* Outcome of a peer search. */
typedef enum {
    KOV_PEER_AGENT_FOUND = 0,
    KOV_PEER_AGENT_DEVICE_NOT_CONNECTED = 1,
    KOV_PEER_AGENT_SERVICE_NOT_FOUND = 2,
    KOV_PEER_AGENT_FIND_TIMEDOUT = 3,
    KOV_PEER_AGENT_FIND_END = 4,
} kov_peer_agent_status_e;

/* Outcome of a service connection request. */
typedef enum {
    KOV_CONNECTION_SUCCESS = 0,
    KOV_CONNECTION_ALREADY_EXIST = 1,
    KOV_CONNECTION_FAILURE_DEVICE_UNREACHABLE = 2,
    KOV_CONNECTION_FAILURE_INVALID_PEERAGENT = 3,
    KOV_CONNECTION_FAILURE_NETWORK = 4,
    KOV_CONNECTION_FAILURE_PEERAGENT_NO_RESPONSE = 5,
    KOV_CONNECTION_FAILURE_PEERAGENT_REJECTED = 6,
    KOV_CONNECTION_IN_PROGRESS = 7,
} kov_connection_status_e;

/* Why a service connection ended. */
typedef enum {
    KOV_CONNECTION_LOST_PEER_DISCONNECTED = 0,
    KOV_CONNECTION_LOST_DEVICE_DETACHED = 1,
    KOV_CONNECTION_LOST_UNKNOWN_REASON = 2,
} kov_connection_lost_e;

/* Framework errors. */
typedef enum {
    KOV_ERROR_UNKNOWN_REASON = 0,
    KOV_ERROR_IPC_DISCONNECTED = 1,
} kov_error_e;

/* Accessory device reports; bit 0 of the device type is Bluetooth. */
typedef enum {
    KOV_DEVICE_DETACHED = 0,
    KOV_DEVICE_ATTACHED = 1,
} kov_device_status_e;
#define KOV_DEVICE_TYPE_BT 0x1u

/* Results of sendData. */
typedef enum {
    KOV_SEND_DATA_SUCCESS = 0,
    KOV_SEND_DATA_INVALID_ARGUMENT = 1,
    KOV_SEND_DATA_INVALID_CONNECTION = 2,
    KOV_SEND_DATA_NETWORK_FAILURE = 3,
    KOV_SEND_DATA_BUFFER_FULL = 4,
    KOV_SEND_DATA_SDK_ERROR = 5,
} kov_send_data_result_e;

/* Results of a file transfer to the watch. */
typedef enum {
    KOV_TRANSFER_COMPLETE_SUCCESS = 0,
    KOV_TRANSFER_COMPLETE_FAIL_FILE_IO = 2,
    KOV_TRANSFER_COMPLETE_FAIL_PEER_UNRESPONSIVE = 4,
    KOV_TRANSFER_COMPLETE_FAIL_PEER_CONN_LOST = 5,
    KOV_TRANSFER_COMPLETE_FAIL_PEER_CANCELLED = 9,
    KOV_TRANSFER_COMPLETE_FAIL_SPACE_NOT_AVAILABLE = 11,
} kov_transfer_result_e;

/* One data channel of a service (20 bytes). The framework defines the values
 * after the channel id; callers pass them as their profile prescribes. */
typedef struct ChannelDesc {
    unsigned short channel_id;
    unsigned short qos_type;
    unsigned int qos_data_rate;
    unsigned int reserved[3];
} ChannelDesc;

/* A service offered by a local agent (32 bytes on a 32-bit ABI). */
typedef struct ServiceDesc {
    const char *profile_id;
    const char *service_name;
    unsigned int role;
    unsigned char version;
    const ChannelDesc *channels;  /* channel_count entries */
    unsigned short channel_count;
    unsigned short reserved0;
    unsigned int reserved1[2];
} ServiceDesc;

/* The phone's agent for a service (36 bytes on a 32-bit ABI). */
typedef struct PeerAgent {
    unsigned int PeerDeviceID;
    unsigned int PeerAgentId;
    unsigned int reserved0[2];
    char *ALEName;
    char *ASPID;
    char *ProfileVersion;
    unsigned int reserved1[2];
} PeerAgent;

/* Callbacks of the service agent. */
typedef void (*kov_regi_svc_agent_cfrm_cb)(int result, unsigned int local_agent_id);
typedef void (*kov_data_ind_cb)(int service_handle, unsigned short channel_id, unsigned int length,
                                const void *buffer);
typedef void (*kov_svc_conn_ind_cb)(unsigned int local_agent_id, unsigned int connection_id,
                                    PeerAgent *peer_agent);
typedef void (*kov_svc_term_ind_cb)(int service_handle, int status);
typedef void (*kov_svc_conn_cfrm_cb)(unsigned int local_agent_id, int service_handle, PeerAgent *peer_agent,
                                     int status);
typedef void (*kov_peer_agent_fnd_cb)(unsigned int local_agent_id, PeerAgent *peer_agent, int status);
typedef void (*kov_peer_agent_updated_cb)(unsigned int local_agent_id, PeerAgent *peer_agent, int status);
typedef void (*kov_error_cb)(unsigned int local_agent_id, int error_code);
typedef void (*kov_deregi_svc_agent_cfrm_cb)(int result);
typedef void (*kov_device_status_cb)(unsigned int device_type, int status);
typedef void (*kov_reserved_cb)(void);

/* Fourteen slots; a NULL slot is not called. */
typedef struct KOVNotification {
    kov_regi_svc_agent_cfrm_cb on_regi_svc_agent_cfrm; /* registerServiceAgent's outcome, kov_result_e */
    kov_data_ind_cb on_data_ind;                       /* data from the peer: length bytes, no terminator */
    kov_svc_conn_ind_cb on_svc_conn_ind;               /* the peer asks for a connection */
    kov_svc_term_ind_cb on_svc_term_ind;               /* connection ended, kov_connection_lost_e */
    kov_svc_conn_cfrm_cb on_svc_conn_cfrm;             /* createServiceConnection's outcome */
    kov_peer_agent_fnd_cb on_peer_agent_fnd;           /* findPeerAgent's outcome */
    kov_peer_agent_updated_cb on_peer_agent_updated;   /* a known peer agent changed */
    kov_error_cb on_error;                             /* kov_error_e */
    kov_deregi_svc_agent_cfrm_cb on_deregi_svc_agent_cfrm; /* deRegisterServiceAgent's outcome */
    kov_device_status_cb on_device_status;             /* kov_device_status_e */
    kov_reserved_cb reserved[4];
} KOVNotification;

/* Callbacks of file transfers. */
typedef void (*kov_send_file_cb)(int transaction_id, const char *file_path, unsigned int agent_id);
typedef void (*kov_send_completed_cb)(int transaction_id, const char *file_path, int result);
typedef void (*kov_receive_completed_cb)(int transaction_id, const char *file_path, int result);
typedef void (*kov_file_recv_progress_cb)(int transaction_id, unsigned int percent, unsigned int agent_id);

typedef struct file_transfer_notification {
    kov_send_file_cb on_send_file;                   /* the peer offers a file; answer with receiveFile */
    kov_send_completed_cb on_send_completed;         /* a file sent to the peer is done */
    kov_receive_completed_cb on_receive_completed;   /* an accepted file arrived, kov_transfer_result_e */
    kov_file_recv_progress_cb on_file_recv_progress; /* percent of an accepted file received */
} file_transfer_notification;

/* Bit 0 set while the accessory link to the phone is up. */
int isKovConnected(void);

int registerNotifications(KOVNotification notification);
int deregisterNotifications(void);
int registerFTNotifications(file_transfer_notification notification);

/* Outcome in on_regi_svc_agent_cfrm with the local agent id. */
int registerServiceAgent(ServiceDesc service_desc);
/* Outcome in on_deregi_svc_agent_cfrm. */
int deRegisterServiceAgent(unsigned int local_agent_id);
/* Outcome in on_peer_agent_fnd. */
int findPeerAgent(unsigned int local_agent_id);
/* Outcome in on_svc_conn_cfrm with the service handle. */
int createServiceConnection(unsigned int local_agent_id, PeerAgent *peer_agent);
/* Refuses a connection the peer asked for: the arguments of on_svc_conn_ind. */
int rejectServiceConnection(unsigned int local_agent_id, unsigned int connection_id, PeerAgent *peer_agent);
/* The end is reported through on_svc_term_ind. */
int terminateServiceConnection(int service_handle);
/* length bytes of data on the channel; kov_send_data_result_e. */
int sendData(int service_handle, unsigned short channel_id, unsigned int length, const void *data);
/* Answers an offer: accept 1 stores the file at file_path, 0 refuses it. */
int receiveFile(int transaction_id, const char *file_path, int accept);

#ifdef __cplusplus
}
#endif

#endif /* KOV_CLIENT_H */
