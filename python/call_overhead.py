"""How much a Python encode of a 512 x 512 picture costs beyond the command line's own encode.

Run from the source folder after a build:
    PYTHONPATH=build/python /usr/bin/python3 python/call_overhead.py build/cli/filamorph
The command line's encode time is its run time less that of a run which does no
work (--version), so process start-up is not counted against either side.
"""

import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

import filamorph

sys.path.insert(0, str(pathlib.Path(__file__).parent / "tests"))
from conftest import read_bmp  # noqa: E402

PICTURE = pathlib.Path(__file__).resolve().parents[1] / "tests/data/images/a_astronaut_512x512_24.bmp"
RUNS = 30


def median_seconds(action):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main(program):
    rgb = read_bmp(PICTURE)
    with tempfile.TemporaryDirectory() as folder:
        coded = pathlib.Path(folder) / "picture.flm"
        command = [program, "-q", "encode", str(PICTURE), str(coded)]
        assert filamorph.encode(rgb) == (subprocess.run(command, check=True) and coded.read_bytes())
        python = median_seconds(lambda: filamorph.encode(rgb))
        cli = median_seconds(lambda: subprocess.run(command, check=True))
        startup = median_seconds(lambda: subprocess.run([program, "--version"], check=True, capture_output=True))
    core = cli - startup
    print(f"filamorph.encode        {python * 1e3:8.2f} ms (median of {RUNS})")
    print(f"command-line encode     {cli * 1e3:8.2f} ms, of which start-up {startup * 1e3:.2f} ms")
    print(f"Python call overhead    {(python - core) * 1e3:8.2f} ms = {(python - core) / core:.1%} of the encode")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/cli/filamorph")
