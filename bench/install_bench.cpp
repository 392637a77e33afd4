// The installed game: its size on disk and in the package, and the time from
// launching the installed (stripped) binary to its first swapped frame. Needs
// a display, like app_bench:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/install_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

long long now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

std::string q(const std::string& s) { return "'" + s + "'"; }

// Clean-up commands whose failure changes nothing measured.
void remove_all(const std::string& paths) {
    const int rc = system(("rm -rf " + paths).c_str());
    (void)rc;
}

std::string out_of(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// A scratch folder with the game installed (stripped, as the package has it)
// under <dir>/usr; removed at exit.
struct Installed {
    std::string dir;
    bool ok = false;
    Installed() {
        char tmpl[] = "/tmp/murkwell-install-bench-XXXXXX";
        if (!mkdtemp(tmpl)) return;
        dir = tmpl;
        ok = system((std::string(CMAKE_COMMAND) + " --install " + q(MURKWELL_BINARY_DIR) + " --strip --prefix " +
                     q(dir + "/usr") + " >/dev/null").c_str()) == 0;
    }
    ~Installed() {
        if (!dir.empty()) remove_all(q(dir));
    }
};

Installed& installed() {
    static Installed i;
    return i;
}

// Launch to the first swapped frame: the clock starts before fork, as in
// app_bench; the preloaded shim stamps the first SDL_GL_SwapBuffers.
void start_to_first_frame(benchmark::State& state, const std::string& exe) {
    Installed& inst = installed();
    if (!inst.ok || !getenv("DISPLAY")) {
        state.SkipWithError("no install tree or no DISPLAY");
        return;
    }
    const std::string stamp = inst.dir + "/first-swap.txt";
    for (auto _ : state) {
        const std::string home = inst.dir + "/home";
        remove_all(q(home) + " " + q(stamp));
        const long long started = now_ns();
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            setenv("APPDATA", home.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("LD_PRELOAD", FIRST_SWAP_SHIM, 1);
            setenv("MURKWELL_FIRST_SWAP", stamp.c_str(), 1);
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        long long first = 0;
        for (int waited = 0; waited < 60000 && first == 0; ++waited) {
            std::ifstream in(stamp);
            std::string word;
            if (!(in >> word >> first)) first = 0;
            if (first == 0) usleep(1000);
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        if (first == 0) {
            state.SkipWithError("the installed game swapped no frame within a minute");
            return;
        }
        state.SetIterationTime(double(first - started) / 1e9);
    }
}

// The installed, stripped binary finding its data in ../share/murkwell.
void BM_InstalledStartToFirstFrame(benchmark::State& state) {
    start_to_first_frame(state, installed().dir + "/usr/bin/murkwell");
}
BENCHMARK(BM_InstalledStartToFirstFrame)->UseManualTime()->Iterations(1)->Repetitions(9)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// The same measure of the build folder's binary, for comparison.
void BM_BuildTreeStartToFirstFrame(benchmark::State& state) {
    start_to_first_frame(state, std::string(MURKWELL_BINARY_DIR) + "/murkwell");
}
BENCHMARK(BM_BuildTreeStartToFirstFrame)->UseManualTime()->Iterations(1)->Repetitions(9)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// Sizes, reported as counters (KiB): the stripped install tree, the package
// file, and the Installed-Size the package declares.
void BM_InstalledAndPackageSize(benchmark::State& state) {
    Installed& inst = installed();
    if (!inst.ok) {
        state.SkipWithError("no install tree");
        return;
    }
    for (auto _ : state) {
        const std::string pkg = inst.dir + "/pkg";
        if (system(("cd " + q(inst.dir) + " && " + CPACK_COMMAND + " -G DEB -B " + q(pkg) + " --config " +
                    q(std::string(MURKWELL_BINARY_DIR) + "/CPackConfig.cmake") + " >/dev/null 2>&1")
                       .c_str()) != 0) {
            state.SkipWithError("cpack failed");
            return;
        }
        const std::string deb = out_of("ls " + q(pkg) + "/*.deb | head -n 1 | tr -d '\\n'");
        state.counters["tree_KiB"] = std::atof(out_of("du -sk --apparent-size " + q(inst.dir + "/usr")).c_str());
        state.counters["tree_disk_KiB"] = std::atof(out_of("du -sk " + q(inst.dir + "/usr")).c_str());
        state.counters["deb_KiB"] = std::atof(out_of("du -k --apparent-size " + q(deb)).c_str());
        state.counters["Installed-Size"] = std::atof(out_of("dpkg-deb -f " + q(deb) + " Installed-Size").c_str());
    }
}
BENCHMARK(BM_InstalledAndPackageSize)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
