#!/usr/bin/env python3
"""The shipped alarm sound is what tools/make_alarm_sound.py makes, and a
sound that loops cleanly: 16-bit mono PCM, audible beeps, silence at both
ends (no click where the loop joins), never clipped."""
import os
import struct
import subprocess
import sys
import tempfile
import wave

ROOT = os.environ.get("HORLIX_SOURCE_DIR") or os.path.join(os.path.dirname(__file__), "..", "..")
SHIPPED = os.path.join(ROOT, "resources", "horlix-alarm1.wav")
TOOL = os.path.join(ROOT, "tools", "make_alarm_sound.py")


def read(path):
    with wave.open(path, "rb") as w:
        params = (w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getcomptype())
        frames = w.readframes(w.getnframes())
    return params, struct.unpack("<%dh" % (len(frames) // 2), frames)


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        made = os.path.join(tmp, "alarm.wav")
        subprocess.run([sys.executable, TOOL, made], check=True)
        with open(made, "rb") as a, open(SHIPPED, "rb") as b:
            if a.read() != b.read():
                failures.append("resources/horlix-alarm1.wav differs from the tool's output")
    params, samples = read(SHIPPED)
    if params != (1, 2, 22050, "NONE"):
        failures.append("format %r, expected mono 16-bit 22050 Hz PCM" % (params,))
    seconds = len(samples) / 22050.0
    if not 0.5 <= seconds <= 3.0:
        failures.append("length %.2f s" % seconds)
    peak = max(abs(s) for s in samples)
    if peak < 8000 or peak >= 32767:
        failures.append("peak %d: too quiet or clipped" % peak)
    if samples[0] != 0 or samples[-1] != 0 or max(abs(s) for s in samples[-200:]) != 0:
        failures.append("the sound does not start and end in silence")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
