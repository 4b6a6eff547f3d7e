"""How much a Python encode of a 512 x 512 picture costs beyond the command line's own encode.

Run from the source folder after a build:
    PYTHONPATH=build/python /usr/bin/python3 python/call_overhead.py build/cli/filamorph
The command line's encode time is its run time less that of a run which does no
work (--version), so process start-up is not counted against either side. The
three are run in turn, round after round, so that a change in the machine's
load touches all of them alike; the fastest round of each is the least disturbed.
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
ROUNDS = 60


def seconds(action):
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def main(program):
    rgb = read_bmp(PICTURE)
    with tempfile.TemporaryDirectory() as folder:
        coded = pathlib.Path(folder) / "picture.flm"
        command = [program, "-q", "encode", str(PICTURE), str(coded)]
        subprocess.run(command, check=True)
        assert filamorph.encode(rgb) == coded.read_bytes()
        actions = {
            "python": lambda: filamorph.encode(rgb),
            "cli": lambda: subprocess.run(command, check=True),
            "startup": lambda: subprocess.run([program, "--version"], check=True, capture_output=True),
        }
        times = {name: [] for name in actions}
        for _ in range(ROUNDS):
            for name, action in actions.items():
                times[name].append(seconds(action))
    for measure in (min, statistics.median):
        python, cli, startup = (measure(times[name]) for name in ("python", "cli", "startup"))
        core = cli - startup
        print(
            f"{measure.__name__:>6} of {ROUNDS}: filamorph.encode {python * 1e3:.2f} ms, command-line encode "
            f"{cli * 1e3:.2f} ms less start-up {startup * 1e3:.2f} ms = {core * 1e3:.2f} ms; "
            f"Python call overhead {(python - core) * 1e3:.2f} ms = {(python - core) / core:.1%}"
        )


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/cli/filamorph")
