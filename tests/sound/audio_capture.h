// Helpers of the sound tests: WAV files to load, and SDL's disk audio driver
// capturing what the mixer really produced.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace test {

// One stereo frame of 16-bit audio.
struct Frame {
    int16_t left, right;
};

// A 16-bit PCM WAV at 44100 Hz, stereo: the mixer's own format, so SDL_mixer
// loads it without conversion and levels stay exact.
inline std::string wav_bytes(const std::vector<Frame>& frames) {
    const uint32_t data_size = uint32_t(frames.size()) * 4;
    std::string out;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xff); };
    auto u16 = [&](uint16_t v) { out += char(v & 0xff); out += char(v >> 8); };
    out += "RIFF";
    u32(36 + data_size);
    out += "WAVEfmt ";
    u32(16);
    u16(1);          // PCM
    u16(2);          // channels
    u32(44100);      // frames per second
    u32(44100 * 4);  // bytes per second
    u16(4);          // bytes per frame
    u16(16);         // bits per sample
    out += "data";
    u32(data_size);
    for (const Frame& f : frames) {
        u16(uint16_t(f.left));
        u16(uint16_t(f.right));
    }
    return out;
}

// `count` frames all at the same level.
inline std::string wav_bytes(int count, int16_t left, int16_t right) {
    return wav_bytes(std::vector<Frame>(size_t(count), Frame{left, right}));
}

// The file SDL's disk audio driver writes the mixed output to (44100 Hz,
// signed 16-bit, stereo). The driver writes one chunk, sleeps
// SDL_DISKAUDIODELAY ms and writes the next, faster than real time with a
// small delay; readers wait until enough frames arrived instead of sleeping
// for a guessed duration.
class DiskAudio {
public:
    explicit DiskAudio(const std::string& path)
        : path_(path),
          driver_("SDL_AUDIODRIVER", "disk"),
          file_("SDL_DISKAUDIOFILE", path.c_str()),
          delay_("SDL_DISKAUDIODELAY", "2") {}

    // Frames in the file so far. Everything mixed after this call lands at or
    // beyond this index.
    size_t frames_now() const {
        struct stat st;
        return stat(path_.c_str(), &st) == 0 ? size_t(st.st_size) / 4 : 0;
    }

    // The first `count` frames of the output, waiting up to a minute for them.
    // Fewer come back only when the driver stalled that long.
    std::vector<Frame> frames(size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (frames_now() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const std::string bytes = read_file(path_);
        std::vector<Frame> out(std::min(count, bytes.size() / 4));
        memcpy(out.data(), bytes.data(), out.size() * 4);
        return out;
    }

    // Frames [from, from + count).
    std::vector<Frame> window(size_t from, size_t count) const {
        std::vector<Frame> all = frames(from + count);
        if (all.size() <= from) return {};
        return std::vector<Frame>(all.begin() + long(from), all.end());
    }

private:
    std::string path_;
    ScopedEnv driver_, file_, delay_;
};

// What a stretch of output holds, per side.
struct Levels {
    int peak[2] = {0, 0};          // largest magnitude
    size_t loud[2] = {0, 0};       // frames that are not silent
    long first[2] = {-1, -1};      // index of the first frame that is not silent
};

inline Levels measure(const std::vector<Frame>& frames) {
    Levels l;
    for (size_t i = 0; i < frames.size(); ++i) {
        const int side[2] = {frames[i].left, frames[i].right};
        for (int s = 0; s < 2; ++s) {
            const int mag = side[s] < 0 ? -side[s] : side[s];
            if (mag == 0) continue;
            if (l.first[s] < 0) l.first[s] = long(i);
            ++l.loud[s];
            if (mag > l.peak[s]) l.peak[s] = mag;
        }
    }
    return l;
}

}  // namespace test
