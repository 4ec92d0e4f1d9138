#!/usr/bin/env python3
"""Makes the alarm sound resources/horlix-alarm1.wav with the standard library.

One second of sound that the countdown alarm plays in a loop: three rising
beeps (880, 1175 and 1568 Hz) of 150 ms with 5 ms fades, 60 ms apart, then
silence until the second is over. 16-bit mono PCM at 22050 Hz. The output
depends on nothing but this script, so the file can be made again at will.

Usage: make_alarm_sound.py [OUTPUT]  (default: resources/horlix-alarm1.wav)
"""
import math
import os
import struct
import sys
import wave

RATE = 22050
LENGTH_S = 1.0
BEEPS_HZ = (880.0, 1175.0, 1568.0)
BEEP_S = 0.150
GAP_S = 0.060
FADE_S = 0.005
PEAK = 0.6 * 32767


def samples():
    total = int(RATE * LENGTH_S)
    beep = int(RATE * BEEP_S)
    step = beep + int(RATE * GAP_S)
    fade = int(RATE * FADE_S)
    out = [0] * total
    for n, freq in enumerate(BEEPS_HZ):
        start = n * step
        for i in range(beep):
            gain = min(1.0, i / fade, (beep - 1 - i) / fade)
            value = PEAK * gain * math.sin(2 * math.pi * freq * i / RATE)
            out[start + i] = int(round(value))
    return out


def write(path):
    data = b"".join(struct.pack("<h", s) for s in samples())
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "resources", "horlix-alarm1.wav")
    write(sys.argv[1] if len(sys.argv) > 1 else default)


if __name__ == "__main__":
    main()
