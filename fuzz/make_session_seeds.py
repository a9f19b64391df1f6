#!/usr/bin/env python3
"""Writes the seeds of fuzz_plugin_session: each golden scenario
(tests/scenarios/*.scn) turned into the target's action format
(fuzz/fuzz_session_input.h), one seed per scenario, and two seeds that offer
hostile file names to each link. Commands that have no
action (phone ...) are left out; after every command the main loop is run
dry, as lbs-sim does. Run from the repository root:

    python3 fuzz/make_session_seeds.py [SCENARIO_DIR [OUT_DIR]]
"""
import os
import struct
import sys

# Opcodes and selector tables of fuzz_session_input.h.
OP = {name: i for i, name in enumerate([
    'init', 'deinit', 'request', 'set_key', 'kov_connected', 'kov_auto', 'kov_result', 'kov_regi_cfrm',
    'kov_deregi_cfrm', 'kov_peer_found', 'kov_conn_cfrm', 'kov_conn_ind', 'kov_term_ind', 'kov_error',
    'kov_device_status', 'kov_data', 'kov_send_file', 'kov_receive_completed', 'kov_other', 'bap_device',
    'bap_service', 'bap_result', 'bap_data', 'bap_file_incoming', 'bap_file_completed', 'bap_transfer_done',
    'bap_other', 'storage', 'alarm_fail', 'advance', 'fire_next', 'drain', 'iterate', 'power_fail',
    'vconf_fail_notify', 'plant'])}

KEYS = ['memory/wms/wmanager_connected', 'memory/private/weconn/ios_connected',
        'memory/private/kov/conn_status', 'memory/private/kov/conn_type']
KOV_CALLS = ['registerNotifications', 'deregisterNotifications', 'registerFTNotifications',
             'registerServiceAgent', 'deRegisterServiceAgent', 'findPeerAgent', 'createServiceConnection',
             'rejectServiceConnection', 'terminateServiceConnection', 'sendData', 'receiveFile']
BAP_CALLS = ['bap_service_add', 'bap_service_remove', 'bap_device_get_connection_status',
             'bap_service_get_connection_status', 'bap_service_send_data', 'bap_service_file_transfer_receive',
             'bap_service_file_transfer_reject']
for slot in ['device_set_connection_status_changed_cb', 'service_set_connection_status_changed_cb',
             'service_set_data_received_cb', 'service_set_data_send_completed_cb', 'service_set_file_incoming_cb',
             'service_set_file_transfer_receiving_completed_cb', 'service_set_file_transfer_progress_cb']:
    BAP_CALLS += ['bap_' + slot, 'bap_' + slot.replace('_set_', '_unset_')]

ACTIONS = {'START_SESSION': 1, 'STOP_SESSION': 2, 'REQUEST_EXTRA_DATA': 3, 'CHANGE_INTERVAL': 4,
           'CHECK_LOCATION_SETTING': 5, 'CHANGE_LOCATION_SETTING': 6, 'CHANGE_BATCH_PERIOD': 7,
           'GET_REF_TIME': 8, 'KINETRA_COMMAND': 769, 'HERE_MAP_IMAGE': 929}

# The record each request code carries, field by field: (name, kind).
TRACKING = [('method', 'i'), ('interval', 'i'), ('batching_interval', 'i')]
RECORDS = {
    1: TRACKING, 2: TRACKING, 4: TRACKING, 7: TRACKING,
    3: [('data_type', 'i')], 6: [('setting', 'i')], 8: [('timeout', 'i')],
    769: [('command', 'i'), ('exercise_type', 'i'), ('base_pressure', 'f'), ('height', 'f'), ('weight', 'f'),
          ('user_gender', 'i'), ('user_age', 'i'), ('interval', 'i'), ('pservice_type', 'i'),
          ('coaching_distance', 'f'), ('coaching_calorie', 'f'), ('coaching_speed', 'f'),
          ('coaching_duration_time', 'i'), ('auto_pause_enabled', 'i'), ('speed_threshold', 'f'),
          ('pause_window', 'i'), ('resume_window', 'i')],
    929: [('app_id', 't'), ('app_code', 't'), ('width', 'i'), ('height', 'i'), ('center_latitude', 'd'),
          ('center_longitude', 'd'), ('zoom_level', 'f'), ('timeout', 'i')],
}

CONTEXT = 0xf0  # first context value of a V32 (see fuzz_session_input.h)
CONNECTING_AGENT, LAST_FIND_AGENT, REGISTERED_AGENT = CONTEXT, CONTEXT + 1, CONTEXT + 2


class Unmapped(Exception):
    pass


def op(name):
    return bytes([OP[name]])


def v32(value):
    value = int(value)
    return b'\xff' + struct.pack('<I', value & 0xffffffff)


def v64(value):
    return b'\xff' + struct.pack('<Q', int(value) & 0xffffffffffffffff)


def f32(value):
    return b'\xff' + struct.pack('<f', float(value))


def f64(value):
    return b'\xff' + struct.pack('<d', float(value))


def text(value):
    """TEXT: NULL for the word NULL, else the bytes ($EXTRA/ is expanded by the target)."""
    if value is None or value == 'NULL':
        return b'\x00'
    data = value.encode()
    if b'\0' in data:
        raise Unmapped('text with a NUL byte')
    return b'\x01' + data + b'\x00'


def raw_payload(value):
    return b'\x00' + text(value)[1:]


def number(token):
    try:
        return int(token)
    except ValueError:
        return float(token)


def request(words):
    if not words:
        raise Unmapped('request without a code')
    code = ACTIONS.get(words[0])
    if code is None:
        code = int(words[0])
    fields = RECORDS.get(code, [])
    null = len(words) > 1 and words[1] == 'null' or not fields
    given = {}
    for word in words[1:]:
        if word == 'null':
            continue
        name, _, value = word.partition('=')
        given[name] = value
    out = op('request') + v32(code) + bytes([1 if null else 0])
    for name, kind in fields:
        value = given.get(name)
        if kind == 't':
            out += text(value)
        elif kind == 'i':
            out += v32(number(value) if value is not None else 0)
        elif kind == 'f':
            out += f32(value if value is not None else 0)
        else:
            out += f64(value if value is not None else 0)
    return out


def kov(words, rest):
    verb = words[0]
    if verb == 'connected':
        return op('kov_connected') + v32(words[1])
    if verb == 'auto':
        return op('kov_auto') + bytes([1 if words[1] == 'on' else 0])
    if verb == 'result':
        if words[1] not in KOV_CALLS:
            raise Unmapped('framework call ' + words[1])
        return op('kov_result') + bytes([KOV_CALLS.index(words[1])]) + v32(words[2])
    if verb == 'regi_cfrm':
        return op('kov_regi_cfrm') + v32(words[1]) + v32(words[2])
    if verb == 'deregi_cfrm':
        return op('kov_deregi_cfrm') + v32(words[1])
    if verb == 'peer_found':
        return op('kov_peer_found') + bytes([LAST_FIND_AGENT, 0]) + v32(words[1])
    if verb == 'conn_cfrm':
        return op('kov_conn_cfrm') + bytes([CONNECTING_AGENT]) + v32(words[2]) + b'\x00' + v32(words[1])
    if verb == 'conn_ind':
        return op('kov_conn_ind') + bytes([REGISTERED_AGENT]) + v32(1) + b'\x00'
    if verb == 'term_ind':
        return op('kov_term_ind') + bytes([CONTEXT]) + v32(words[1])
    if verb == 'error':
        return op('kov_error') + bytes([REGISTERED_AGENT]) + v32(words[1])
    if verb == 'device_status':
        return op('kov_device_status') + v32(words[1]) + v32(words[2])
    if verb == 'data':
        return op('kov_data') + raw_payload(rest)
    if verb == 'send_file':
        return op('kov_send_file') + v32(words[1]) + text(words[2]) + bytes([REGISTERED_AGENT])
    if verb == 'receive_completed':
        return op('kov_receive_completed') + bytes([CONTEXT]) + text(words[1]) + v32(words[2])
    raise Unmapped('kov ' + verb)


def bap(words, rest):
    verb = words[0]
    if verb == 'device':
        return op('bap_device') + v32(words[1])
    if verb == 'service':
        return op('bap_service') + v32(words[1])
    if verb == 'result':
        if words[1] not in BAP_CALLS:
            raise Unmapped('daemon call ' + words[1])
        return op('bap_result') + bytes([BAP_CALLS.index(words[1])]) + v32(words[2])
    if verb == 'data':
        return op('bap_data') + raw_payload(rest)
    if verb == 'file_incoming':
        return op('bap_file_incoming') + v32(words[1]) + text(words[2]) + v32(words[3])
    if verb == 'file_completed':
        return op('bap_file_completed') + v32(words[1]) + text(words[2]) + v32(words[3])
    if verb == 'send_completed':
        return op('bap_other') + b'\x01' + v32(words[1])
    if verb == 'transfer_done':
        return op('bap_transfer_done') + v32(words[1])
    raise Unmapped('bap ' + verb)


def rest_after(line, count):
    """The text after the first count words of line, spaces kept."""
    rest = line.lstrip()
    for _ in range(count):
        rest = rest.split(None, 1)[1] if len(rest.split(None, 1)) > 1 else ''
    return rest


def words_of(line):
    """Words up to a comment; '#' starts one only at the start of a word."""
    words = []
    for word in line.split():
        if word.startswith('#'):
            break
        words.append(word)
    return words


def command(line):
    words = words_of(line)
    if not words:
        return b''
    verb, args = words[0], words[1:]
    if verb == 'init':
        return op('init')
    if verb == 'deinit':
        return op('deinit')
    if verb == 'request':
        return request(args)
    if verb == 'set':
        key, kind, value = args[0], args[1], args[2]
        selector = bytes([KEYS.index(key)]) if key in KEYS else b'\x04' + text(key)
        if kind == 'bool':
            return op('set_key') + selector + b'\x00' + v32(value)
        if kind == 'int':
            return op('set_key') + selector + b'\x01' + v32(value)
        return op('set_key') + selector + b'\x02' + f64(value)
    if verb == 'storage':
        if args[0] == 'fail':
            return op('storage') + b'\x01' + v32(-1)
        return op('storage') + b'\x02' + v64(args[0]) + v64(args[1])
    if verb == 'alarm':
        return op('alarm_fail') + bytes([1 if args[1] == 'on' else 0])
    if verb == 'advance':
        return op('advance') + v32(args[0])
    if verb == 'kov':
        # TEXT arguments take the rest of the line as it stands.
        return kov(args, rest_after(line, 2))
    if verb == 'bap':
        return bap(args, rest_after(line, 2))
    raise Unmapped(verb)


def convert(path):
    out = b''
    skipped = []
    with open(path, encoding='utf-8') as f:
        for number_, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            try:
                action = command(line)
            except (Unmapped, IndexError, ValueError) as e:
                skipped.append('%d: %s' % (number_, e))
                continue
            if action:
                out += action + op('drain')
    return out, skipped


# Hostile names offered to both links, each after an announcement that makes
# the link ready for a file: climbing out of the file directory, a directory
# in the name, no name, a name as long as a path may be, control bytes and a
# line break that would start another log line if it were written as it is.
HOSTILE_NAMES = ['../../x', '../../x/gpsPlus.dat', 'a/b', 'a/map.jpg', '', '/', 'n' * 4096,
                 'n' * 4085 + '/gpsPlus.dat', 'gps\x01Plus\x7f.dat', 'gpsPlus.dat\n',
                 'map.jpg\r\nI/LBS_CONSUMER_PLUGIN: forged line', '\x1b[2Jmap.jpg', '$EXTRA/../../gpsPlus.dat']


def hostile_seeds():
    kov = [command('set memory/wms/wmanager_connected bool 1'),
           command('set memory/private/weconn/ios_connected int 0'), command('kov connected 1'), op('init'),
           command('kov regi_cfrm 0 7'),
           command('request START_SESSION method=1 interval=1'), command('kov peer_found 0'),
           command('kov conn_cfrm 0 1')]
    bap = [command('set memory/wms/wmanager_connected bool 1'),
           command('set memory/private/weconn/ios_connected int 1'), op('init')]
    for n, name in enumerate(HOSTILE_NAMES):
        kov += [command('request REQUEST_EXTRA_DATA data_type=3'),
                command('kov data {"msgId":"lbs-gps-plus-rsp","result":1,"method":1}'),
                op('kov_send_file') + v32(10 + n) + text(name) + bytes([REGISTERED_AGENT]),
                op('kov_receive_completed') + v32(10 + n) + text(name) + v32(0),
                command('request HERE_MAP_IMAGE app_id=A app_code=B width=1 height=1 center_latitude=0 '
                        'center_longitude=0 zoom_level=1 timeout=1'),
                command('kov data {"msgId":"lbs-here-map-rsp","result":1}'),
                op('kov_send_file') + v32(40 + n) + text(name) + bytes([REGISTERED_AGENT]),
                op('kov_receive_completed') + v32(40 + n) + text(name) + v32(0)]
        bap += [command('request REQUEST_EXTRA_DATA data_type=3'),
                command('bap data {"msgId":"lbs-gps-plus-rsp","result":1,"method":1}'),
                op('bap_file_incoming') + v32(5 + n) + text(name) + v32(7 + n),
                command('bap transfer_done 1'),
                op('bap_file_completed') + v32(1) + text(name) + v32(7 + n),
                command('advance 20')]
    # Positions whose coordinates are not finite numbers, and integers
    # written as doubles that do not fit 64 bits, on both links.
    replies = ['{"msgId":"lbs-tracking-location-rsp","result":1,"method":1,"timestamp":1e999,"latitude":1e999,'
               '"longitude":127.5,"altitude":1,"h_accuracy":5}',
               '{"msgId":"lbs-tracking-location-rsp","result":1,"method":2,"timestamp":18446744073709551616,'
               '"latitude":37.5,"longitude":-1e999,"altitude":1}',
               '{"msgId":"lbs-tracking-location-rsp","result":1,"method":1,"latitude":37.5,"longitude":127.5,'
               '"altitude":1e400,"h_accuracy":5}',
               '{"msgId":"lbs-tracking-location-rsp","result":1.8446744073709552e19,"reason":-1e999,"method":3,'
               '"locationInfo":[{"timestamp":1,"method":1,"latitude":1e999,"longitude":1,"altitude":1}]}',
               '{"msgId":"lbs-tracking-location-rsp","result":1,"method":3,'
               '"locationInfo":[{"timestamp":1,"method":1,"latitude":1,"longitude":1,"altitude":1},'
               '{"timestamp":2,"method":1e999,"latitude":2,"longitude":2e999,"altitude":2}]}',
               '{"msgId":"lbs-pdc-info-rsp","result":1,"SF1":1e999,"SF2":9.3e18,"SF3":-9.3e18}',
               '{"msgId":"lbs-exercise-info-rsp","result":1,"exerciseInfo":[{"timestamp":1e999,"stepCount":1e300,'
               '"durationTime":1e999,"movingTime":-1e999,"stepCadence":1e999}]}']
    numbers = kov[:6] + [command('request START_SESSION method=2 interval=1')]
    numbers += [command('kov data ' + r) for r in replies]
    numbers += [command('set memory/private/weconn/ios_connected int 1'),
                command('set memory/wms/wmanager_connected bool 0'),
                command('set memory/wms/wmanager_connected bool 1'),
                command('request START_SESSION method=1 interval=1'),
                command('request START_SESSION method=2 interval=1')]
    numbers += [command('bap data ' + r) for r in replies]
    join = lambda actions: b''.join(a + op('drain') for a in actions)
    return {'hostile_names_kov': join(kov), 'hostile_names_bap': join(bap), 'numbers_out_of_range': join(numbers)}


def main():
    scenarios = sys.argv[1] if len(sys.argv) > 1 else 'tests/scenarios'
    out_dir = sys.argv[2] if len(sys.argv) > 2 else 'fuzz/seeds/fuzz_plugin_session'
    os.makedirs(out_dir, exist_ok=True)
    for name, data in hostile_seeds().items():
        with open(os.path.join(out_dir, name + '.bin'), 'wb') as f:
            f.write(data)
    for name in sorted(os.listdir(scenarios)):
        if not name.endswith('.scn'):
            continue
        data, skipped = convert(os.path.join(scenarios, name))
        for s in skipped:
            print('%s:%s: left out' % (name, s), file=sys.stderr)
        with open(os.path.join(out_dir, name[:-4] + '.bin'), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
