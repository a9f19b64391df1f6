#include "lbs_sim_runner.h"

#include "lbs_sim_event_decoder.h"

#include <alarmmgr_control.h>
#include <bapd_client_control.h>
#include <device_power_control.h>
#include <kov_client_control.h>
#include <storage.h>
#include <storage_control.h>
#include <vconf_control.h>

#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace lbs_sim {
namespace {

constexpr unsigned short kDataChannel = 169;

// Bounds one drain, so that a source that is always ready cannot hang a run.
constexpr int kMaxDispatchesPerDrain = 1000000;

struct MainLoopUnref {
    void operator()(GMainLoop *loop) const { g_main_loop_unref(loop); }
};

gboolean quit_loop_cb(gpointer loop)
{
    g_main_loop_quit(static_cast<GMainLoop *>(loop));
    return G_SOURCE_REMOVE;
}

// The agent id of the last createServiceConnection, which a connection
// confirmation answers; else the agent id of the registration.
unsigned int connecting_agent_id()
{
    for (size_t i = kov_ctl_call_count(); i > 0; --i) {
        const kov_ctl_call *c = kov_ctl_call_at(i - 1);
        if (std::strcmp(c->name, "createServiceConnection") == 0)
            return c->agent_id;
    }
    return kov_ctl_agent_id();
}

} // namespace

LogPrefix split_log_prefix(std::string_view text)
{
    const size_t cut = text.find(" > ");
    if (cut == std::string_view::npos)
        return {{}, text};
    const std::string_view prefix = text.substr(0, cut);
    LogPrefix out{{}, text.substr(cut + 3)};
    // "file: function(line)": the function runs from after the first ": " to
    // the last "(".
    const size_t colon = prefix.find(": ");
    const size_t open = prefix.rfind('(');
    if (colon != std::string_view::npos && open != std::string_view::npos && open > colon + 2)
        out.function = prefix.substr(colon + 2, open - colon - 2);
    return out;
}

Runner::Runner(const Plugin &plugin, Sink &sink, RunnerOptions options)
    : plugin_(plugin), sink_(sink), options_(std::move(options))
{
    vconf_ctl_reset();
    dlog_ctl_clear();
    storage_ctl_reset();
    alarmmgr_ctl_reset();
    device_power_ctl_reset();
    kov_ctl_reset();
    bap_ctl_reset();

    dlog_ctl_set_sink(&Runner::on_log, this);
    alarmmgr_ctl_set_observer(&Runner::on_alarm, this);
    device_power_ctl_set_observer(&Runner::on_power, this);
    kov_ctl_set_observer(&Runner::on_kov, this);
    bap_ctl_set_observer(&Runner::on_bap, this);
    phone_ = std::make_unique<Phone>();
    phone_->set_progress_observer(
        [this](int id, unsigned percent) { sink_.progress(alarmmgr_ctl_now(), id, percent); });
}

Runner::~Runner()
{
    phone_.reset();
    for (const std::string &path : put_files_)
        std::remove(path.c_str());
    if (file_directory_changed_) {
        std::string ignored;
        set_file_directory("present", &ignored);
    }
    dlog_ctl_set_sink(nullptr, nullptr);
    alarmmgr_ctl_set_observer(nullptr, nullptr);
    device_power_ctl_set_observer(nullptr, nullptr);
    kov_ctl_set_observer(nullptr, nullptr);
    bap_ctl_set_observer(nullptr, nullptr);
}

void Runner::drain()
{
    for (int i = 0; i < kMaxDispatchesPerDrain && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

bool Runner::execute(const Command &cmd, std::string *message)
{
    sink_.command(alarmmgr_ctl_now(), cmd);
    const lbs_consumer_plugin_interface_s &ops = plugin_.ops();
    switch (cmd.verb) {
    case Verb::Init:
        sink_.returned(alarmmgr_ctl_now(), "init", ops.init(&Runner::on_event, this));
        break;
    case Verb::Deinit:
        sink_.returned(alarmmgr_ctl_now(), "deinit", ops.deinit(nullptr));
        break;
    case Verb::Request: {
        RequestRecord record(cmd.record, cmd.fields);
        void *data = cmd.null_record ? nullptr : record.data();
        sink_.returned(alarmmgr_ctl_now(), "request", ops.request(cmd.code, data));
        break;
    }
    case Verb::SetBool:
        vconf_ctl_set_bool(cmd.word.c_str(), static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::SetInt:
        vconf_ctl_set_int(cmd.word.c_str(), static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::SetDouble:
        vconf_ctl_set_dbl(cmd.word.c_str(), cmd.real);
        break;
    case Verb::Storage:
        storage_ctl_fail(0);
        if (storage_ctl_set_bytes(static_cast<uint64_t>(cmd.numbers[0]), static_cast<uint64_t>(cmd.numbers[1])) == 0) {
            *message = "storage cannot report " + std::to_string(cmd.numbers[0]) + " and " +
                       std::to_string(cmd.numbers[1]) + " bytes on this platform";
            return false;
        }
        break;
    case Verb::StorageFail:
        storage_ctl_fail(STORAGE_ERROR_OPERATION_FAILED);
        break;
    case Verb::FileDir:
        if (cmd.word == "put") {
            if (!put_file(cmd.text, message))
                return false;
        } else if (cmd.word == "has") {
            const std::string path = file_directory_entry(cmd.text);
            struct stat st = {};
            sink_.file_state(alarmmgr_ctl_now(), path, lstat(path.c_str(), &st) == 0);
        } else if (!set_file_directory(cmd.word, message)) {
            return false;
        }
        break;
    case Verb::LoopHold:
        loop_held_ = true;
        break;
    case Verb::LoopRun:
        loop_held_ = false;
        break;
    case Verb::AlarmFail:
        alarmmgr_ctl_fail_add(static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::KovConnected:
        kov_ctl_set_connected(static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::KovAuto:
        kov_ctl_set_auto(static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::KovResult:
        kov_ctl_set_result(cmd.word.c_str(), static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::BapDevice:
        bap_ctl_set_device_status(static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::BapService:
        bap_ctl_set_service_status(static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::BapResult:
        bap_ctl_set_result(cmd.word.c_str(), static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::Advance:
        advance(cmd.numbers[0]);
        break;
    case Verb::Phone:
        if (!phone_->command(cmd, message))
            return false;
        break;
    default:
        deliver(cmd);
        break;
    }
    if (!loop_held_)
        drain();
    return true;
}

void Runner::advance(int64_t seconds)
{
    if (!options_.realtime) {
        alarmmgr_ctl_advance(seconds);
        return;
    }
    std::unique_ptr<GMainLoop, MainLoopUnref> loop(g_main_loop_new(nullptr, FALSE));
    for (int64_t i = 0; i < seconds; ++i) {
        g_timeout_add(1000, quit_loop_cb, loop.get());
        g_main_loop_run(loop.get());
        alarmmgr_ctl_advance(1);
    }
}

// missing: no directory (and nothing that was in it); blocked: a plain file
// where the directory belongs, so that it cannot be made; present: an
// empty-or-not directory, made with mode 0777 when missing.
bool Runner::set_file_directory(const std::string &state, std::string *message)
{
    namespace fs = std::filesystem;
    std::string dir = options_.extra_dir;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    std::error_code ec;
    file_directory_changed_ = true;
    if (state == "present") {
        if (!fs::is_directory(fs::symlink_status(dir, ec)))
            fs::remove(dir, ec);
        fs::create_directories(dir, ec);
        if (!ec)
            fs::permissions(dir, fs::perms::all, ec);
    } else {
        fs::remove_all(dir, ec);
        if (!ec && state == "blocked") {
            FILE *f = std::fopen(dir.c_str(), "w");
            if (f == nullptr || std::fclose(f) != 0)
                ec = std::error_code(errno, std::generic_category());
        }
    }
    if (ec) {
        *message = "filedir " + state + ": " + dir + ": " + ec.message();
        return false;
    }
    return true;
}

std::string Runner::file_directory_entry(const std::string &name) const
{
    std::string dir = options_.extra_dir;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir + name;
}

// put: an empty file NAME in the directory, which is made when missing.
bool Runner::put_file(const std::string &name, std::string *message)
{
    if (!set_file_directory("present", message))
        return false;
    const std::string path = file_directory_entry(name);
    FILE *f = std::fopen(path.c_str(), "w");
    if (f == nullptr || std::fclose(f) != 0) {
        *message = "filedir put: " + path + ": " + std::strerror(errno);
        return false;
    }
    put_files_.push_back(path);
    return true;
}

const char *Runner::path_arg(const Command &cmd, std::string *storage) const
{
    if (cmd.text_is_null)
        return nullptr;
    *storage = expand_extra(cmd.text, options_.extra_dir);
    return storage->c_str();
}

void Runner::missed(std::string_view callback)
{
    sink_.note(alarmmgr_ctl_now(), "nobody registered " + std::string(callback) + "; nothing delivered");
}

// The phone's and the device's side: framework and daemon callbacks.
void Runner::deliver(const Command &cmd)
{
    const auto n = [&cmd](size_t i) { return static_cast<int>(cmd.numbers[i]); };
    const auto u = [&cmd](size_t i) { return static_cast<unsigned int>(cmd.numbers[i]); };
    std::string path;
    PeerAgent peer;
    kov_ctl_standard_peer(&peer);
    // Data arrive in a buffer of exactly their length, without a terminator.
    const auto bytes = [&cmd]() { return std::vector<char>(cmd.text.begin(), cmd.text.end()); };

    switch (cmd.verb) {
    case Verb::KovRegiCfrm:
        if (!kov_ctl_on_regi_svc_agent_cfrm(n(0), u(1)))
            missed("on_regi_svc_agent_cfrm");
        break;
    case Verb::KovDeregiCfrm:
        if (!kov_ctl_on_deregi_svc_agent_cfrm(n(0)))
            missed("on_deregi_svc_agent_cfrm");
        break;
    case Verb::KovPeerFound:
        if (!kov_ctl_on_peer_agent_fnd(kov_ctl_last_find_agent_id(), &peer, n(0)))
            missed("on_peer_agent_fnd");
        break;
    case Verb::KovConnCfrm:
        if (!kov_ctl_on_svc_conn_cfrm(connecting_agent_id(), n(1), &peer, n(0)))
            missed("on_svc_conn_cfrm");
        break;
    case Verb::KovConnInd:
        if (!kov_ctl_on_svc_conn_ind(kov_ctl_agent_id(), 1, &peer))
            missed("on_svc_conn_ind");
        break;
    case Verb::KovTermInd:
        if (!kov_ctl_on_svc_term_ind(kov_ctl_service_handle(), n(0)))
            missed("on_svc_term_ind");
        break;
    case Verb::KovError:
        if (!kov_ctl_on_error(kov_ctl_agent_id(), n(0)))
            missed("on_error");
        break;
    case Verb::KovDeviceStatus:
        if (!kov_ctl_on_device_status(u(0), n(1)))
            missed("on_device_status");
        break;
    case Verb::KovData: {
        std::vector<char> data = bytes();
        if (!kov_ctl_on_data_ind(kov_ctl_service_handle(), kDataChannel, static_cast<unsigned int>(data.size()),
                                 data.data()))
            missed("on_data_ind");
        break;
    }
    case Verb::KovSendFile:
        if (!kov_ctl_on_send_file(n(0), path_arg(cmd, &path), kov_ctl_agent_id()))
            missed("on_send_file");
        break;
    case Verb::KovReceiveCompleted:
        if (!kov_ctl_on_receive_completed(kov_ctl_last_offer_transaction_id(), path_arg(cmd, &path), n(0)))
            missed("on_receive_completed");
        break;
    case Verb::BapData: {
        std::vector<char> data = bytes();
        if (bap_ctl_data_received(static_cast<unsigned int>(data.size()), data.data()) == 0)
            missed("a data received callback");
        break;
    }
    case Verb::BapFileIncoming:
        if (bap_ctl_file_incoming(n(0), path_arg(cmd, &path), n(1)) == 0)
            missed("a file incoming callback");
        break;
    case Verb::BapFileCompleted:
        if (bap_ctl_file_receiving_completed(n(0), path_arg(cmd, &path), n(1)) == 0)
            missed("a file receiving completed callback");
        break;
    case Verb::BapSendCompleted:
        if (bap_ctl_send_completed(n(0)) == 0)
            missed("a data send completed callback");
        break;
    case Verb::BapTransferDone: {
        // The daemon finishes the transfer the plugin accepted last, at the
        // path the plugin chose.
        const int id = bap_ctl_last_accepted_transfer();
        if (id == 0)
            sink_.note(alarmmgr_ctl_now(), "no accepted transfer to complete; nothing delivered");
        else if (bap_ctl_complete_transfer(id, n(0)) == 0)
            missed("a file receiving completed callback");
        break;
    }
    default:
        break;
    }
}

int Runner::on_event(lbs_consumer_event_s *event, void *user_data)
{
    auto *self = static_cast<Runner *>(user_data);
    if (event == nullptr)
        self->sink_.note(alarmmgr_ctl_now(), "the host callback was called without an event record");
    else
        self->sink_.event(alarmmgr_ctl_now(), *event);
    return 0;
}

void Runner::on_log(const dlog_ctl_line *line, void *user_data)
{
    auto *self = static_cast<Runner *>(user_data);
    std::string_view text = line->text != nullptr ? line->text : "";
    const LogPrefix prefix = split_log_prefix(text);
    self->sink_.log(alarmmgr_ctl_now(), line->prio, line->tag != nullptr ? line->tag : "", prefix.function,
                    prefix.message);
}

void Runner::on_alarm(const alarmmgr_ctl_traffic *traffic, void *user_data)
{
    static_cast<Runner *>(user_data)->sink_.alarm(alarmmgr_ctl_now(), *traffic);
}

void Runner::on_power(const device_power_ctl_call *call, void *user_data)
{
    static_cast<Runner *>(user_data)->sink_.power_lock(alarmmgr_ctl_now(), *call);
}

void Runner::on_kov(const kov_ctl_call *call, void *user_data)
{
    auto *self = static_cast<Runner *>(user_data);
    self->sink_.kov_call(alarmmgr_ctl_now(), *call);
    if (self->phone_)
        self->phone_->kov_call(*call);
}

void Runner::on_bap(const bap_ctl_call *call, void *user_data)
{
    auto *self = static_cast<Runner *>(user_data);
    self->sink_.bap_call(alarmmgr_ctl_now(), *call);
    if (self->phone_)
        self->phone_->bap_call(*call);
}

} // namespace lbs_sim
