// Start-up of Korvo against a minimal Qt Widgets window, on the two platforms a start can meet:
// offscreen, and a real X server (a private Xvfb that this program starts and stops). Each program
// leaves right after its first frame (bench/korvo_firstframe, bench/minimal_window). Runs alternate
// between the two so that a slow spell of the machine hits both alike.
//
// Figures per program: the wall time from launch to the end of the process, the CPU time of the
// process (user + system, from wait4), the peak resident memory, and, where valgrind is installed,
// the instructions of one run under callgrind. Wall time on a shared machine swings with whatever
// else runs; CPU time swings much less and instructions hardly at all, so the ratios of those tell
// a real gain from noise.
//
// Plain C++ without Qt on purpose: the driver must stay small beside what it measures (a child's
// peak RSS is counted from its own exec on, but a heavy parent would still crowd the machine), and
// the X server is a separate process whose work is never added to a child's CPU time.
//
// Usage: startup_compare <korvo_firstframe> <minimal_window> [runs, default 30] [--no-callgrind]
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr double kTimeTarget = 1.25, kMemoryTarget = 1.15;

// A saved file with every value away from its default, so start-up restores all five.
constexpr const char* kSettings = "98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n";

struct Sample
{
    double wallMs = 0;
    double cpuMs = 0;
    double mib = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The middle half of the values: the quartiles, linearly interpolated.
std::pair<double, double> quartiles(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        const double pos = q * static_cast<double>(v.size() - 1);
        const auto lo = static_cast<std::size_t>(pos);
        const std::size_t hi = std::min(lo + 1, v.size() - 1);
        return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
    };
    return {at(0.25), at(0.75)};
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> p;
    for (std::string& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Starts a program with its output going to the given file (or nowhere); 0 when it could not start.
pid_t spawn(std::vector<std::string> argv, std::vector<std::string> env, const char* output = "/dev/null")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args = pointers(argv);
    std::vector<char*> envp = pointers(env);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(spawned));
        return 0;
    }
    return pid;
}

// Runs one program to its end; nullopt when it could not start or did not exit cleanly.
std::optional<Sample> runOnce(const fs::path& program, const std::vector<std::string>& env)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn({program.string()}, env);
    if (pid == 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not exit cleanly (status %d)\n", program.c_str(), status);
        return std::nullopt;
    }
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return Sample{std::chrono::duration<double, std::milli>(end - start).count(),
                  ms(usage.ru_utime) + ms(usage.ru_stime), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

// Instructions of one run under callgrind, from its summary line; nullopt when that failed.
// Valgrind runs in the process it was started as, so the summary carries the spawned pid.
std::optional<double> instructions(const fs::path& program, const std::vector<std::string>& env,
                                   const fs::path& log)
{
    const pid_t pid = spawn({"valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
                             "--log-file=" + log.string(), program.string()},
                            env);
    if (pid == 0)
        return std::nullopt;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // The summary of the process itself: a child it forks (Qt may start a D-Bus helper) writes
    // its own to the same log.
    const std::string text = readAll(log);
    const std::string summary = "==" + std::to_string(pid) + "== Collected : ";
    const std::size_t at = text.find(summary);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos)
        return std::nullopt;
    std::string digits;
    for (std::size_t i = at + summary.size(); i < text.size() && text[i] != '\n'; ++i)
        if (text[i] >= '0' && text[i] <= '9')
            digits += text[i];
    return digits.empty() ? std::nullopt : std::optional<double>(std::stod(digits));
}

bool onPath(const char* name)
{
    const char* path = std::getenv("PATH");
    if (!path)
        return false;
    std::string dirs = path;
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t to = std::min(dirs.find(':', from), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(from, to - from)) / name;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        from = to + 1;
    }
    return false;
}

// A private X server for the xcb runs, stopped when this object goes.
class PrivateXServer
{
public:
    // Starts Xvfb and waits until it names its display; display() is empty when that failed.
    explicit PrivateXServer(const fs::path& folder)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, (folder / "xvfb.log").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                         "-screen",   "0",          "1280x1024x24",
                                         "-nolisten", "tcp",        "-noreset"};
        std::vector<char*> args = pointers(argv);
        const int spawned = posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            m_pid = 0;
            close(fds[0]);
            return;
        }
        // Xvfb writes the display number once it accepts connections.
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            m_display = ":" + number;
    }
    ~PrivateXServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = 0;
    std::string m_display;
};

struct Series
{
    std::vector<Sample> samples;
    std::optional<double> instructions;

    std::vector<double> pick(double Sample::*field) const
    {
        std::vector<double> v;
        for (const Sample& s : samples)
            v.push_back(s.*field);
        return v;
    }
};

struct Platform
{
    std::string name;
    std::vector<std::string> env;
    Series korvo, minimal;
};

// The ratio of the medians, with the middle half of the run-by-run ratios (each Korvo run against
// the minimal run right after it) as its spread.
void printRatio(const char* what, const Platform& p, double Sample::*field, double target)
{
    const std::vector<double> k = p.korvo.pick(field), m = p.minimal.pick(field);
    std::vector<double> pairs;
    for (std::size_t i = 0; i < k.size(); ++i)
        pairs.push_back(k[i] / m[i]);
    const double ratio = median(k) / median(m);
    const auto [low, high] = quartiles(pairs);
    std::printf("  %-22s %7.3f  (runs %.3f-%.3f)  target %.2f %s\n", what, ratio, low, high, target,
                ratio <= target ? "met" : "MISSED");
}

void printSeries(const char* name, const Series& s)
{
    const auto cell = [&](double Sample::*field) {
        const std::vector<double> v = s.pick(field);
        const auto [low, high] = quartiles(v);
        char text[64];
        std::snprintf(text, sizeof text, "%7.1f (%6.1f-%6.1f)", median(v), low, high);
        return std::string(text);
    };
    std::printf("  %-15s %s  %s  %s", name, cell(&Sample::wallMs).c_str(), cell(&Sample::cpuMs).c_str(),
                cell(&Sample::mib).c_str());
    if (s.instructions)
        std::printf("  %8.1f M", *s.instructions / 1e6);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto noCallgrind = std::find(args.begin(), args.end(), "--no-callgrind");
    bool callgrind = noCallgrind == args.end();
    if (!callgrind)
        args.erase(noCallgrind);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s <korvo_firstframe> <minimal_window> [runs] [--no-callgrind]\n",
                     argv[0]);
        return 2;
    }
    const int runs = args.size() > 2 ? std::max(1, std::atoi(args[2].c_str())) : 30;
    callgrind = callgrind && onPath("valgrind");

    // Korvo reads bpm_data.ini beside its executable and, failing that, in the user's
    // configuration folder; a private copy of each program and an empty configuration folder keep
    // the build folder and the user's own file out of the measurement.
    char pattern[] = "/tmp/korvo-startup-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path dir = root / "program";
    fs::create_directories(root / "config");
    fs::create_directories(dir);
    fs::copy_file(args[0], dir / "korvo");
    fs::copy_file(args[1], dir / "minimal_window");
    std::ofstream(dir / "bpm_data.ini", std::ios::binary) << kSettings;

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("XDG_CONFIG_HOME=", 0) != 0 &&
            entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            entry.rfind("XAUTHORITY=", 0) != 0 && entry.rfind("QT_SCALE_FACTOR=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("XDG_CONFIG_HOME=" + (root / "config").string());

    std::vector<Platform> platforms;
    platforms.push_back({"offscreen", env, {}, {}});
    platforms.back().env.push_back("QT_QPA_PLATFORM=offscreen");

    std::optional<PrivateXServer> xserver;
    std::string xNote;
    if (!onPath("Xvfb")) {
        xNote = "xcb skipped: Xvfb is not installed (Debian package xvfb)";
    } else {
        xserver.emplace(root);
        if (xserver->display().empty()) {
            xNote = "xcb skipped: Xvfb did not start";
        } else {
            platforms.push_back({"xcb (Xvfb)", env, {}, {}});
            platforms.back().env.push_back("QT_QPA_PLATFORM=xcb");
            platforms.back().env.push_back("DISPLAY=" + xserver->display());
        }
    }

    bool ok = true;
    for (Platform& p : platforms) {
        // Unmeasured runs first warm the page cache and fontconfig's cache.
        for (int i = 0; i < 2 && ok; ++i)
            ok = runOnce(dir / "korvo", p.env) && runOnce(dir / "minimal_window", p.env);
        for (int i = 0; i < runs && ok; ++i) {
            const std::optional<Sample> k = runOnce(dir / "korvo", p.env);
            const std::optional<Sample> m = runOnce(dir / "minimal_window", p.env);
            ok = k && m;
            if (ok) {
                p.korvo.samples.push_back(*k);
                p.minimal.samples.push_back(*m);
            }
        }
        if (ok && callgrind) {
            p.korvo.instructions = instructions(dir / "korvo", p.env, root / "callgrind.log");
            p.minimal.instructions = instructions(dir / "minimal_window", p.env, root / "callgrind.log");
        }
    }
    // Leaving after the first frame must leave the settings exactly as they were.
    if (ok && (readAll(dir / "bpm_data.ini") != kSettings || !fs::is_empty(root / "config"))) {
        std::fprintf(stderr, "the settings file was written during the benchmark\n");
        ok = false;
    }
    xserver.reset();
    if (!ok) {
        std::fprintf(stderr, "kept for a look: %s\n", root.c_str());
        return 1;
    }
    fs::remove_all(root);

    std::printf("%d alternating runs each, settings file present; medians, the middle half of the runs in "
                "brackets\n",
                runs);
    for (const Platform& p : platforms) {
        std::printf("\n%s\n  %-15s %-23s  %-23s  %-23s%s\n", p.name.c_str(), "program", "wall ms", "CPU ms",
                    "peak RSS MiB", p.korvo.instructions ? "  instructions" : "");
        printSeries("korvo", p.korvo);
        printSeries("minimal window", p.minimal);
        printRatio("time (wall)", p, &Sample::wallMs, kTimeTarget);
        printRatio("time (CPU)", p, &Sample::cpuMs, kTimeTarget);
        printRatio("peak memory", p, &Sample::mib, kMemoryTarget);
        if (p.korvo.instructions && p.minimal.instructions) {
            const double ratio = *p.korvo.instructions / *p.minimal.instructions;
            std::printf("  %-22s %7.3f  (one run each)      target %.2f %s\n", "instructions", ratio,
                        kTimeTarget, ratio <= kTimeTarget ? "met" : "MISSED");
        }
    }
    if (!xNote.empty())
        std::printf("\n%s\n", xNote.c_str());
    if (!callgrind)
        std::printf("\ninstructions not counted: valgrind is not installed, or --no-callgrind was given\n");
    return 0;
}
