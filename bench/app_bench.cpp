// Start-up and frame pacing of the real application. Needs a display:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/app_bench
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

long long now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

std::string probe_path() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    buf[n > 0 ? n : 0] = '\0';
    std::string dir = buf;
    return dir.substr(0, dir.rfind('/')) + "/frame_probe";
}

// Runs the probe with a fresh per-user folder; returns its output line.
std::string run_probe(const std::string& args, long long* started) {
    char tmpl[] = "/tmp/murkwell-bench-XXXXXX";
    std::string home = mkdtemp(tmpl);
    std::string cmd = "APPDATA=" + home + " SDL_AUDIODRIVER=dummy " + probe_path() + " " + args +
                      " 2>/dev/null | grep -E '^(first|pace) '";
    *started = now_ns();
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[256];
        while (fgets(line, sizeof line, p)) out += line;
        pclose(p);
    }
    std::string rm = "rm -rf " + home;
    if (system(rm.c_str()) != 0) out.clear();
    return out;
}

// Process start (fork of the shell that execs the probe) to the first swapped frame.
void BM_StartToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        long long started = 0;
        std::string out = run_probe("first", &started);
        long long first = 0;
        if (sscanf(out.c_str(), "first %lld", &first) != 1) {
            state.SkipWithError("probe failed (is DISPLAY set?)");
            return;
        }
        state.SetIterationTime(double(first - started) / 1e9);
    }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Iterations(1)->Repetitions(9)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// 300 paced frames at 30 fps: mean and worst period.
void BM_FramePacing300(benchmark::State& state) {
    for (auto _ : state) {
        long long started = 0;
        std::string out = run_probe("pace 300", &started);
        double mean = 0, worst = 0;
        if (sscanf(out.c_str(), "pace %lf %lf", &mean, &worst) != 2) {
            state.SkipWithError("probe failed (is DISPLAY set?)");
            return;
        }
        state.counters["mean_ms"] = mean;
        state.counters["worst_ms"] = worst;
    }
}
BENCHMARK(BM_FramePacing300)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
