// Start-up of Korvo against a minimal Qt Widgets window: time from launch to the end of the
// process and peak resident memory, with each program leaving right after its first frame
// (KORVO_EXIT_AFTER_FIRST_FRAME=1). Runs alternate between the two so that a slow spell of the
// machine hits both alike; medians are reported.
//
// Plain C++ without Qt on purpose: a child's peak RSS can never read below the RSS of the process
// it was spawned from, so the driver must stay much smaller than what it measures.
//
// Usage: startup_compare <korvo> <minimal_window> [runs, default 20]
#include <algorithm>
#include <cerrno>
#include <chrono>
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
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// A saved file with every value away from its default, so start-up restores all five.
constexpr const char* kSettings = "98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n";

struct Sample
{
    double ms = 0;
    double mib = 0;
};

struct Series
{
    std::vector<double> ms, mib;
    void add(const Sample& s)
    {
        ms.push_back(s.ms);
        mib.push_back(s.mib);
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs one program to its end; nullopt when it could not start or did not exit cleanly.
std::optional<Sample> runOnce(const fs::path& program, const std::vector<std::string>& env)
{
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};

    // Its chatter (a missing runtime folder and the like) would only blur the table.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", path.c_str(), std::strerror(spawned));
        return std::nullopt;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not exit cleanly (status %d)\n", path.c_str(), status);
        return std::nullopt;
    }
    return Sample{std::chrono::duration<double, std::milli>(end - start).count(),
                  static_cast<double>(usage.ru_maxrss) / 1024.0};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <korvo> <minimal_window> [runs]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;

    // Korvo reads bpm_data.ini beside its executable and, failing that, in the user's
    // configuration folder; a private copy of each program and an empty configuration folder keep
    // the build folder and the user's own file out of the measurement.
    char pattern[] = "/tmp/korvo-startup-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    fs::create_directories(root / "config");
    struct Scenario
    {
        const char* name;
        fs::path dir;
        bool withSettings;
        Series korvo, minimal;
    };
    std::vector<Scenario> scenarios = {{"settings file absent", root / "absent", false, {}, {}},
                                       {"settings file present", root / "present", true, {}, {}}};
    for (Scenario& s : scenarios) {
        fs::create_directories(s.dir);
        fs::copy_file(argv[1], s.dir / "korvo");
        fs::copy_file(argv[2], s.dir / "minimal_window");
        if (s.withSettings)
            std::ofstream(s.dir / "bpm_data.ini", std::ios::binary) << kSettings;
    }

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("XDG_CONFIG_HOME=", 0) != 0 &&
            entry.rfind("KORVO_EXIT_AFTER_FIRST_FRAME=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("KORVO_EXIT_AFTER_FIRST_FRAME=1");
    env.push_back("XDG_CONFIG_HOME=" + (root / "config").string());

    bool ok = true;
    for (Scenario& s : scenarios) {
        // One unmeasured run each warms the page cache and fontconfig's cache.
        ok = runOnce(s.dir / "korvo", env) && runOnce(s.dir / "minimal_window", env) && ok;
        for (int i = 0; i < runs && ok; ++i) {
            const std::optional<Sample> k = runOnce(s.dir / "korvo", env);
            const std::optional<Sample> m = runOnce(s.dir / "minimal_window", env);
            ok = k && m;
            if (ok) {
                s.korvo.add(*k);
                s.minimal.add(*m);
            }
        }
        // The benchmark exit must leave the settings exactly as they were.
        const bool fileThere = fs::exists(s.dir / "bpm_data.ini");
        if (fileThere != s.withSettings || (fileThere && readAll(s.dir / "bpm_data.ini") != kSettings) ||
            !fs::is_empty(root / "config")) {
            std::fprintf(stderr, "%s: the settings file was written during the benchmark\n", s.name);
            ok = false;
        }
    }
    fs::remove_all(root);
    if (!ok)
        return 1;

    constexpr double kTimeTarget = 1.25, kMemoryTarget = 1.15;
    std::printf("%d runs each, QT_QPA_PLATFORM=offscreen, medians\n\n", runs);
    std::printf("%-22s %-15s %12s %14s\n", "scenario", "program", "start-up ms", "peak RSS MiB");
    for (const Scenario& s : scenarios) {
        std::printf("%-22s %-15s %12.1f %14.1f\n", s.name, "korvo", median(s.korvo.ms), median(s.korvo.mib));
        std::printf("%-22s %-15s %12.1f %14.1f\n", "", "minimal window", median(s.minimal.ms),
                    median(s.minimal.mib));
    }
    std::printf("\n%-22s %18s %18s\n", "scenario", "time ratio", "memory ratio");
    for (const Scenario& s : scenarios) {
        const double time = median(s.korvo.ms) / median(s.minimal.ms);
        const double memory = median(s.korvo.mib) / median(s.minimal.mib);
        std::printf("%-22s %10.3f %-7s %10.3f %-7s\n", s.name, time,
                    time <= kTimeTarget ? "(met)" : "(missed)", memory,
                    memory <= kMemoryTarget ? "(met)" : "(missed)");
    }
    std::printf("\ntargets: start-up within %.2fx, peak memory within %.2fx of the minimal window\n",
                kTimeTarget, kMemoryTarget);
    return 0;
}
