/*
 * BLE accessory daemon client ("libbapd_client.so.0"), as the plugin uses
 * it: a named service on the daemon's link to the phone, its connection
 * status and the device's, data both ways and files from the phone.
 *
 * Conventions:
 *  1. Calls return BAP_ERROR_NONE (0) or a negative BAP_ERROR_ code, except
 *     the two status getters, which return a bap_connection_status_e.
 *  2. Callbacks run on the main loop, with the user data given when they were
 *     set; one callback of each kind per service, a new one replacing the old.
 *  3. Data and texts handed to a callback are valid only during it.
 *
 * Stand-in: no Bluetooth and no phone. Calls are recorded and answered with
 * the results and statuses set through bapd_client_control.h; callbacks are
 * delivered by the control side. It checks that a handle belongs to an added
 * service and that sent data fit in BAP_MAX_DATA_LENGTH bytes, and remembers
 * which offered files were accepted and where; it does not move data or
 * files, report send completion or progress by itself, or time anything out.
 */
#ifndef BAPD_CLIENT_H
#define BAPD_CLIENT_H

#ifdef __cplusplus
extern "C" {
#endif

typedef int bap_service_h;  /* a service added by this client; 0 is none */
typedef int bap_transfer_h; /* a file transfer offered by the phone */

typedef enum {
    BAP_CONNECTION_STATUS_DISCONNECTED = 0,
    BAP_CONNECTION_STATUS_CONNECTED = 1,
    /* The daemon may report values beyond these; the type holds any int. */
    BAP_CONNECTION_STATUS_MAX_ = 0x7fffffff,
} bap_connection_status_e;

#define BAP_ERROR_NONE 0
#define BAP_ERROR_OPERATION_FAILED (-1)
#define BAP_ERROR_TIMEOUT (-2)
#define BAP_ERROR_INVALID_PARAMETER (-3)
#define BAP_ERROR_CANCELED_BY_PEER (-4)

/* Largest payload of bap_service_send_data, in bytes. */
#define BAP_MAX_DATA_LENGTH 65531

/* File transfer status of bap_file_transfer_receiving_completed_cb. */
#define BAP_FILE_TRANSFER_COMPLETED 1

typedef void (*bap_connection_status_changed_cb)(bap_service_h service, bap_connection_status_e status,
                                                 void *user_data);
typedef void (*bap_data_received_cb)(bap_service_h service, unsigned int length, const void *data,
                                     void *user_data);
typedef void (*bap_data_send_completed_cb)(bap_service_h service, int result, void *user_data);
typedef void (*bap_file_incoming_cb)(bap_transfer_h transfer, const char *file_name, int transfer_id,
                                     void *user_data);
typedef void (*bap_file_transfer_receiving_completed_cb)(bap_service_h service, int status, const char *file_path,
                                                         int transfer_id, void *user_data);
typedef void (*bap_file_transfer_progress_cb)(bap_service_h service, int transfer_id, unsigned int percent,
                                              void *user_data);

/* Adds the service of that name; *service gets its handle. */
int bap_service_add(const char *service_name, bap_service_h *service);
int bap_service_remove(bap_service_h service);

/* Status of the device link and of the service's connection. */
int bap_device_get_connection_status(bap_service_h service);
int bap_service_get_connection_status(bap_service_h service);

int bap_device_set_connection_status_changed_cb(bap_service_h service, bap_connection_status_changed_cb cb,
                                                void *user_data);
int bap_device_unset_connection_status_changed_cb(bap_service_h service);
int bap_service_set_connection_status_changed_cb(bap_service_h service, bap_connection_status_changed_cb cb,
                                                 void *user_data);
int bap_service_unset_connection_status_changed_cb(bap_service_h service);
int bap_service_set_data_received_cb(bap_service_h service, bap_data_received_cb cb, void *user_data);
int bap_service_unset_data_received_cb(bap_service_h service);
int bap_service_set_data_send_completed_cb(bap_service_h service, bap_data_send_completed_cb cb, void *user_data);
int bap_service_unset_data_send_completed_cb(bap_service_h service);
int bap_service_set_file_incoming_cb(bap_service_h service, bap_file_incoming_cb cb, void *user_data);
int bap_service_unset_file_incoming_cb(bap_service_h service);
int bap_service_set_file_transfer_receiving_completed_cb(bap_service_h service,
                                                         bap_file_transfer_receiving_completed_cb cb,
                                                         void *user_data);
int bap_service_unset_file_transfer_receiving_completed_cb(bap_service_h service);
int bap_service_set_file_transfer_progress_cb(bap_service_h service, bap_file_transfer_progress_cb cb,
                                              void *user_data);
int bap_service_unset_file_transfer_progress_cb(bap_service_h service);

/* Sends length bytes (at most BAP_MAX_DATA_LENGTH). 0 accepted; -4 canceled
 * by the peer, -3 invalid argument, -2 time-out, other values other errors. */
int bap_service_send_data(bap_service_h service, unsigned int length, const void *data);

/* Answers a file offer: accept and store at file_path, or refuse. */
int bap_service_file_transfer_receive(bap_transfer_h transfer, const char *file_path, int transfer_id);
int bap_service_file_transfer_reject(bap_transfer_h transfer, int transfer_id);

#ifdef __cplusplus
}
#endif

#endif /* BAPD_CLIENT_H */
