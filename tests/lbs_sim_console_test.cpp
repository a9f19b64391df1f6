// lbs-sim's console end to end: a person at a terminal (a real pseudo-
// terminal: line editing, completion and history are libedit's own), and a
// script feeding lines through a pipe. What the session recorded must play
// back, with --trace, to the trace the session printed.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

#ifndef LBS_SIM
#error "LBS_SIM must name the lbs-sim under test"
#endif
#ifndef LBS_SIM_EMULATOR
#define LBS_SIM_EMULATOR ""
#endif

// Generous: a loaded 2-core machine, or qemu in the cross build.
constexpr auto kPatience = std::chrono::seconds(60);

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The command line that runs lbs-sim with args (under the emulator of a
// cross build).
std::vector<std::string> command(const std::vector<std::string> &args)
{
    std::vector<std::string> argv;
    std::istringstream emulator(LBS_SIM_EMULATOR);
    for (std::string word; std::getline(emulator, word, '|');)
        if (!word.empty())
            argv.push_back(word);
    argv.push_back(LBS_SIM);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

[[noreturn]] void exec(const std::vector<std::string> &argv)
{
    std::vector<char *> c;
    for (const std::string &a : argv)
        c.push_back(const_cast<char *>(a.c_str()));
    c.push_back(nullptr);
    ::execv(c[0], c.data());
    std::perror(c[0]);
    ::_exit(127);
}

class Workdir : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/lbs-sim-console-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        char real[PATH_MAX];
        ASSERT_NE(::realpath(tmpl, real), nullptr);
        dir_ = real;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    // lbs-sim --trace on a file, as a golden test runs it: its standard output.
    std::string replay(const std::string &scenario)
    {
        const std::string out = path("replay.trace");
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, STDOUT_FILENO);
            exec(command({"--trace", scenario}));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "replay of " << scenario;
        return read_file(out);
    }

    std::string dir_;
};

// lbs-sim on the slave side of a pseudo-terminal (standard input and error),
// its standard output in a file. The terminal is opened step by step rather
// than with forkpty() so that a failure names the step and its errno.
class Terminal {
public:
    Terminal(const std::vector<std::string> &args, const std::string &stdout_file, const std::string &cwd)
    {
        const int slave = open_terminal();
        if (slave < 0)
            return;
        pid_ = ::fork();
        if (pid_ < 0) {
            fail("fork");
            ::close(slave);
            return;
        }
        if (pid_ == 0) {
            ::close(master_);
            // A session of its own with the terminal as its controlling one.
            if (::setsid() < 0 || ::ioctl(slave, TIOCSCTTY, 0) != 0)
                ::_exit(125);
            ::dup2(slave, STDIN_FILENO);
            ::dup2(slave, STDERR_FILENO);
            if (slave > STDERR_FILENO)
                ::close(slave);
            const int fd = ::open(stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, STDOUT_FILENO);
            if (::chdir(cwd.c_str()) != 0)
                ::_exit(126);
            // A terminal every Debian system describes; no personal editrc.
            ::setenv("TERM", "vt100", 1);
            ::setenv("EDITRC", "/dev/null", 1);
            exec(command(args));
        }
        ::close(slave);
    }

    ~Terminal()
    {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            ::close(master_);
    }

    bool started() const { return pid_ > 0; }
    // The step that failed and its errno, when there is no terminal.
    const std::string &why() const { return why_; }
    // Types keys once the line editor has the terminal. The prompt can show
    // before the editor leaves canonical mode; a Ctrl-D typed in that moment
    // is taken by the terminal driver as end of file and reaches the editor
    // as a NUL byte once the mode changes, so the keys wait for it.
    void send(const std::string &keys)
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        for (struct termios mode {}; ::tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ICANON) != 0;) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the line editor never took the terminal";
            fill(10);
        }
        ASSERT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads what the terminal shows until text appears after what earlier
    // calls consumed; false when it does not come in time.
    bool expect(const std::string &text)
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        for (;;) {
            const size_t at = screen_.find(text, seen_);
            if (at != std::string::npos) {
                seen_ = at + text.size();
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !fill(static_cast<int>(left.count())))
                return false;
        }
    }

    // Waits for the end of the session: its exit status, or -1.
    int wait()
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (fill(100) || std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        return -1;
    }

    const std::string &screen() const { return screen_; }

private:
    // The master side in master_, 40 rows by 120 columns; the slave side's
    // descriptor, or -1.
    int open_terminal()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0)
            return fail("posix_openpt");
        if (::grantpt(master_) != 0)
            return fail("grantpt");
        if (::unlockpt(master_) != 0)
            return fail("unlockpt");
        char name[64];
        if (::ptsname_r(master_, name, sizeof name) != 0)
            return fail("ptsname_r");
        const int slave = ::open(name, O_RDWR | O_NOCTTY);
        if (slave < 0)
            return fail(std::string("open ") + name);
        struct winsize size {};
        size.ws_row = 40;
        size.ws_col = 120;
        if (::ioctl(slave, TIOCSWINSZ, &size) != 0) {
            fail("TIOCSWINSZ");
            ::close(slave);
            return -1;
        }
        return slave;
    }

    int fail(const std::string &step)
    {
        why_ = step + ": " + std::strerror(errno);
        return -1;
    }

    // Appends what the terminal shows within ms; false when nothing came.
    bool fill(int ms)
    {
        struct pollfd p {master_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return false;
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0)
            return false;
        screen_.append(buf, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int master_ = -1;
    std::string why_;
    bool reaped_ = false;
    std::string screen_;
    size_t seen_ = 0;
};

// The session a person has at the terminal: a scenario to begin with, words
// completed with TAB, a line that cannot be read, help, a command taken
// from the history with the up arrow, quit.
TEST_F(Workdir, TerminalSessionEditsCompletesRemembersAndRecordsWhatRan)
{
    write_file(path("start.scn"), "set memory/wms/wmanager_connected bool 1\nkov connected 1\n");
    const std::string trace = path("session.trace"), recorded = path("recorded.scn");
    Terminal t({"--interactive", "--trace", "--record", recorded, "start.scn"}, trace, dir_);
    ASSERT_TRUE(t.started()) << t.why();

    ASSERT_TRUE(t.expect("lbs-sim 0s> ")) << t.screen();
    t.send("ini\t\r"); // completes to "init "
    ASSERT_TRUE(t.expect("lbs-sim 0s> ")) << t.screen();
    t.send("kov reg\t0 7\r"); // regi_cfrm
    ASSERT_TRUE(t.expect("lbs-sim 0s> ")) << t.screen();
    t.send("request STA\tmeth\t2 interval=0\r"); // START_SESSION, method=
    ASSERT_TRUE(t.expect("lbs-sim 0s> ")) << t.screen();
    t.send("fly to the moon\r");
    ASSERT_TRUE(t.expect("console:4: unknown verb 'fly'")) << t.screen();
    ASSERT_TRUE(t.expect("lbs-sim 0s> ")) << t.screen();
    t.send("help kov regi_cfrm\r");
    ASSERT_TRUE(t.expect("kov regi_cfrm RESULT AGENT_ID")) << t.screen();
    ASSERT_TRUE(t.expect("example: kov regi_cfrm 0 7")) << t.screen();
    t.send("advance 5\r");
    ASSERT_TRUE(t.expect("lbs-sim 5s> ")) << t.screen();
    t.send("\x1b[A\r"); // advance 5 again
    ASSERT_TRUE(t.expect("lbs-sim 10s> ")) << t.screen();
    t.send("quit\r");
    ASSERT_EQ(t.wait(), 0) << t.screen();

    // What the session printed, on standard output only.
    const std::string expected_trace = "0 call registerServiceAgent\n"
                                       "0 return 1\n"
                                       "0 event PROVIDER_CONNECTED error=0\n"
                                       "0 call findPeerAgent agent=7\n"
                                       "0 event START_SESSION error=0 method=2\n"
                                       "0 return 1\n";
    EXPECT_EQ(read_file(trace), expected_trace);
    // Every command that ran, as completed; not the line refused nor help.
    EXPECT_EQ(read_file(recorded), "# Recorded by lbs-sim: every command that ran, in order. Played with\n"
                                   "# lbs-sim --trace it gives the trace of the session that recorded it.\n"
                                   "set memory/wms/wmanager_connected bool 1\n"
                                   "kov connected 1\n"
                                   "init\n"
                                   "kov regi_cfrm 0 7\n"
                                   "request START_SESSION method=2 interval=0\n"
                                   "advance 5\n"
                                   "advance 5\n");
    EXPECT_EQ(replay(recorded), read_file(trace));
}

// End of input ends a session too (Ctrl-D at a terminal).
TEST_F(Workdir, EndOfInputAtTheTerminalEndsTheSession)
{
    Terminal t({"--interactive"}, path("out"), dir_);
    ASSERT_TRUE(t.started()) << t.why();
    ASSERT_TRUE(t.expect("lbs-sim 0s> ")) << t.screen();
    t.send("\x04");
    EXPECT_EQ(t.wait(), 0) << t.screen();
    // The timeline ends with its summary.
    EXPECT_NE(read_file(path("out")).find("summary"), std::string::npos);
}

// Lines from a pipe: no prompt; the phone plays a track given relative to
// the working directory, and the recording, made elsewhere, still finds it.
TEST_F(Workdir, PipedSessionRecordsATrackThatReplaysFromAnotherDirectory)
{
    ASSERT_EQ(::mkdir(path("tracks").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(path("rec").c_str(), 0755), 0);
    write_file(path("tracks/line.gpx"),
               "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
               "<trk><trkseg><trkpt lat=\"52.52\" lon=\"13.40\"><time>2026-01-01T00:00:00Z</time></trkpt>"
               "<trkpt lat=\"52.53\" lon=\"13.40\"><time>2026-01-01T00:10:00Z</time></trkpt></trkseg></trk></gpx>\n");
    const std::string lines = "set memory/wms/wmanager_connected bool 1\n"
                              "phone track tracks/line.gpx\n"
                              "phone on\n"
                              "init\n"
                              "request STRAT_SESSION method=1 interval=2\n"
                              "request START_SESSION method=1 interval=2\n"
                              "advance 6\n";
    write_file(path("lines"), lines);
    const std::string trace = path("session.trace"), recorded = path("rec/session.scn");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(path("lines").c_str(), O_RDONLY), STDIN_FILENO);
        ::dup2(::open(trace.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        ::dup2(::open(path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        if (::chdir(dir_.c_str()) != 0)
            ::_exit(126);
        exec(command({"--interactive", "--trace", "--record", recorded}));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read_file(path("err"));
    EXPECT_EQ(read_file(path("err")), "console:5: unknown request code 'STRAT_SESSION'\n");
    // Three fixes, 2 s apart.
    const std::string out = read_file(trace);
    size_t fixes = 0;
    for (size_t at = out.find("event POSITION_GPS error=0"); at != std::string::npos;
         at = out.find("event POSITION_GPS error=0", at + 1))
        ++fixes;
    EXPECT_EQ(fixes, 3u) << out;
    const std::string rec = read_file(recorded);
    EXPECT_NE(rec.find("phone track " + dir_), std::string::npos) << rec;
    EXPECT_EQ(replay(recorded), out);
}

} // namespace
