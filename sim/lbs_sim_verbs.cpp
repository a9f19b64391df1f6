#include "lbs_sim_verbs.h"

#include "lbs_sim_request_records.h"

#include <bapd_client_control.h>
#include <kov_client_control.h>

#include <algorithm>

namespace lbs_sim {

const std::vector<VerbHelp> &verb_help()
{
    static const std::vector<VerbHelp> verbs = {
        {"init", "", "call the plugin's init with the host's event callback", "init"},
        {"deinit", "", "call the plugin's deinit", "deinit"},
        {"request", "CODE [null | FIELD=VALUE ...]",
         "call request: CODE a name without CONSUMER_ACTION_ or a number; the record zero-filled, "
         "named fields set", "request START_SESSION method=1 interval=5"},
        {"set", "KEY bool|int|double VALUE", "write a settings key; its watchers are told",
         "set memory/wms/wmanager_connected bool 1"},
        {"storage", "TOTAL FREE | fail", "internal storage size and free bytes, or a query that fails",
         "storage 8589934592 1024"},
        {"filedir", "missing | blocked | present | put NAME | has NAME",
         "what stands where the plugin keeps its files; put leaves an empty file NAME there, has traces whether "
         "NAME is there", "filedir put map.jpg"},
        {"alarm fail", "on|off", "adding an alarm fails (or works again)", "alarm fail on"},
        {"kov connected", "0|1", "what isKovConnected() answers", "kov connected 1"},
        {"kov auto", "on|off", "the framework answers registration, search, connection by itself", "kov auto on"},
        {"kov result", "CALL N", "the named framework call returns N from now on", "kov result sendData -1"},
        {"kov regi_cfrm", "RESULT AGENT_ID", "registration confirmed", "kov regi_cfrm 0 7"},
        {"kov deregi_cfrm", "RESULT", "de-registration confirmed", "kov deregi_cfrm 0"},
        {"kov peer_found", "STATUS", "the peer search found the provider", "kov peer_found 0"},
        {"kov conn_cfrm", "STATUS HANDLE", "the service connection confirmed", "kov conn_cfrm 0 1"},
        {"kov conn_ind", "", "the phone asks for a service connection", "kov conn_ind"},
        {"kov term_ind", "STATUS", "the service connection ended", "kov term_ind 0"},
        {"kov error", "CODE", "the framework reports an error", "kov error 3"},
        {"kov device_status", "TYPE STATUS", "the accessory device's status changed", "kov device_status 1 0"},
        {"kov data", "TEXT", "TEXT arrives from the phone (the rest of the line)",
         "kov data {\"msgId\":\"lbs-tracking-location-rsp\",\"result\":1}"},
        {"kov send_file", "TX PATH", "the phone offers PATH as transfer TX", "kov send_file 5 /phone/gpsPlus.dat"},
        {"kov receive_completed", "PATH RESULT", "a file transfer ended", "kov receive_completed $EXTRA/gpsPlus.dat 0"},
        {"bap device", "0|1", "the BLE device connection status", "bap device 0"},
        {"bap service", "0|1", "the BLE service connection status", "bap service 1"},
        {"bap result", "CALL N", "the named daemon call returns N from now on", "bap result bap_service_send_data -1"},
        {"bap data", "TEXT", "TEXT arrives from the phone (the rest of the line)",
         "bap data {\"msgId\":\"lbs-tracking-location-rsp\",\"result\":1}"},
        {"bap file_incoming", "HANDLE NAME ID", "the phone offers a file", "bap file_incoming 3 gpsPlus.dat 9"},
        {"bap file_completed", "STATUS PATH ID", "a file transfer ended", "bap file_completed 0 $EXTRA/gpsPlus.dat 9"},
        {"bap send_completed", "RESULT", "sending data ended", "bap send_completed 0"},
        {"bap transfer_done", "STATUS", "the transfer accepted last ends with STATUS", "bap transfer_done 0"},
        {"phone on", "", "the simulated phone comes in range and answers by itself", "phone on"},
        {"phone off", "", "the phone goes away", "phone off"},
        {"phone track", "FILE.gpx", "the track the phone walks from now on", "phone track ../tracks/city_walk.gpx"},
        {"phone gps", "on|off", "the phone's GPS setting", "phone gps off"},
        {"phone wps", "on|off", "the phone's WPS setting", "phone wps off"},
        {"phone drop", "", "the service connection is lost once", "phone drop"},
        {"phone slow", "SECONDS", "every reply comes SECONDS later", "phone slow 3"},
        {"phone silent", "[on|off]", "the phone answers nothing", "phone silent"},
        {"phone refuse", "map|assistance REASON", "refuse map or assistance requests (REASON 0: accept again)",
         "phone refuse map 4"},
        {"loop hold", "", "commands stop turning the main loop after they run", "loop hold"},
        {"loop run", "", "what waits in the main loop runs now, and after every command again", "loop run"},
        {"advance", "SECONDS", "move virtual time; alarms due meanwhile fire in order", "advance 10"},
    };
    return verbs;
}

std::vector<const VerbHelp *> find_verb_help(std::string_view words)
{
    std::vector<const VerbHelp *> found;
    for (const VerbHelp &v : verb_help()) {
        const bool same = v.name == words;
        const bool group = v.name.size() > words.size() && v.name.substr(0, words.size()) == words &&
                           v.name[words.size()] == ' ';
        if (same)
            return {&v};
        if (group)
            found.push_back(&v);
    }
    return found;
}

std::string verb_usage(const VerbHelp &v)
{
    return v.args.empty() ? std::string(v.name) : std::string(v.name) + " " + std::string(v.args);
}

std::vector<std::string_view> verb_first_words()
{
    std::vector<std::string_view> words;
    for (const VerbHelp &v : verb_help()) {
        const std::string_view first = v.name.substr(0, v.name.find(' '));
        if (std::find(words.begin(), words.end(), first) == words.end())
            words.push_back(first);
    }
    return words;
}

std::vector<std::string_view> verb_second_words(std::string_view first)
{
    std::vector<std::string_view> words;
    for (const VerbHelp &v : verb_help()) {
        const size_t space = v.name.find(' ');
        if (space != std::string_view::npos && v.name.substr(0, space) == first)
            words.push_back(v.name.substr(space + 1));
    }
    return words;
}

std::vector<std::string> complete_words(std::string_view before, std::string_view word, bool *field)
{
    std::vector<std::string_view> words;
    for (size_t i = 0; i < before.size();) {
        while (i < before.size() && (before[i] == ' ' || before[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < before.size() && before[i] != ' ' && before[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(before.substr(start, i - start));
    }
    *field = false;
    std::vector<std::string_view> offer;
    const auto is = [&](size_t n, std::string_view first, std::string_view second = {}) {
        return words.size() == n && words[0] == first && (second.empty() || words[1] == second);
    };
    if (words.empty()) {
        offer = verb_first_words();
        offer.push_back("help");
        offer.push_back("quit");
    } else if (is(1, "help")) {
        offer = verb_first_words();
    } else if (is(2, "help")) {
        offer = verb_second_words(words[1]);
    } else if (is(1, "request")) {
        offer = action_names();
    } else if (words[0] == "request" && words.size() >= 2) {
        const std::optional<int> code = action_code(words[1]);
        if (code && record_of(*code) != RecordKind::None) {
            offer = field_names(record_of(*code));
            *field = true;
            if (words.size() == 2)
                offer.push_back("null");
        }
    } else if (words.size() == 1) {
        offer = verb_second_words(words[0]);
        if (words[0] == "storage")
            offer = {"fail"};
        else if (words[0] == "filedir")
            offer = {"missing", "blocked", "present", "put", "has"};
    } else if (is(2, "kov", "auto") || is(2, "alarm", "fail") || is(2, "phone", "gps") ||
               is(2, "phone", "wps") || is(2, "phone", "silent")) {
        offer = {"on", "off"};
    } else if (is(2, "kov", "result")) {
        // The calls the scenario format names; the stand-in has the last word.
        for (std::string_view call : {"registerNotifications", "registerServiceAgent", "findPeerAgent",
                                      "createServiceConnection", "sendData", "receiveFile",
                                      "rejectServiceConnection", "terminateServiceConnection",
                                      "deRegisterServiceAgent"})
            if (kov_ctl_is_call_name(std::string(call).c_str()))
                offer.push_back(call);
    } else if (is(2, "bap", "result")) {
        for (std::string_view call : {"bap_service_add", "bap_service_set_data_received_cb", "bap_service_send_data",
                                      "bap_service_file_transfer_receive"})
            if (bap_ctl_is_call_name(std::string(call).c_str()))
                offer.push_back(call);
    } else if (is(2, "phone", "refuse")) {
        offer = {"map", "assistance"};
    } else if (is(2, "set")) {
        offer = {"bool", "int", "double"};
    }
    std::vector<std::string> out;
    for (std::string_view w : offer)
        if (w.substr(0, word.size()) == word)
            out.emplace_back(w);
    if (*field && out.size() == 1 && out[0] == "null")
        *field = false;
    return out;
}

} // namespace lbs_sim
