#!/usr/bin/python3
"""Synthesises Murkwell's sound effects and its looping menu music as WAV files.

    /usr/bin/python3 tools/sound/make_sounds.py OUT_DIR

Writes OUT_DIR/<name>.wav (44100 Hz, 16-bit): the mono effects "win", "yeah",
"death", "drop", "shoot", "guard", "bomb" and the stereo loops "menus" (the
menus), "sneak" and "tension" (two for play).
make_sounds.sh encodes them to Ogg Vorbis for the data folder.

Everything is computed with numpy from fixed seeds, so the output is the same on
every run. Effects start from silence with a short fade in and end with a fade
to exact zero, so they never click. Each piece of music is one loop of exactly 8 bars in
which every note, echo and reverb tail that runs past the end is wrapped round
to the start: played back to back, the last sample leads into the first as
smoothly as any two neighbouring samples.
"""

import os
import sys
import wave

import numpy as np

SR = 44100


# ---------------------------------------------------------------- helpers

def seconds(n):
    return np.arange(int(n)) / SR


def noise(rng, n):
    return rng.uniform(-1.0, 1.0, int(n))


def fft_filter(x, low=None, high=None, order=2, circular=False):
    """Zero-phase band filter in the frequency domain: low/high are the -3 dB
    corners of a Butterworth-shaped high-pass/low-pass. Circular filtering keeps
    a loop seamless; otherwise the signal is padded so nothing wraps."""
    x = np.asarray(x, dtype=np.float64)
    n = len(x)
    size = n if circular else 2 * n
    spectrum = np.fft.rfft(x, size)
    f = np.fft.rfftfreq(size, 1.0 / SR)
    gain = np.ones_like(f)
    if high is not None:
        gain /= np.sqrt(1.0 + (f / high) ** (2 * order))
    if low is not None:
        with np.errstate(divide="ignore"):
            ratio = np.where(f > 0, low / np.maximum(f, 1e-9), np.inf)
        gain /= np.sqrt(1.0 + ratio ** (2 * order))
    return np.fft.irfft(spectrum * gain, size)[:n]


def sweep_lowpass(x, cutoff):
    """One-pole low-pass whose corner (Hz) changes per sample."""
    a = np.exp(-2.0 * np.pi * np.asarray(cutoff, dtype=np.float64) / SR)
    y = np.empty_like(x)
    state = 0.0
    for i in range(len(x)):
        state = (1.0 - a[i]) * x[i] + a[i] * state
        y[i] = state
    return y


def glide(f_start, f_end, n, time_constant):
    """Frequency sliding exponentially from f_start towards f_end (Hz per sample)."""
    t = seconds(n)
    return f_end + (f_start - f_end) * np.exp(-t / time_constant)


def phase_of(freq):
    """Phase (radians) of an oscillator following a per-sample frequency."""
    return 2.0 * np.pi * np.cumsum(freq) / SR


def decay(n, time_constant, attack=0.002):
    t = seconds(n)
    env = np.exp(-t / time_constant)
    a = max(1, int(attack * SR))
    env[:a] *= 0.5 - 0.5 * np.cos(np.pi * np.arange(a) / a)
    return env


def fade_edges(x, fade_in=0.002, fade_out=0.03):
    """Raised-cosine fade in and out, ending on exact zero."""
    x = x.copy()
    a = max(1, int(fade_in * SR))
    b = max(1, int(fade_out * SR))
    x[:a] *= 0.5 - 0.5 * np.cos(np.pi * np.arange(a) / a)
    x[-b:] *= 0.5 + 0.5 * np.cos(np.pi * np.arange(1, b + 1) / b)
    return x


def soft_clip(x, drive):
    return np.tanh(drive * x) / np.tanh(drive)


def normalise(x, peak):
    top = np.max(np.abs(x))
    return x * (peak / top) if top > 0 else x


def midi_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


def bell(freq, n, time_constant, bright=0.35):
    """A struck, bell-like tone: fundamental, octave and an inharmonic partial."""
    t = seconds(n)
    tone = np.sin(2 * np.pi * freq * t)
    tone += 0.3 * np.sin(2 * np.pi * 2.0 * freq * t) * np.exp(-t / (time_constant * 0.5))
    tone += bright * np.sin(2 * np.pi * 2.76 * freq * t) * np.exp(-t / (time_constant * 0.25))
    return tone * decay(n, time_constant, attack=0.003)


def finish(x, peak=0.8, fade_out=0.04):
    """Level, fades, and 5 ms of silence in front: the encoder smears a sharp
    attack a little backwards in time, and it must start from silence. The peak
    leaves room for the encoder's overshoot, so the decoded sound never clips."""
    x = fade_edges(normalise(x, peak), 0.002, fade_out)
    return np.concatenate([np.zeros(int(0.005 * SR)), x])


# ---------------------------------------------------------------- effects

def make_shoot():
    """A guard's shot: a sharp crack, the body of the report and a short room tail."""
    rng = np.random.RandomState(101)
    n = int(0.55 * SR)
    t = seconds(n)
    crack = fft_filter(noise(rng, n), low=1800, high=7000) * decay(n, 0.012, attack=0.0005)
    body = fft_filter(noise(rng, n), low=120, high=2500) * decay(n, 0.05, attack=0.001)
    thump = np.sin(phase_of(glide(180, 60, n, 0.02))) * decay(n, 0.035, attack=0.001)
    tail = fft_filter(noise(rng, n), low=150, high=900) * np.exp(-t / 0.18) * np.minimum(1, t / 0.02)
    x = (1.0 * normalise(crack, 1.0) + 1.0 * normalise(body, 1.0)
         + 0.45 * thump + 0.2 * normalise(tail, 1.0))
    return finish(soft_clip(normalise(x, 1.0), 3.0), peak=0.7, fade_out=0.1)


def make_bomb():
    """A detonation: crack, a rumble that closes down and a falling low boom under it."""
    rng = np.random.RandomState(202)
    n = int(1.9 * SR)
    t = seconds(n)
    boom = np.sin(phase_of(glide(90, 38, n, 0.2))) * decay(n, 0.25, attack=0.004)
    cutoff = 250 + 4000 * np.exp(-t / 0.15)
    rumble = sweep_lowpass(noise(rng, n), cutoff)
    rumble = fft_filter(rumble, low=40)
    rumble = normalise(rumble, 1.0) * decay(n, 0.45, attack=0.003)
    crack = fft_filter(noise(rng, n), low=1500, high=6000) * decay(n, 0.02, attack=0.0005)
    debris = np.zeros(n)
    grain_len = int(0.006 * SR)
    grain_env = np.hanning(grain_len)
    for _ in range(80):
        at = 0.08 + rng.exponential(0.3)
        if at > 1.4:
            continue
        start = int(at * SR)
        level = np.exp(-at / 0.5) * rng.uniform(0.3, 1.0)
        debris[start:start + grain_len] += level * noise(rng, grain_len) * grain_env
    debris = fft_filter(debris, low=900, high=5000)
    x = (0.3 * boom + 1.0 * rumble + 0.6 * normalise(crack, 1.0)
         + 0.35 * normalise(debris, 1.0))
    return finish(soft_clip(normalise(x, 1.0), 1.5), peak=0.7, fade_out=0.4)


def make_drop():
    """Setting down or picking up: a soft wooden knock with a little pitched blip."""
    rng = np.random.RandomState(303)
    n = int(0.22 * SR)
    blip = np.sin(phase_of(glide(900, 560, n, 0.025))) * decay(n, 0.045, attack=0.002)
    knock = np.sin(phase_of(glide(230, 120, n, 0.02))) * decay(n, 0.035, attack=0.001)
    tick = fft_filter(noise(rng, n), low=800, high=4000) * decay(n, 0.004, attack=0.0005)
    x = 0.55 * blip + 0.8 * knock + 0.3 * tick
    return finish(x, fade_out=0.05)


def make_guard():
    """A guard on the move: a two-tone radio chirp and a burst of squelch."""
    rng = np.random.RandomState(404)
    n = int(0.42 * SR)
    x = np.zeros(n)
    for start, length, freq in ((0.0, 0.085, 1000.0), (0.105, 0.10, 1330.0)):
        a, m = int(start * SR), int(length * SR)
        t = seconds(m)
        tone = sum(np.sin(2 * np.pi * k * freq * t) / k for k in (1, 3, 5))
        x[a:a + m] += 0.35 * fade_edges(tone, 0.004, 0.012)
    a, m = int(0.23 * SR), int(0.16 * SR)
    squelch = fft_filter(noise(rng, m), low=1200, high=3200) * decay(m, 0.05, attack=0.003)
    x[a:a + m] += 0.9 * normalise(squelch, 1.0)
    x = fft_filter(x, low=350, high=3400)  # the radio's narrow band
    return finish(soft_clip(normalise(x, 1.0), 1.2), fade_out=0.04)


def make_death():
    """The agent is hit: a low thud and a wavering tone that sinks away."""
    n = int(1.35 * SR)
    t = seconds(n)
    freq = glide(480, 70, n, 0.45) * (1 + 0.02 * np.minimum(1, t / 0.4) * np.sin(2 * np.pi * 6 * t))
    phase = phase_of(freq)
    tone = sum(np.sin(k * phase) * np.exp(-k / 3.0) / k for k in range(1, 9))
    tone *= np.minimum(1, t / 0.01) * np.clip(1.25 - t, 0, 1) ** 1.5
    thud = np.sin(phase_of(glide(130, 40, n, 0.08))) * decay(n, 0.16, attack=0.002)
    x = 0.8 * normalise(tone, 1.0) + 0.9 * thud
    return finish(x, fade_out=0.12)


def make_win():
    """The escape: a rising whoosh under a bright arpeggio that resolves upwards."""
    rng = np.random.RandomState(505)
    n = int(1.3 * SR)
    t = seconds(n)
    swell = np.sin(np.pi * np.clip(t / 0.45, 0, 1)) ** 2
    whoosh = sweep_lowpass(noise(rng, n), 300 + 4000 * np.clip(t / 0.4, 0, 1))
    whoosh = fft_filter(whoosh, low=250) * swell
    x = 0.5 * normalise(whoosh, 1.0)
    for i, note in enumerate((72, 76, 79, 84)):  # C E G C
        start = int(i * 0.085 * SR)
        m = n - start
        x[start:] += (0.55 if i < 3 else 0.8) * bell(midi_hz(note), m, 0.35 if i < 3 else 0.6)
    return finish(x, fade_out=0.2)


def formant_gain(freq, formants, bandwidths):
    """Magnitude of a cascade of two-pole resonators (unit gain at 0 Hz)."""
    gain = np.ones_like(freq)
    for f_res, bw in zip(formants, bandwidths):
        gain *= f_res ** 2 / np.sqrt((f_res ** 2 - freq ** 2) ** 2 + (bw * freq) ** 2)
    return gain


def make_yeah():
    """The level is won: a voiced "yeah!" over a sparkle of bells."""
    rng = np.random.RandomState(606)
    n = int(1.1 * SR)
    voice_len = int(0.62 * SR)
    u = np.arange(voice_len) / voice_len  # 0..1 through the word
    # Pitch: up on the stressed vowel, down at the end, with a little vibrato.
    f0 = np.interp(u, [0.0, 0.3, 0.65, 1.0], [165, 215, 190, 135])
    f0 *= 1 + 0.012 * np.sin(2 * np.pi * 5.5 * u * voice_len / SR)
    # Formants gliding from the glide [j] through [e] into the open vowel.
    stops = [0.0, 0.12, 0.40, 1.0]
    f1 = np.interp(u, stops, [280, 300, 580, 720])
    f2 = np.interp(u, stops, [2250, 2200, 1800, 1250])
    f3 = np.interp(u, stops, [2950, 2900, 2550, 2500])
    phase = phase_of(f0)
    voice = np.zeros(voice_len)
    for k in range(1, 40):
        fk = k * f0
        amp = formant_gain(fk, (f1, f2, f3, 3500.0, 4500.0), (80.0, 100.0, 150.0, 250.0, 300.0)) / k
        amp = np.where(fk < 5000.0, amp, 0.0)
        voice += amp * np.sin(k * phase)
    breath = fft_filter(noise(rng, voice_len), low=1500, high=5000) * 0.04 * np.max(np.abs(voice))
    env = np.interp(u, [0.0, 0.07, 0.6, 1.0], [0.0, 1.0, 0.9, 0.0]) ** 1.3
    voice = normalise((voice + breath) * env, 1.0)
    x = np.zeros(n)
    start = int(0.03 * SR)
    x[start:start + voice_len] += soft_clip(voice, 1.5)
    for i, note in enumerate((91, 95, 98)):  # G B D, high and quiet
        at = int((0.12 + 0.07 * i) * SR)
        x[at:] += 0.12 * bell(midi_hz(note), n - at, 0.3)
    return finish(x, fade_out=0.15)


# ---------------------------------------------------------------- music

BPM = 100
BEAT = SR * 60 // BPM  # 26460 samples: every beat, eighth and sixteenth is whole
BARS = 8
LOOP = BARS * 4 * BEAT


class Loop:
    """A stereo buffer of one loop; everything added past its end wraps round."""

    def __init__(self, length=LOOP):
        self.length = length
        self.buf = np.zeros((2, length))

    def add(self, at, sound, pan=0.0, gain=1.0):
        assert len(sound) <= self.length  # so no index repeats below
        idx = (int(at) + np.arange(len(sound))) % self.length
        left = gain * np.sqrt(0.5 * (1.0 - pan))
        right = gain * np.sqrt(0.5 * (1.0 + pan))
        self.buf[0, idx] += left * sound
        self.buf[1, idx] += right * sound


def circular_convolve(x, ir):
    size = len(x)
    return np.fft.irfft(np.fft.rfft(x) * np.fft.rfft(ir, size), size)


def make_menus():
    """The menu loop, 8 bars at 100 BPM in A minor: Am F Dm E."""
    rng = np.random.RandomState(707)
    chords = [  # (first bar, bass root, pad notes)
        (0, 45, (57, 60, 64)),  # Am
        (2, 41, (57, 60, 65)),  # F
        (4, 38, (57, 62, 65)),  # Dm
        (6, 40, (56, 59, 64)),  # E
    ]
    dry = Loop()  # kept out of the reverb
    wet = Loop()  # sent to the reverb as well
    bar = 4 * BEAT
    eighth = BEAT // 2

    # Pad: two detuned, softened saws per note, wide in stereo, swelling over two bars.
    pad_len = 2 * bar + int(0.9 * SR)
    t = seconds(pad_len)
    swell = np.minimum(1, t / 0.7) * np.clip((pad_len - np.arange(pad_len)) / (0.9 * SR), 0, 1)
    for first, _, notes in chords:
        for note in notes:
            for detune, pan in ((-0.004, -0.6), (0.004, 0.6)):
                f = midi_hz(note) * (1 + detune)
                tone = sum(np.sin(2 * np.pi * k * f * t + 0.7 * k) * np.exp(-k / 2.5) / k
                           for k in range(1, 9))
                wet.add(first * bar, tone * swell, pan, 0.05)

    # Bass: a muted pulse on every eighth, accented on the beat.
    accents = [1.0, 0.45, 0.7, 0.45, 0.9, 0.45, 0.7, 0.55]
    bass_len = int(0.3 * SR)
    tb = seconds(bass_len)
    for first, root, _ in chords:
        f = midi_hz(root)
        tone = (np.sin(2 * np.pi * f * tb) + 0.35 * np.sin(4 * np.pi * f * tb)
                + 0.1 * np.sin(6 * np.pi * f * tb))
        note = soft_clip(tone, 1.3) * decay(bass_len, 0.09, attack=0.004)
        note = fade_edges(note, 0.004, 0.05)
        for b in range(2):
            for i, acc in enumerate(accents):
                dry.add((first + b) * bar + i * eighth, note, 0.0, 0.26 * acc)

    # Arpeggio: quiet bells on the eighths, with a dotted-eighth echo across the field.
    pattern = [0, 1, 2, 1, 2, 0, 1, 2]
    arp_len = int(0.7 * SR)
    echo = Loop()
    for first, _, notes in chords:
        for b in range(2):
            for i, which in enumerate(pattern):
                tone = bell(midi_hz(notes[which] + 12), arp_len, 0.22, bright=0.2)
                tone = fade_edges(tone, 0.002, 0.05)
                at = (first + b) * bar + i * eighth
                pan = -0.35 if i % 2 == 0 else 0.35
                wet.add(at, tone, pan, 0.045 * (1.0 if i % 4 == 0 else 0.7))
                echo.add(at + 3 * (eighth // 2), tone, -pan, 0.018)
                echo.add(at + 6 * (eighth // 2), tone, pan, 0.007)

    # Melody: a soft, breathy lead with a slow vibrato.
    melody = [  # (bar, beat, length in beats, note)
        (0, 0, 1.5, 76), (0, 1.5, 0.5, 74), (0, 2, 2, 72),
        (1, 0, 1, 71), (1, 1, 1, 72), (1, 2, 2, 69),
        (2, 0, 1.5, 69), (2, 1.5, 0.5, 72), (2, 2, 2, 77),
        (3, 0, 1, 76), (3, 1, 1, 74), (3, 2, 2, 72),
        (4, 0, 1.5, 74), (4, 1.5, 0.5, 77), (4, 2, 2, 81),
        (5, 0, 1, 79), (5, 1, 1, 77), (5, 2, 2, 74),
        (6, 0, 1.5, 71), (6, 1.5, 0.5, 74), (6, 2, 2, 76),
        (7, 0, 1, 68), (7, 1, 1, 71), (7, 2, 1.5, 64),
    ]
    for bar_no, beat, length, note in melody:
        m = int(length * BEAT + 0.25 * SR)
        tm = seconds(m)
        vib = 1 + 0.006 * np.minimum(1, tm / 0.4) * np.sin(2 * np.pi * 5.0 * tm)
        phase = phase_of(midi_hz(note) * vib)
        tone = np.sin(phase) + 0.25 * np.sin(2 * phase) + 0.08 * np.sin(3 * phase)
        held = int(length * BEAT)
        env = np.minimum(1, tm / 0.06) * np.where(np.arange(m) < held, 1.0,
                                                   np.exp(-(np.arange(m) - held) / (0.08 * SR)))
        tone = fade_edges(tone * env, 0.002, 0.03)
        wet.add(bar_no * bar + beat * BEAT, tone, 0.1, 0.06)

    # Drums: a soft kick on 1 and the and-of-3, brushes on 2 and 4, ticking hats.
    kick_len = int(0.35 * SR)
    kick = np.sin(phase_of(glide(110, 45, kick_len, 0.04))) * decay(kick_len, 0.12, attack=0.002)
    kick = fade_edges(kick, 0.002, 0.05)
    hat_noise = fft_filter(noise(rng, SR), low=6000, order=3)
    brush_noise = fft_filter(noise(rng, SR), low=900, high=5000)
    hat_len, brush_len = int(0.06 * SR), int(0.22 * SR)
    for b in range(BARS):
        at = b * bar
        dry.add(at, kick, 0.0, 0.32)
        dry.add(at + 2 * BEAT + eighth, kick, 0.0, 0.22)
        for beat in (1, 3):
            off = rng.randint(0, SR - brush_len)
            brush = brush_noise[off:off + brush_len] * decay(brush_len, 0.05, attack=0.003)
            wet.add(at + beat * BEAT, fade_edges(brush, 0.003, 0.05), -0.2, 0.07)
        for i in range(8):
            off = rng.randint(0, SR - hat_len)
            hat = hat_noise[off:off + hat_len] * decay(hat_len, 0.012 if i % 2 else 0.006,
                                                       attack=0.0005)
            dry.add(at + i * eighth, fade_edges(hat, 0.0005, 0.01), 0.3,
                    0.05 if i % 2 else 0.025)

    return master(rng, dry.buf + wet.buf + echo.buf, wet.buf, reverb_time=0.35, reverb_gain=0.35)


def master(rng, mix, wet, reverb_time, reverb_gain, drive=1.2, peak=0.7):
    """Reverb over the wet part (decaying, decorrelated noise per side,
    convolved round the loop), a high-pass, soft clipping and the level; then
    the loop is turned to start where both sides are near zero and nearly
    flat, a few milliseconds before the first downbeat, so that neither the
    turn of the loop nor the first start from silence clicks."""
    length = mix.shape[1]
    ir_len = int(1.6 * SR)
    ti = seconds(ir_len)
    reverb = np.zeros((2, length))
    for side in range(2):
        ir = fft_filter(noise(rng, ir_len), high=5000) * np.exp(-ti / reverb_time)
        ir[: int(0.012 * SR)] = 0.0  # pre-delay
        ir /= np.sqrt(np.sum(ir ** 2))
        reverb[side] = circular_convolve(wet[side], ir)

    mix = mix + reverb_gain * reverb
    mix = fft_filter(mix[0], low=30, circular=True), fft_filter(mix[1], low=30, circular=True)
    mix = np.vstack(mix)
    mix = soft_clip(normalise(mix, 1.0), drive)
    mix = normalise(mix, peak)
    search = int(0.02 * SR)
    cost = (np.abs(mix[:, length - search:]).sum(axis=0)
            + np.abs(np.diff(mix[:, length - search - 1:], axis=1)).sum(axis=0) * 8)
    start = length - search + int(np.argmin(cost))
    return np.roll(mix, -start, axis=1)


def pluck(freq, n, time_constant, bright=0.5):
    """A plucked string: a few harmonics, the upper ones dying first."""
    t = seconds(n)
    tone = np.zeros(n)
    for k in range(1, 7):
        tone += np.sin(2 * np.pi * k * freq * t) * np.exp(-t * k / time_constant * bright) / k
    return fade_edges(tone * decay(n, time_constant, attack=0.002), 0.002, 0.03)


def pad_tone(freq, n, fade_in, fade_out, detune=0.004, partials=7):
    """Two detuned, softened saws, swelling in and out."""
    t = seconds(n)
    env = np.minimum(1, t / fade_in) * np.clip((n - np.arange(n)) / (fade_out * SR), 0, 1)
    tone = np.zeros(n)
    for d in (-detune, detune):
        f = freq * (1 + d)
        tone += sum(np.sin(2 * np.pi * k * f * t + 0.7 * k) * np.exp(-k / 2.5) / k
                    for k in range(1, partials + 1))
    return tone * env * 0.5


def make_sneak():
    """A quiet sneaking loop, 8 bars at 84 BPM in D minor: tiptoeing plucked
    bass, a held low pad, a woodblock tick and a few glassy notes high up."""
    rng = np.random.RandomState(808)
    beat = SR * 60 // 84          # 31500 samples: eighths and sixteenths are whole
    bar = 4 * beat
    eighth = beat // 2
    length = 8 * bar
    dry, wet = Loop(length), Loop(length)
    # (first bar, bass notes of the tiptoe figure, pad chord)
    harmony = [
        (0, (38, 45, 50, 45), (50, 53, 57)),   # Dm
        (2, (38, 45, 50, 45), (50, 53, 57)),   # Dm
        (4, (34, 41, 46, 41), (50, 53, 58)),   # Bb
        (6, (33, 40, 45, 40), (49, 52, 57)),   # A
    ]
    # Tiptoe bass: short plucks on the first three eighths of each half bar,
    # the last one held back, as if placing each foot with care.
    step_len = int(0.25 * SR)
    for first, notes, chord in harmony:
        for b in range(2):
            for half in range(2):
                for i, at in enumerate((0, 1, 3)):
                    note = notes[(half * 2 + i) % 4]
                    tone = pluck(midi_hz(note), step_len, 0.12)
                    start = (first + b) * bar + half * 2 * beat + at * eighth
                    dry.add(start, tone, -0.15, 0.22 * (1.0 if i == 0 else 0.7))
        pad_len = 2 * bar + int(0.8 * SR)
        for note, pan in zip(chord, (-0.5, 0.0, 0.5)):
            wet.add(first * bar, pad_tone(midi_hz(note), pad_len, 0.9, 0.8), pan, 0.035)
    # Woodblock on the off-beats, softer every other bar.
    block_len = int(0.08 * SR)
    tb = seconds(block_len)
    block = np.sin(2 * np.pi * 1150 * tb) * decay(block_len, 0.012, attack=0.0005)
    block += 0.5 * np.sin(2 * np.pi * 1730 * tb) * decay(block_len, 0.008, attack=0.0005)
    block = fade_edges(block, 0.0005, 0.01)
    for b in range(8):
        for k in (1, 3):
            dry.add(b * bar + k * beat + eighth, block, 0.35, 0.05 if b % 2 else 0.08)
    # Glassy notes, a question in bars 1-2 and its answer in bars 5-6.
    glass_len = int(1.2 * SR)
    for bar_no, beat_no, note in ((1, 1.5, 74), (1, 3, 77), (2, 2, 76), (5, 1.5, 74), (5, 3, 70), (6, 2, 69)):
        tone = bell(midi_hz(note), glass_len, 0.45, bright=0.25)
        wet.add(bar_no * bar + int(beat_no * beat), fade_edges(tone, 0.002, 0.2), 0.25, 0.04)
    # A low breath of noise under it all, swelling with each harmony.
    air = fft_filter(noise(rng, length), low=200, high=900, circular=True)
    swell = 0.6 + 0.4 * np.sin(np.pi * (np.arange(length) % (2 * bar)) / (2 * bar)) ** 2
    wet.add(0, normalise(air, 1.0) * swell, 0.0, 0.012)
    return master(rng, dry.buf + wet.buf, wet.buf, reverb_time=0.5, reverb_gain=0.45, drive=1.1, peak=0.6)


def make_tension():
    """A tense loop, 8 bars at 126 BPM in E minor: a driving sixteenth-note
    ostinato, a heartbeat kick, ticking hats, swelling minor-second strings
    and a two-note warning figure."""
    rng = np.random.RandomState(909)
    beat = SR * 60 // 126         # 21000 samples
    bar = 4 * beat
    sixteenth = beat // 4
    length = 8 * bar
    dry, wet = Loop(length), Loop(length)
    roots = [40, 40, 41, 40, 40, 40, 43, 42]   # E E F E E E G F#: the bass leans on the half step
    # Ostinato: a muted saw-ish pulse on every sixteenth, accented in threes.
    pulse_len = int(0.12 * SR)
    tp = seconds(pulse_len)
    for b, root in enumerate(roots):
        f = midi_hz(root)
        tone = sum(np.sin(2 * np.pi * k * f * tp) / k for k in range(1, 6))
        tone = fft_filter(soft_clip(tone, 1.5), high=900) * decay(pulse_len, 0.05, attack=0.002)
        tone = fade_edges(tone, 0.002, 0.02)
        for i in range(16):
            acc = 1.0 if i % 3 == 0 else 0.55
            oct_up = 2.0 if i in (7, 15) else 1.0
            note = tone if oct_up == 1.0 else fade_edges(
                fft_filter(soft_clip(sum(np.sin(2 * np.pi * k * f * 2 * tp) / k for k in range(1, 6)), 1.5),
                           high=1400) * decay(pulse_len, 0.05, attack=0.002), 0.002, 0.02)
            dry.add(b * bar + i * sixteenth, note, -0.1, 0.2 * acc)
    # Heartbeat kick: a double thump on 1 and a single on 3.
    kick_len = int(0.3 * SR)
    kick = np.sin(phase_of(glide(95, 42, kick_len, 0.035))) * decay(kick_len, 0.1, attack=0.002)
    kick = fade_edges(kick, 0.002, 0.05)
    for b in range(8):
        dry.add(b * bar, kick, 0.0, 0.4)
        dry.add(b * bar + 3 * sixteenth, kick, 0.0, 0.25)
        dry.add(b * bar + 2 * beat, kick, 0.0, 0.32)
    # Hats: closed ticks on the eighths, an open one before each fourth bar.
    hat_noise = fft_filter(noise(rng, SR), low=7000, order=3)
    hat_len = int(0.05 * SR)
    for b in range(8):
        for i in range(8):
            off = rng.randint(0, SR - hat_len)
            hat = fade_edges(hat_noise[off:off + hat_len] * decay(hat_len, 0.01, attack=0.0005), 0.0005, 0.01)
            dry.add(b * bar + i * 2 * sixteenth, hat, 0.4, 0.05 if i % 2 else 0.03)
        if b % 4 == 3:
            open_len = int(0.3 * SR)
            off = rng.randint(0, SR - open_len)
            hat = fade_edges(hat_noise[off:off + open_len] * decay(open_len, 0.09, attack=0.001), 0.001, 0.05)
            dry.add(b * bar + 14 * sixteenth, hat, 0.4, 0.05)
    # Strings: two notes a half step apart swelling over two bars, rising.
    for first, (lo, hi) in zip((0, 2, 4, 6), ((64, 65), (64, 65), (67, 68), (66, 67))):
        n = 2 * bar + int(0.6 * SR)
        for note, pan in ((lo, -0.45), (hi, 0.45)):
            t = seconds(n)
            vib = 1 + 0.003 * np.sin(2 * np.pi * 5.5 * t)
            ph = phase_of(midi_hz(note) * vib)
            tone = sum(np.sin(k * ph) * np.exp(-k / 3.0) / k for k in range(1, 8))
            env = np.clip(np.arange(n) / (1.6 * bar), 0, 1) ** 1.5 * np.clip((n - np.arange(n)) / (0.6 * SR), 0, 1)
            wet.add(first * bar, tone * env, pan, 0.05)
    # Warning figure: two short high notes, a tritone apart, every second bar.
    warn_len = int(0.35 * SR)
    for b in (1, 3, 5, 7):
        for i, note in enumerate((83, 77)):
            tone = bell(midi_hz(note), warn_len, 0.12, bright=0.5)
            wet.add(b * bar + 2 * beat + i * 2 * sixteenth, fade_edges(tone, 0.002, 0.05), 0.3 - 0.6 * i, 0.05)
    return master(rng, dry.buf + wet.buf, wet.buf, reverb_time=0.3, reverb_gain=0.3, drive=1.3, peak=0.7)


# ---------------------------------------------------------------- output

def write_wav(path, data):
    """16-bit little-endian PCM; data is (n,) mono or (2, n) stereo in -1..1."""
    data = np.atleast_2d(data)
    pcm = np.clip(np.round(data.T * 32767.0), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as out:
        out.setnchannels(data.shape[0])
        out.setsampwidth(2)
        out.setframerate(SR)
        out.writeframes(pcm.tobytes())


SOUNDS = {
    "win": make_win,
    "yeah": make_yeah,
    "death": make_death,
    "drop": make_drop,
    "shoot": make_shoot,
    "guard": make_guard,
    "bomb": make_bomb,
    "menus": make_menus,
    "sneak": make_sneak,
    "tension": make_tension,
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for name, make in SOUNDS.items():
        data = make()
        write_wav(os.path.join(out_dir, name + ".wav"), data)
        frames = data.shape[-1]
        print("%-6s %6.3f s  peak %.3f" % (name, frames / SR, np.max(np.abs(data))))


if __name__ == "__main__":
    main()
