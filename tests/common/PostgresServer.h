#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A real PostgreSQL server of Debian's `postgresql` package for the tests and benchmarks: a fresh
// cluster in a temporary directory, listening on a free port of 127.0.0.1 and on a Unix socket in
// that directory, stopped and removed at the end. The server refuses to run as root, so as root
// its programs run as the package's `postgres` user. Qt-free, so that any test program can use it.
//
// The cluster's superuser `postgres` connects through the socket without a password (to set up and
// look behind the program's back); the role `vimora` owns the base `vimora` and connects over TCP
// with a password that libpq reads from the password file the server names in PGPASSFILE.
namespace testcommon {

class PostgresServer {
public:
    static constexpr const char* kRole = "vimora";
    static constexpr const char* kPassword = "mot-de-passe-de-test";

    /// The folder of the newest installed server's programs (/usr/lib/postgresql/<version>/bin),
    /// or nothing.
    static std::optional<std::filesystem::path> binDirectory() {
        std::optional<std::filesystem::path> newest;
        int newestVersion = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
            const std::string name = entry.path().filename().string();
            const int version = std::atoi(name.c_str());
            const auto bin = entry.path() / "bin";
            if (version > newestVersion && std::filesystem::exists(bin / "initdb") &&
                std::filesystem::exists(bin / "pg_ctl") && std::filesystem::exists(bin / "psql")) {
                newest = bin;
                newestVersion = version;
            }
        }
        return newest;
    }

    /// Why no server can be started here, or empty when one can: what a skipped test says.
    static std::string missing() {
        if (!binDirectory()) {
            return "PostgreSQL server not installed (Debian package postgresql, "
                   "/usr/lib/postgresql/<version>/bin): "
                   "run make deps";
        }
        if (geteuid() == 0 && getpwnam("postgres") == nullptr)
            return "running as root without the postgres system user of the postgresql package";
        return {};
    }

    /// Creates and starts the cluster; throws std::runtime_error with the server's output when it
    /// cannot. `durable`: every commit reaches the disk, as on a clinic's server (benchmarks); the
    /// tests leave it out for speed.
    explicit PostgresServer(bool durable = false)
        : m_bin(binDirectory().value_or("/usr/lib/postgresql/bin"))
        , m_durable(durable) {
        std::string pattern = (std::filesystem::temp_directory_path() / "vimora-pg-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no temporary directory for the server");
        m_directory = pattern;
        watchOver();
        try {
            setUp();
        } catch (...) {
            shutDown();
            throw;
        }
    }

    ~PostgresServer() { shutDown(); }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    int port() const { return m_port; }
    const std::filesystem::path& directory() const { return m_directory; }
    /// The password file libpq reads (PGPASSFILE), holding the role's password.
    const std::string& passFile() const { return m_passFile; }

    /// The libpq URI of `base` for `role` over TCP on 127.0.0.1, `parameters` appended as given.
    std::string uri(std::string_view base = "vimora", std::string_view role = kRole,
                    std::string_view parameters = "") const {
        std::string text = "postgresql://" + std::string(role) + "@127.0.0.1:" + std::to_string(m_port) +
                           "/" + std::string(base);
        if (!parameters.empty())
            text += "?" + std::string(parameters);
        return text;
    }

    /// A password file with `password` for every base of this server, for the role.
    void writePassFile(const std::string& path, std::string_view password) const {
        std::ofstream(path) << "127.0.0.1:" << m_port << ":*:" << kRole << ":" << password << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write);
    }

    /// A new, empty base owned by the role.
    void createBase(const std::string& name) const {
        sql("CREATE DATABASE \"" + name + "\" OWNER " + kRole);
        sql("REVOKE ALL ON DATABASE \"" + name + "\" FROM PUBLIC");
        sql(std::string("GRANT ALL ON SCHEMA public TO ") + kRole, name);
    }

    /// Runs `statements` in `base` as the superuser; returns what they print (unaligned, no
    /// headers). Throws std::runtime_error when one fails.
    std::string sql(const std::string& statements, const std::string& base = "postgres") const {
        return run(psql(base, {"-c", statements}), "psql");
    }

    /// Runs the psql script `path` in `base` as the superuser, with the psql variable
    /// `assignment` ("name=value").
    std::string script(const std::string& path, const std::string& base,
                       const std::string& assignment) const {
        return run(psql(base, {"-v", assignment, "-f", path}), "psql");
    }

    /// Asks `query` until it prints `expected` (30 s at most); true when it did.
    bool waitFor(const std::string& query, const std::string& expected, const std::string& base) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < end) {
            try {
                if (sql(query, base) == expected + "\n")
                    return true;
            } catch (const std::runtime_error&) {
                // The server may be starting or stopping.
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    void start() {
        std::string options(
            "-c listen_addresses=127.0.0.1 -c max_connections=40 -c max_prepared_transactions=2");
        options.append(" -p ").append(std::to_string(m_port)).append(" -k ").append(m_directory.string());
        if (!m_durable)
            options.append(" -c fsync=off");
        run(asServerUser(pgCtl(
                {"start", "-w", "-t", "60", "-l", (m_directory / "server.log").string(), "-o", options})),
            "pg_ctl start");
    }

    /// Stops the server the way an administrator does: open sessions are ended, their
    /// transactions rolled back.
    void stop() { run(asServerUser(pgCtl({"stop", "-w", "-m", "fast"})), "pg_ctl stop"); }

    /// Kills the server and every one of its processes at once, as a power cut would.
    void kill() {
        killAll();
        // The dead server's lock files would make the next start wait for it.
        std::error_code ignored;
        std::filesystem::remove(data() / "postmaster.pid", ignored);
        std::filesystem::remove(m_directory / (".s.PGSQL." + std::to_string(m_port) + ".lock"), ignored);
    }

private:
    std::filesystem::path data() const { return m_directory / "data"; }

    void setUp() {
        giveToServerUser(m_directory);
        writeOwned(m_directory / "superuser-password", "unused\n");
        run(asServerUser({(m_bin / "initdb").string(), "-D", data().string(), "-U", "postgres", "-E", "UTF8",
                          "--locale=C.UTF-8", "--auth-local=trust", "--auth-host=scram-sha-256", "--no-sync",
                          "--pwfile=" + (m_directory / "superuser-password").string()}),
            "initdb");
        // A port taken between the probe and the start is tried again with another.
        for (int attempt = 0;; ++attempt) {
            m_port = freePort();
            try {
                start();
                break;
            } catch (const std::runtime_error&) {
                if (attempt == 2)
                    throw;
            }
        }
        sql(std::string("CREATE ROLE ") + kRole + " LOGIN PASSWORD '" + kPassword + "'");
        createBase("vimora");
        m_passFile = (m_directory / "pgpass").string();
        writePassFile(m_passFile, kPassword);
        setenv("PGPASSFILE", m_passFile.c_str(), 1);
    }

    /// Stops the server at once and removes its directory.
    void removeServer() const noexcept {
        try {
            if (running())
                run(asServerUser(pgCtl({"stop", "-m", "immediate"})), "pg_ctl stop");
        } catch (const std::runtime_error&) {
            killAll();
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_directory, ignored);
    }

    void shutDown() noexcept {
        removeServer();
        if (m_watchdog > 0) {
            close(m_watchdogPipe);
            waitpid(m_watchdog, nullptr, 0);
            m_watchdog = -1;
        }
    }

    // A process that outlives this one only to stop the server and remove its directory when this
    // one ends without doing so (a crash, a kill): it waits for the end of a pipe that only this
    // process and its forks hold, since the programs they start do not inherit it.
    void watchOver() {
        std::array<int, 2> ends{};
        if (pipe(ends.data()) != 0)
            return;
        fcntl(ends[1], F_SETFD, FD_CLOEXEC);
        const pid_t watchdog = fork();
        if (watchdog == 0) {
            close(ends[1]);
            for (const int signal : {SIGINT, SIGTERM, SIGHUP})
                std::signal(signal, SIG_IGN);
            char byte = 0;
            while (read(ends[0], &byte, 1) != 0 && errno == EINTR) {
            }
            removeServer();
            _exit(0);
        }
        close(ends[0]);
        m_watchdog = watchdog;
        m_watchdogPipe = ends[1];
    }

    bool running() const { return std::filesystem::exists(data() / "postmaster.pid"); }

    std::vector<std::string> pgCtl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {(m_bin / "pg_ctl").string(), "-D", data().string()});
        return arguments;
    }

    std::vector<std::string> psql(const std::string& base, const std::vector<std::string>& more) const {
        std::vector<std::string> arguments{(m_bin / "psql").string(),
                                           "-X",
                                           "-q",
                                           "-A",
                                           "-t",
                                           "-v",
                                           "ON_ERROR_STOP=1",
                                           "-h",
                                           m_directory.string(),
                                           "-p",
                                           std::to_string(m_port),
                                           "-U",
                                           "postgres",
                                           "-d",
                                           base};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    static std::vector<std::string> asServerUser(std::vector<std::string> arguments) {
        if (geteuid() == 0)
            arguments.insert(arguments.begin(), {"runuser", "-u", "postgres", "--"});
        return arguments;
    }

    static void giveToServerUser(const std::filesystem::path& path) {
        if (geteuid() != 0)
            return;
        const passwd* user = getpwnam("postgres");
        if (user == nullptr || chown(path.c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot give " + path.string() + " to the postgres user");
    }

    static void writeOwned(const std::filesystem::path& path, std::string_view text) {
        std::ofstream(path) << text;
        giveToServerUser(path);
    }

    [[noreturn]] static void execArguments(const std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        // The server's programs must not inherit the tests' libpq settings.
        unsetenv("PGPASSFILE");
        unsetenv("PGPASSWORD");
        execvp(argv[0], argv.data());
        _exit(127);
    }

    /// Runs a program to its end; returns its standard output, throws with both outputs when it
    /// fails.
    static std::string run(const std::vector<std::string>& arguments, const std::string& what) {
        char outputName[] = "/tmp/vimora-pg-output-XXXXXX";
        const int output = mkstemp(outputName);
        if (output < 0)
            throw std::runtime_error("no temporary file for " + what);
        unlink(outputName);
        const pid_t child = fork();
        if (child == 0) {
            const int null = open("/dev/null", O_RDONLY);
            dup2(null, STDIN_FILENO);
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
            execArguments(arguments);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        std::string text;
        lseek(output, 0, SEEK_SET);
        char buffer[4096];
        for (ssize_t count = 0; (count = read(output, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(count));
        close(output);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            throw std::runtime_error(what + " failed: " + text);
        return text;
    }

    static int freePort() {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (bind(probe, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        close(probe);
        if (port == 0)
            throw std::runtime_error("no free port on 127.0.0.1");
        return port;
    }

    /// The server's process and its children, read from postmaster.pid and /proc.
    std::vector<pid_t> serverProcesses() const {
        std::ifstream pidFile(data() / "postmaster.pid");
        pid_t server = 0;
        if (!(pidFile >> server) || server <= 0)
            return {};
        std::vector<pid_t> processes{server};
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            const pid_t pid = std::atoi(entry.path().filename().c_str());
            if (pid <= 0)
                continue;
            std::ifstream stat(entry.path() / "stat");
            const std::string line{std::istreambuf_iterator<char>(stat), std::istreambuf_iterator<char>()};
            // pid (name) state ppid ...: the name may hold spaces, the last ')' ends it.
            const std::size_t end = line.rfind(')');
            if (end == std::string::npos)
                continue;
            std::istringstream rest(line.substr(end + 1));
            char state = 0;
            pid_t parent = 0;
            rest >> state >> parent;
            if (parent == server)
                processes.push_back(pid);
        }
        return processes;
    }

    static bool gone(pid_t pid) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        const std::string line{std::istreambuf_iterator<char>(stat), std::istreambuf_iterator<char>()};
        const std::size_t end = line.rfind(')');
        return end == std::string::npos || line.substr(end + 2, 1) == "Z";
    }

    void killAll() const {
        const std::vector<pid_t> processes = serverProcesses();
        for (const pid_t pid : processes)
            ::kill(pid, SIGKILL);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end &&
               !std::all_of(processes.begin(), processes.end(), gone))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::filesystem::path m_bin;
    std::filesystem::path m_directory;
    std::string m_passFile;
    int m_port = 0;
    bool m_durable = false;
    pid_t m_watchdog = -1;
    int m_watchdogPipe = -1;
};

} // namespace testcommon
