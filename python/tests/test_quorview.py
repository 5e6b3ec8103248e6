"""The quorview package as a Python user meets it: NumPy images from OpenCV, typed results, and
arguments checked in our own words."""
import os
import pathlib
import threading

import cv2
import numpy as np
import pytest

import quorview

SAMPLES = pathlib.Path(os.environ.get("QUORVIEW_SOURCE_DIR", pathlib.Path(__file__).parents[2])) / "samples"
SAMPLE_IMAGES = sorted(SAMPLES.glob("*.png"))


def expected_text(image_path):
    return image_path.with_suffix(".txt").read_bytes().decode("utf-8")


def test_the_samples_are_there():
    assert len(SAMPLE_IMAGES) >= 4, f"samples missing in {SAMPLES}"


@pytest.mark.parametrize("image_path", SAMPLE_IMAGES, ids=lambda p: p.stem)
def test_bundled_samples_read_through_cv2_imread_and_as_files(image_path):
    # The code type is named here: the automatic one is checked below, once.
    code_type = "color" if image_path.stem.startswith("colour") else "bw"
    image = cv2.imread(str(image_path), cv2.IMREAD_COLOR)
    assert [s.payload for s in quorview.read(image, code_type=code_type)] == [expected_text(image_path)]
    assert [s.payload for s in quorview.read_file(image_path, code_type=code_type)] == [
        expected_text(image_path)]


def test_results_are_typed_and_say_why_nothing_was_read():
    image = quorview.write("Hello, Python", ecc="high", mirrored=True)
    assert image.shape == (640, 640, 3) and image.dtype == np.uint8
    result = quorview.read(image)
    assert result.error is None and bool(result) and len(result) == 1
    (symbol,) = result
    assert symbol == result[0] == result[-1] and result == result.symbols == result[:]
    assert (symbol.payload, symbol.payload_bytes, symbol.ecc, symbol.code_type) == (
        "Hello, Python", b"Hello, Python", "High", "BlackAndWhite")
    assert symbol.mirrored is True
    assert symbol.rs_corrected == 0 < symbol.rs_correctable
    cx, cy = symbol.center
    assert abs(cx - 320) < 3 and abs(cy - 320) < 3
    assert repr(symbol).startswith("Symbol(payload='Hello, Python', payload_type='Ascii', ecc='High', ")
    with pytest.raises(IndexError):
        result[1]

    blank = quorview.read(np.full((100, 100), 255, np.uint8))
    assert blank == [] and not blank
    assert (blank.error.code, blank.error.message, blank.error.stage) == (
        1, "Inner circle not found", "findCenter")
    assert repr(blank) == ("ReadResult([], error=Failure(code=1, message='Inner circle not found', "
                           "stage='findCenter'))")
    missing = quorview.read_file("no-such-file.png")
    assert (missing.error.code, missing.error.stage) == (22, "ReadImage")
    assert missing.error.message == "Image file 'no-such-file.png' cannot be read: it is missing"


def test_bytes_read_back_as_the_bytes_written():
    raw = bytes([0, 0x41, 0xC3, 0xFF])
    grey = cv2.cvtColor(quorview.write(raw), cv2.COLOR_BGR2GRAY)
    (binary,) = quorview.read(grey, binary_format="hex")
    assert (binary.payload_type, binary.payload_bytes, binary.payload) == ("Binary", raw, "0x0041c3ff")


def test_automatic_code_type_views_that_are_not_contiguous_and_colour():
    image = quorview.write("colour", code_type="Color")
    assert [(s.payload, s.code_type) for s in quorview.read(image)] == [("colour", "Color")]
    # A view of a larger array (not contiguous) is copied, not misread.
    wide = np.full((640, 1280, 3), 255, np.uint8)
    wide[:, ::2] = image
    assert quorview.read(wide[:, ::2], code_type="COLOR")[0].payload == "colour"


def test_rotation_and_start_marker_angle_are_degrees():
    # The reader measures the marker to within a degree; either side of 0 stays in [0, 360).
    for degrees in (0, 90, 330, 359.7):
        (symbol,) = quorview.read(quorview.write("Turned", rotation=degrees), code_type="bw")
        assert 0 <= symbol.start_marker_angle < 360
        assert abs((symbol.start_marker_angle - degrees + 180) % 360 - 180) < 1, degrees


def test_layouts_read_when_the_reader_is_told():
    image = quorview.write("Scrambled", layout="scrambled", size=400)
    assert [s.payload for s in quorview.read(image, code_type="bw", layout=5)] == ["Scrambled"]


@pytest.mark.parametrize("bad, error, message", [
    (np.zeros((20, 20), np.float64), TypeError, "not float64"),
    (np.zeros((20, 20), np.float32), TypeError, "not float32"),
    (np.zeros((20, 20), np.uint16), TypeError, "not uint16"),
    (np.zeros((20, 20), np.int64), TypeError, "not int64"),
    (np.zeros((20, 20), bool), TypeError, "not bool"),
    (None, TypeError, "image must be a NumPy array (as cv2.imread gives), not NoneType"),
    ([[0, 255]], TypeError, "not list"),
    (np.zeros((0, 0), np.uint8), ValueError, "image is empty: 0 x 0 pixels"),
    (np.zeros((0, 5, 3), np.uint8), ValueError, "image is empty: 0 x 5 pixels"),
    (np.zeros((10, 10, 4), np.uint8), ValueError, "not of shape (10, 10, 4)"),
    (np.zeros((10,), np.uint8), ValueError, "not of shape (10,)"),
])
def test_images_the_reader_cannot_take_are_refused_in_our_words(bad, error, message):
    with pytest.raises(error) as raised:
        quorview.read(bad)
    assert message in str(raised.value)


def test_a_one_channel_third_axis_is_grey():
    image = cv2.cvtColor(quorview.write("grey axis"), cv2.COLOR_BGR2GRAY)[:, :, np.newaxis]
    assert quorview.read(image, code_type="bw")[0].payload == "grey axis"


@pytest.mark.parametrize("call, error, message", [
    (lambda: quorview.write(None), TypeError, "payload must be str or bytes, not NoneType"),
    (lambda: quorview.write(123), TypeError, "payload must be str or bytes, not int"),
    (lambda: quorview.write("x", size="640"), TypeError, "size must be an int, not str"),
    (lambda: quorview.write("x", mirrored=1), TypeError, "mirrored must be True or False, not int"),
    (lambda: quorview.write("x", code_type=1), TypeError, "code_type must be a str, not int"),
    (lambda: quorview.write("x", rings=True), TypeError, "rings must be an int, not bool"),
    (lambda: quorview.write("x", ecc="huge"), ValueError,
     "ecc must be low, medium, quartile or high, not 'huge'"),
    (lambda: quorview.write("x", code_type="auto"), quorview.Error, "bw or color, not auto"),
    (lambda: quorview.read_file(7), TypeError, "path must be a str or a path, not int"),
    (lambda: quorview.read_file("x.png", code_type="grey"), ValueError,
     "code_type must be bw, color or auto, not 'grey'"),
    (lambda: quorview.write("x", size=2**40), ValueError, "size is out of range"),
])
def test_arguments_of_the_wrong_type_or_word_are_refused_in_our_words(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value)


def test_the_same_words_as_the_program_in_any_case():
    for ecc in ("high", "High", "HIGH", "3"):
        assert quorview.read(quorview.write("E", ecc=ecc), code_type="BW")[0].ecc == "High"
    assert quorview.read(quorview.write("B", code_type="BlackAndWhite"), code_type="blackandwhite")


@pytest.mark.parametrize("options, message", [
    (dict(size=100), "the smallest size that reads is an image of "),
    (dict(rings=50), "no larger size reads it either"),
    (dict(size=30000), "at most 20000 px a side are drawn"),
])
def test_symbols_the_reader_cannot_read_are_refused_unless_forced(options, message):
    with pytest.raises(quorview.Error) as raised:
        quorview.write("Hello", **options)
    assert message in str(raised.value)
    if options.get("size") == 100:
        assert quorview.write("Hello", force=True, **options).shape == (100, 100, 3)


def test_an_empty_payload_is_refused_as_quorgen_refuses_it():
    for empty in ("", b""):
        with pytest.raises(quorview.Error, match="the payload is empty"):
            quorview.write(empty)


def test_errors_carry_the_readers_message_and_code():
    grey = np.full((100, 100), 255, np.uint8)
    with pytest.raises(quorview.Error) as error:
        quorview.read(grey, code_type="color")
    assert error.value.code == 21
    assert str(error.value) == "CodeType and image type don't fit"
    with pytest.raises(quorview.Error):
        quorview.write("x" * 400, modules_per_ring=16, rings=2)


@pytest.fixture
def without_opencv_workers():
    """OpenCV's own workers off while a test runs: they hand work over in code that the thread
    sanitizer (which runs the thread test too) cannot see, and it would report races."""
    workers = cv2.getNumThreads()
    cv2.setNumThreads(0)
    yield
    cv2.setNumThreads(workers)


def test_threads_give_every_record_one_thread_gives(without_opencv_workers):
    """Eight threads read at once what one thread read: both code types, a mirrored symbol, two
    symbols in one picture and a blank page, every record field for field."""
    pair = np.hstack([quorview.write("left", size=320),
                      quorview.write("right", size=320, rotation=115.0)])
    inputs = [
        (quorview.write("thread bw", size=320), "bw"),
        (quorview.write("thread colour", code_type="color", size=320), "color"),
        (quorview.write("thread mirrored", size=320, mirrored=True), "bw"),
        (pair, "bw"),
        (np.full((320, 320, 3), 255, np.uint8), "bw"),
    ]
    alone = [quorview.read(image, code_type=code_type) for image, code_type in inputs]
    assert [[s.payload for s in symbols] for symbols in alone] == [
        ["thread bw"], ["thread colour"], ["thread mirrored"], ["left", "right"], []]

    results = [[None] * len(inputs) for _ in range(8)]

    def work(t):
        # Each thread starts at another picture, so different pictures are read at the same time.
        for i in range(len(inputs)):
            k = (t + i) % len(inputs)
            image, code_type = inputs[k]
            results[t][k] = quorview.read(image, code_type=code_type)

    threads = [threading.Thread(target=work, args=(t,)) for t in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for t in range(8):
        for k in range(len(inputs)):
            assert list(results[t][k]) == list(alone[k]), f"thread {t}, picture {k}"
            assert repr(results[t][k].error) == repr(alone[k].error), f"thread {t}, picture {k}"
