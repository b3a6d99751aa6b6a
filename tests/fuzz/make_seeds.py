#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus/<target>/seed-*.

Seeds are small, valid inputs in each target's input format (see the comment at the top
of each *_fuzz.cpp), made from the fixtures of tests/data and data/. Run it again after a
change of an input format; inputs that once found a fault (fault-*) are kept as they are.
"""

import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
CORPUS = HERE / "corpus"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / ("seed-" + name)).write_bytes(data)


def double(value):
    """A FuzzInput::Double: selector 0xFF, then the bit pattern."""
    return b"\xff" + struct.pack("<d", value)


def answer(text):
    """An answer message as the instrument sends it, as 17-byte transfers (outcome 0)."""
    message = text.encode("latin-1") + b"\x00\xa7"
    message += b"\x00" * ((16 if len(message) <= 16 else 32) - len(message))
    return b"".join(b"\x00" + message[i:i + 16] for i in range(0, len(message), 16))


def frame(samples):
    data = b"".join(struct.pack("<Bh", ord(code) if code else 0, raw) for code, raw in samples)
    return data + b"\x00\x00"


def data_file():
    for path in sorted((ROOT / "tests" / "data").glob("datafile_*.txt")):
        write("data_file", path.stem.removeprefix("datafile_"), path.read_bytes())
    write("data_file", "crlf_comma_values",
          b"Number\tDate\tTime\t[Diff] = ms\t[Value] = N\t[Min.] = N\t[Max.] = N\t"
          b"[Min. averaged] = N\t[Max. averaged] = N\t(100ms)\r\n"
          b"1\t09.12.2025\t12:00:00\t001\t 12,5\t 12,0\t 13,0\t 12,4\t 12,6\r\n"
          b"2\t09.12.2025\t12:00:01\t500\t-3,25\t-4,00\t 1,00\t-3,50\t-3,00\r\n")
    write("data_file", "us_dates_points",
          b"Number\tDate\tTime\t[Diff] = ms\t[Value] = N\t[Min.] = N\t[Max.] = N\t"
          b"[Min. averaged] = N\t[Max. averaged] = N\t(100ms)\r\n"
          b"1\t12/09/25\t02:03:04 PM\t001\t 12.5\t 12.0\t 13.0\t 12.4\t 12.6\r\n"
          b"2\t12/09/25\t02:03:05 PM\t500\t-3.25\t-4.00\t 1.00\t-3.50\t-3.00\r\n")


def settings_file():
    ini = (ROOT / "data" / "731config.ini").read_bytes()
    write("settings_file", "default", ini)
    write("settings_file", "crlf", ini.replace(b"\n", b"\r\n"))
    write("settings_file", "bom_comments", b"\xef\xbb\xbf; settings\n" + ini + b"[Other]\nSampleRate=3\n")
    write("settings_file", "utf16le", b"\xff\xfe" + ini.decode().encode("utf-16-le"))
    write("settings_file", "windows1252", b"[Config]\nextProgramm=/opt/M\xfcller/logger\nDecimalSeparator=,\n")
    write("settings_file", "odd_values", b"[config]\nSampleRate=0x7\ngraficMode=-1\nTimerClrPeakMs=-5\n")


def language_file():
    lng = (ROOT / "data" / "731config.lng").read_bytes()
    write("language_file", "known_caption", b"Clr &Peak\x00\x00" + lng)
    write("language_file", "new_caption", b"&ZOOM ALL\x00\x00" + lng)
    write("language_file", "blanks_and_equals", b"  a=b \x00\x00" + lng)
    write("language_file", "new_language", b"BUSY by Calculation\x00\x02" + lng)
    write("language_file", "empty_file", b"No connection to Device\x00\x00")


def answer_packet():
    codes = ["#I05Tensolog 2.1", "#Y00No Error", "#Z162000.0", "#Z17-1,5", "#Z18D731-4711",
             "#Z611000", "#Z62-2.7", "#Z6399", "#Z640", "#Z650", "#Z661000", "#Z671000",
             "#Z742", "#Z75kN", "#Z76S-2000KN-77"]
    write("answer_packet", "readout", b"".join(answer(c) for c in codes))
    write("answer_packet", "timeout_then_answer", b"\x02" + b"\x00" * 16 + answer("#Z61500"))
    write("answer_packet", "long_text", answer("#I05" + "x" * 26))
    write("answer_packet", "no_end_mark", b"\x00" + b"#Z16123456789012" + b"\x00" + b"3" * 16)


def measurement():
    identity = (double(23542.35) + double(0.0) + double(1000.0)
                + double(0.0) + double(0.0) + double(1000.0) + double(1000.0)
                + b"\x00" * 6 + b"\x02")
    ramp = b"".join(frame([("", 100 * f + k) for k in range(10)]) for f in range(30))
    write("measurement", "single_shot", identity + b"\x00" + b"\x02" + b"\x00" + ramp)
    write("measurement", "auto_recording_rate_1ms", identity + b"\x00" + b"\x04" + b"\xf8" + ramp)
    codes = frame([("1", 5), ("2", 5), ("3", 5), ("4", 5), ("5", 5), ("", 5), ("", 5), ("", 5), ("", 5), ("", 5)])
    write("measurement", "codes_and_key", identity + b"\x03" + b"\x38" + b"\x10" + codes + ramp)
    faulty = (double(1000.0) + double(5.0) + double(0.0)
              + double(0.0) + double(0.0) + double(0.0) + double(10.0) + b"\x00" * 6 + b"\x09")
    write("measurement", "equal_points_nominal_0", faulty + b"\x00" + b"\x06" + b"\x00" + ramp)


def format_value():
    for value, nominal, hires in [(123.456, 1000, 0), (-987.654, 1000, 0), (0.05, 1000, 0),
                                  (123.456, 1000, 1), (0.1234, 5, 0), (1.9996, 2, 0),
                                  (15000, 20000, 0), (123456, 250000, 0), (12345, 600000, 1)]:
        write("format_value", f"{value}_{nominal}_{hires}", double(value) + double(nominal) + bytes([hires | 2]))


def scenario():
    for path in sorted((ROOT / "tests" / "data").glob("sim_*.ini")):
        write("scenario", path.stem.removeprefix("sim_"), path.read_bytes())
    write("scenario", "file_signal", b"[Signal]\nshape = file\nfile = counts.txt\n[Events]\nkeyPressEveryMs = 7\n")
    write("scenario", "ramp_short_stall",
          b"[Instrument]\nanswerDelayMs = 0\n[Signal]\nshape = ramp\namplitude = 900\nperiodMs = 50\n"
          b"[Events]\nr2StallAtMs = 20\nr2StallMs = 100\nconnectionLostAtMs = 200\n")
    write("scenario", "absent", b"[Instrument]\npresent = 0\n")


def external_program():
    values = [b" 12,5", b" 13,0", b" 12,4", b" 12,6", b" 12,5", b"12:00:00", b"09.12.2025"]
    write("external_program", "every_placeholder",
          b"\x00".join([b"_Min_ _Max_ _MinAvr_ _MaxAvr_ _Mean_ _Time_ _Date_", b"."] + values))
    write("external_program", "quotes",
          b"\x00".join([b"-v \"_Mean_\" '_Time_' --at=_Date_", b";"] + values))
    write("external_program", "euro", b"\x00".join([b"_Mean_ \xe2\x82\xac", b","] + values))


if __name__ == "__main__":
    data_file()
    settings_file()
    language_file()
    answer_packet()
    measurement()
    format_value()
    scenario()
    external_program()
