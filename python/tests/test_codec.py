"""The module gives the command line's results bit for bit, and refuses bad input with clear exception types."""

import csv
import io
import threading
import time

import numpy as np
import pytest

import filamorph
from conftest import PHOTOGRAPHS, read_bmp, read_pgm


def test_encode_and_decode_equal_the_command_line(cli, photograph):
    coded = cli.output(photograph.stem + ".flm")
    decoded = cli.output(photograph.stem + ".pgm")
    cli.run("encode", photograph, coded)
    cli.run("decode", coded, decoded)

    data = filamorph.encode(read_bmp(photograph))
    assert data == coded.read_bytes()
    plane = filamorph.decode(data)
    assert plane.dtype == np.uint8 and plane.ndim == 2
    np.testing.assert_array_equal(plane, read_pgm(decoded))


def test_converged_decode_equals_the_command_line(cli):
    picture = PHOTOGRAPHS[1]
    coded = cli.output("converged.flm")
    decoded = cli.output("converged.pgm")
    cli.run("encode", picture, coded)
    cli.run("decode", "--solver", "converged", coded, decoded)
    np.testing.assert_array_equal(filamorph.decode(coded.read_bytes(), solver="converged"), read_pgm(decoded))


@pytest.mark.parametrize(
    "keep, weights, options",
    [
        (None, (0.5, 0.5, 0.5), ["--keep", "all"]),
        (12, (1.0, 0.0, 2.5), ["--keep", "12", "--weights", "1,0,2.5"]),
        (0, (0.5, 0.5, 0.5), ["--keep", "0"]),
    ],
)
def test_selection_equals_the_command_line(cli, keep, weights, options):
    picture = PHOTOGRAPHS[1]
    coded = cli.output(f"selection-{options[1]}.flm")
    cli.run("encode", *options, picture, coded)
    assert filamorph.encode(read_bmp(picture), keep=keep, weights=weights) == coded.read_bytes()


def test_info_equals_the_command_line(cli):
    picture = PHOTOGRAPHS[0]
    coded = cli.output("info.flm")
    cli.run("encode", picture, coded)
    printed = dict(line.split(": ") for line in cli.run("info", coded).splitlines())
    facts = filamorph.info(coded.read_bytes())
    assert {key: str(facts[key]) for key in ("width", "height", "contours", "points", "bytes")} == {
        key: printed[key] for key in ("width", "height", "contours", "points", "bytes")
    }
    assert f"{facts['bits_per_pixel']:.3f}" == printed["bits per pixel"]


def table_as_csv(table):
    """A structured array written as the dump commands write their CSV."""
    lines = [",".join(table.dtype.names)]
    for record in table:
        fields = (f"{value:.9g}" if isinstance(value, np.floating) else str(int(value)) for value in record)
        lines.append(",".join(fields))
    return "\n".join(lines) + "\n"


@pytest.mark.parametrize("keep, options", [(None, ["--keep", "all"]), (20, ["--keep", "20"])])
def test_analysis_equals_the_dump_commands(cli, keep, options):
    picture = PHOTOGRAPHS[1]
    analysis = filamorph.analyse(read_bmp(picture), keep=keep)
    for name in ("contours", "points"):
        dumped = cli.output(f"{name}-{options[1]}.csv")
        cli.run("dump", name, *options, picture, dumped)
        assert table_as_csv(getattr(analysis, name)) == dumped.read_text()
    for name in ("gray", "smoothed", "edges", "depth", "sparseness"):
        dumped = cli.output(f"{name}-{options[1]}.pgm")
        selection = options if name in ("depth", "sparseness") else []
        cli.run("dump", name, *selection, picture, dumped)
        np.testing.assert_array_equal(getattr(analysis, name), read_pgm(dumped), err_msg=name)
    assert len(analysis.points) == int(analysis.contours["pointCount"].sum())


def test_results_do_not_depend_on_call_order_or_threads():
    pictures = [read_bmp(path) for path in PHOTOGRAPHS[:2]]
    alone = [filamorph.decode(filamorph.encode(picture)) for picture in pictures]
    together = [None] * len(pictures)

    def run(index):
        together[index] = filamorph.decode(filamorph.encode(pictures[index]))

    threads = [threading.Thread(target=run, args=(index,)) for index in range(len(pictures))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for single, parallel in zip(alone, together):
        np.testing.assert_array_equal(single, parallel)


def test_a_non_contiguous_array_codes_as_its_copy():
    picture = read_bmp(PHOTOGRAPHS[1])
    view = picture[::2, ::-1]
    assert filamorph.encode(view) == filamorph.encode(np.ascontiguousarray(view))


def test_rgb_input_uses_the_24_bit_import_weights():
    # The import's documented weights: pure blue 29, red 76, green 150.
    rgb = np.zeros((4, 6, 3), np.uint8)
    rgb[0, :, 2] = 255
    rgb[1, :, 0] = 255
    rgb[2, :, 1] = 255
    gray = filamorph.analyse(rgb).gray
    assert gray[:3, 0].tolist() == [29, 76, 150]


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda: filamorph.encode(np.zeros((8, 8), np.float32)), TypeError),
        (lambda: filamorph.encode(np.zeros((8, 8), np.int8)), TypeError),
        (lambda: filamorph.encode(np.zeros((8, 8, 4), np.uint8)), TypeError),
        (lambda: filamorph.encode(np.zeros(8, np.uint8)), TypeError),
        (lambda: filamorph.encode([[1, 2], [3, 4]]), TypeError),
        (lambda: filamorph.encode(np.zeros((0, 8), np.uint8)), ValueError),
        (lambda: filamorph.encode(np.zeros((8, 8), np.uint8), keep=-1), ValueError),
        (lambda: filamorph.encode(np.zeros((8, 8), np.uint8), weights=(1, -1, 1)), ValueError),
        (lambda: filamorph.decode("not bytes"), TypeError),
        (lambda: filamorph.decode(b""), ValueError),
        (lambda: filamorph.decode(b"\x00" * 40), ValueError),
        (lambda: filamorph.decode(b"", solver="guess"), ValueError),
        (lambda: filamorph.info(b"\xff" * 7), ValueError),
    ],
)
def test_bad_input_raises_a_clear_exception(call, error):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value)


def test_a_truncated_file_is_malformed():
    data = filamorph.encode(read_bmp(PHOTOGRAPHS[1]))
    with pytest.raises(ValueError):
        filamorph.decode(data[: len(data) // 2])


def test_version_names_the_build(cli):
    assert cli.run("--version").strip() == "filamorph " + filamorph.__version__
    assert "(" in filamorph.__version__


def test_python_threads_run_while_the_codec_works():
    # Were the GIL held through the solve, this thread would stall for all of it.
    data = filamorph.encode(read_bmp(PHOTOGRAPHS[1]))
    worker = threading.Thread(target=filamorph.decode, args=(data,))
    start = time.perf_counter()
    worker.start()
    longest_stall, last = 0.0, time.perf_counter()
    while worker.is_alive():
        now = time.perf_counter()
        longest_stall, last = max(longest_stall, now - last), now
    worker.join()
    assert longest_stall < (time.perf_counter() - start) / 2
