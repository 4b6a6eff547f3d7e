"""Fixtures shared by the module's tests: the command line, the sample pictures, and readers for what it writes."""

import os
import pathlib
import struct
import subprocess

import numpy as np
import pytest

SOURCE = pathlib.Path(os.environ.get("FILAMORPH_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
PHOTOGRAPHS = [
    SOURCE / "tests/data/images/a_camera_256x256_8gray.bmp",
    SOURCE / "tests/data/images/a_coffee_130x128_24.bmp",
    SOURCE / "tests/data/images/a_astronaut_512x512_24.bmp",
    SOURCE / "tests/data/images/a_rocket_639x427_24.bmp",
]  # samples/coffee.bmp is the coffee photograph above, byte for byte


def read_bmp(path):
    """The pixels of an uncompressed 8-bit (as its index plane) or 24-bit (as RGB) bitmap, top row first."""
    data = pathlib.Path(path).read_bytes()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    assert compression == 0 and bits in (8, 24), f"{path}: not an uncompressed 8- or 24-bit bitmap"
    channels = bits // 8
    stride = (width * channels + 3) // 4 * 4
    rows = np.frombuffer(data, np.uint8, stride * abs(height), offset).reshape(abs(height), stride)
    pixels = rows[:, : width * channels].reshape(abs(height), width, channels)
    if height > 0:
        pixels = pixels[::-1]
    return np.ascontiguousarray(pixels[:, :, 0] if bits == 8 else pixels[:, :, ::-1])


def read_pgm(path):
    """A binary PGM (P5, maxval 255) as a 2-D uint8 array."""
    data = pathlib.Path(path).read_bytes()
    fields = data.split(maxsplit=4)
    assert fields[0] == b"P5" and fields[3] == b"255"
    width, height = int(fields[1]), int(fields[2])
    return np.frombuffer(data[len(data) - width * height :], np.uint8).reshape(height, width)


class CommandLine:
    def __init__(self, program, folder):
        self.program = program
        self.folder = folder

    def run(self, *arguments):
        completed = subprocess.run([self.program, "-q", *map(str, arguments)], capture_output=True, check=False)
        assert completed.returncode == 0, completed.stderr.decode()
        return completed.stdout.decode()

    def output(self, name):
        return self.folder / name


@pytest.fixture(scope="session")
def cli(tmp_path_factory):
    program = os.environ.get("FILAMORPH_CLI")
    assert program and pathlib.Path(program).is_file(), "FILAMORPH_CLI must name the filamorph program"
    return CommandLine(program, tmp_path_factory.mktemp("cli"))


@pytest.fixture(scope="session", params=PHOTOGRAPHS, ids=lambda path: path.name)
def photograph(request):
    assert request.param.is_file(), f"missing test picture {request.param}"
    return request.param
