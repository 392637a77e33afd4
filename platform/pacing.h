// Frame pacing: holds the main loop to the Driver's frame rate.
#pragma once

#include <cstdint>

// Milliseconds of frame n for a step of `step` ms. The fraction of the step is
// spread over a cycle of 37 frames (frames get trunc(step) or trunc(step) + 1 ms).
int frame_length(uint32_t n, float step);

// Called once per main-loop pass after the buffer swap: sleeps until the next
// frame is due. After a stall of more than 8 frames the schedule restarts from
// now instead of rushing through the missed frames.
void frame_wait();

// The clock frame_wait reads and sleeps with; tests substitute their own.
struct FrameClock {
    uint32_t (*ticks)();          // milliseconds
    void (*delay)(uint32_t ms);
};
void set_frame_clock(const FrameClock* clock);  // nullptr restores SDL's clock

// Forgets the schedule (the next frame_wait starts a new one).
void frame_wait_reset();
