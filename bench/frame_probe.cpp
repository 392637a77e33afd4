// Runs the real application start-up and main loop and reports timings on
// standard output. Started by app_bench (needs a display: run under xvfb-run).
//   frame_probe first   -> "first <monotonic ns after the first swapped frame>"
//   frame_probe pace N  -> "pace <mean ms> <worst ms>" over N paced frames
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/app.h"

namespace {
long long now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}
}  // namespace

int main(int argc, char** argv) {
    const bool pace = argc > 2 && strcmp(argv[1], "pace") == 0;
    const int frames = pace ? atoi(argv[2]) : 0;
    std::unique_ptr<game> g(new game());
    app_init(*g);
    app_loop_pass(*g);
    const long long first = now_ns();
    std::vector<long long> stamps{first};
    for (int i = 0; i < frames; ++i) {
        app_loop_pass(*g);
        stamps.push_back(now_ns());
    }
    app_shutdown(*g);
    if (!pace) {
        printf("first %lld\n", first);
        return 0;
    }
    double sum = 0, worst = 0;
    for (size_t i = 1; i < stamps.size(); ++i) {
        const double ms = double(stamps[i] - stamps[i - 1]) / 1e6;
        sum += ms;
        if (ms > worst) worst = ms;
    }
    printf("pace %.4f %.4f\n", sum / double(frames), worst);
    return 0;
}
