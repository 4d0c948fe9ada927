#!/usr/bin/env python3
"""Writes the fuzzers' seed inputs into fuzz/corpus/<fuzzer>/ (committed; run
again only when an input layout changes). The layouts are described at the top
of ir_folder_fuzzer.cpp and dispatcher_fuzzer.cpp."""
import io
import math
import os
import struct
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


def write(fuzzer, name, data):
    folder = os.path.join(HERE, "corpus", fuzzer)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def taps(count, decay=6.0):
    return [0.9 * math.exp(-decay * i / count) * math.cos(0.7 * i) for i in range(count)]


# --- ir_folder_fuzzer --------------------------------------------------------

def settings(selectors=None, rate=0, rate_first=False, builtin=False):
    values = [0] * 15
    for index, selector in (selectors or {}).items():
        values[index] = selector
    return bytes(values) + bytes([rate, (1 if rate_first else 0) | (2 if builtin else 0)])


def absent():
    return b"\x00"


def raw(data):
    return b"\x01" + struct.pack("<H", len(data)) + data


def built(data, tag=3, channels=1, rate=96000, bits=32, align=0, declared=0, sub=1):
    return b"\x02" + struct.pack("<HHIHHIH", tag, channels, rate, bits, align, declared, sub) + \
        struct.pack("<H", len(data)) + data


def floats(values):
    return b"".join(struct.pack("<f", v) for v in values)


def pcm16_wav(values, rate, channels):
    out = io.BytesIO()
    with wave.open(out, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(v * 32767)) * channels for v in values))
    return out.getvalue()


def ir_folder_seeds():
    # The defaults try 100+0, 820+0, 1800+0 and 6800+0, in that order.
    default_files = [built(floats(taps(n))) for n in (40, 300, 90, 20)]
    write("ir_folder", "defaults_float_96k", settings() + b"".join(default_files))
    write("ir_folder", "defaults_pcm16_stereo_at_48k",
          settings(rate=1) + b"".join(raw(pcm16_wav(taps(n), 44100, 2)) for n in (64, 200, 50, 10)))
    # Band 1 Hi-Q on: 820+0-hq is tried after the defaults; a 24-bit extensible file.
    pcm24 = b"".join(struct.pack("<i", int(v * 8388607))[:3] for v in taps(500))
    write("ir_folder", "band1_hiq_extensible_24bit",
          settings({8: 2}) + absent() * 4 + built(pcm24, tag=0xFFFE, bits=24, rate=88200, sub=1))
    # Mic pre-amplifier, 5600 Hz low-pass, 27 Hz high-pass: 8-bit, truncated and not-audio files.
    pcm8 = bytes(128 + int(v * 100) for v in taps(100))
    truncated = pcm16_wav(taps(400), 96000, 1)[:300]
    write("ir_folder", "input_filters_broken_files",
          settings({0: 2, 1: 3, 2: 2}, rate=3) + default_files[0] + absent() * 3 +
          built(pcm8, tag=1, bits=8, rate=22050) + raw(truncated) + raw(b"not audio at all"))
    # Header fields that disagree with the data: huge declared size, zero channels, odd rate.
    write("ir_folder", "inconsistent_headers",
          settings(rate=5) + built(floats(taps(30)), declared=0xFFFFFFF0) +
          built(floats(taps(30)), channels=0) + built(floats(taps(30)), rate=7) +
          built(floats(taps(30)), bits=12, align=3))
    # Hostile rates and lengths: a first file at 1.5 GHz (every later file would
    # be read at that rate), and a later 8-bit file at 100 Hz that lasts 14 s.
    pcm8_long = bytes(128 + int(v * 100) for v in taps(1393, 40.0))
    write("ir_folder", "rate_beyond_768k",
          settings() + built(floats(taps(40)), rate=1526822656) + built(pcm8_long, tag=1, bits=8, rate=22050))
    write("ir_folder", "later_file_over_ten_seconds",
          settings() + built(floats(taps(40))) + built(pcm8_long, tag=1, bits=8, rate=100))
    # The plug-in's own media source: the defaults as RIFX (big-endian) 24-bit
    # stereo, an extensible float file, a chunk layout with fmt after data, and
    # a header whose data size passes the end of the file.
    def rifx24_stereo(values, rate):
        data = b"".join(struct.pack(">i", int(v * 8388607))[1:] * 2 for v in values)
        fmt = struct.pack(">HHIIHH", 1, 2, rate, rate * 6, 6, 24)
        body = b"WAVE" + b"fmt " + struct.pack(">I", 16) + fmt + b"data" + struct.pack(">I", len(data)) + data
        return b"RIFX" + struct.pack(">I", len(body)) + body
    fmt_after_data = b"WAVE" + b"data" + struct.pack("<I", 4 * 30) + floats(taps(30)) + b"LIST" + \
        struct.pack("<I", 3) + b"abc\x00" + b"fmt " + struct.pack("<IHHIIHH", 16, 3, 1, 48000, 192000, 4, 32)
    write("ir_folder", "builtin_source_odd_files",
          settings(rate=1, builtin=True) + raw(rifx24_stereo(taps(60), 96000)) +
          built(floats(taps(200)), tag=0xFFFE, rate=96000, sub=3) +
          raw(b"RIFF" + struct.pack("<I", len(fmt_after_data)) + fmt_after_data) +
          built(floats(taps(20)), declared=0x7FFFFFF0))
    # Wild stored values and a rate the plug-in must ignore: no files.
    write("ir_folder", "wild_values_no_files",
          settings({0: 240, 3: 241, 4: 243, 6: 247, 7: 250, 8: 252, 12: 255}, rate=19, rate_first=True))


# --- dispatcher_fuzzer -------------------------------------------------------

def dispatch(opcode, index=0, value=0, pointer=0, option=0):
    # op 0; opcode selector below 64 is the opcode itself.
    return bytes([0, opcode, (index + 2) % 20, value, pointer, option])


def set_parameter(index, choice):
    return bytes([1, index + 2, choice])


def set_wild(index, float_selector):
    return bytes([1, index + 2, 0x80 + float_selector])


def get_parameter(index):
    return bytes([2, (index + 2) % 20])


def process(frame_selector, flags=0, seed=1):
    return bytes([3, frame_selector, flags, seed])


def mains(on):
    return bytes([4, 0, 1 if on else 0, 0, 0])  # index, value selector, pointer, option


def rate(selector):
    return bytes([5, selector])


def dispatcher_seeds():
    # Frame selectors: 8 -> 64, 15 -> 511, 16 -> 512, 19 -> 2048, 0 -> 0, 1 -> -1.
    write("dispatcher", "strings_and_names",
          dispatch(45, pointer=1) + dispatch(47, pointer=2) + dispatch(48, pointer=1) +
          dispatch(8, index=0, pointer=1) + dispatch(6, index=5, pointer=1) + dispatch(7, index=14, pointer=1) +
          dispatch(8, index=15, pointer=1) + dispatch(35) + dispatch(13, pointer=8) + bytes([7]) +
          dispatch(56, index=4, pointer=1) + dispatch(56, index=8, pointer=2) + dispatch(56, index=15, pointer=1) +
          dispatch(26, index=14) + dispatch(58))
    write("dispatcher", "rates_and_latency",
          process(16) + rate(3) + process(16) + rate(5) + process(19) + mains(False) + process(15) +
          rate(11) + process(16) + rate(9) + process(8) + rate(17) + rate(19) + process(16))
    write("dispatcher", "parameters_and_audio",
          set_parameter(0, 1) + process(16) + set_parameter(2, 0) + process(16) + set_parameter(7, 23) +
          set_parameter(8, 1) + process(19) + get_parameter(7) + get_parameter(8) + set_parameter(4, 24) +
          set_parameter(3, 0) + process(15, flags=1) + mains(False) + process(16))
    write("dispatcher", "wild_values",
          set_wild(0, 5) + set_wild(4, 6) + set_wild(6, 9) + set_wild(8, 30) + get_parameter(0) +
          get_parameter(-1) + get_parameter(15) + bytes([7]) + process(16) + set_wild(1, 21) + process(16))
    write("dispatcher", "refused_blocks",
          process(0) + process(1) + process(2) + process(3) + process(16, flags=2) + process(16, flags=4) +
          process(16, flags=8) + process(16, flags=16) + bytes([6, 3]) + process(16) + bytes([6, 0, 12]))


if __name__ == "__main__":
    ir_folder_seeds()
    dispatcher_seeds()
