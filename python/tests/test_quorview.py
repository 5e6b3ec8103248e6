"""The quorview module as a Python user meets it: NumPy images from OpenCV, records back."""
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
def test_bundled_samples_read_through_cv2_imread(image_path):
    image = cv2.imread(str(image_path), cv2.IMREAD_COLOR)
    code_type = "color" if image_path.stem.startswith("colour") else "bw"
    symbols = quorview.read(image, code_type=code_type)
    assert [s["text"] for s in symbols] == [expected_text(image_path)]


def test_text_and_bytes_round_trip_with_their_records():
    image = quorview.write("Hello, Python", ecc="high", mirrored=True)
    assert image.shape == (640, 640, 3) and image.dtype == np.uint8
    (symbol,) = quorview.read(image)
    assert symbol["text"] == "Hello, Python"
    assert symbol["data"] == b"Hello, Python"
    assert symbol["ecc"] == "High"
    assert symbol["mirrored"] is True
    assert symbol["corrected"] == 0 < symbol["correctable"]
    cx, cy = symbol["center"]
    assert abs(cx - 320) < 3 and abs(cy - 320) < 3

    raw = bytes([0, 0x41, 0xC3, 0xFF])
    grey = cv2.cvtColor(quorview.write(raw), cv2.COLOR_BGR2GRAY)
    (binary,) = quorview.read(grey, binary_format="hex")
    assert binary["payload_type"] == "Binary"
    assert binary["data"] == raw
    assert binary["text"] == "0x0041c3ff"


def test_colour_symbols_and_views_that_are_not_contiguous():
    image = quorview.write("colour", code_type="color")
    assert [s["text"] for s in quorview.read(image, code_type="color")] == ["colour"]
    # A view of a larger array (not contiguous) is copied, not misread.
    wide = np.full((640, 1280, 3), 255, np.uint8)
    wide[:, ::2] = image
    assert quorview.read(wide[:, ::2], code_type="color")[0]["text"] == "colour"


def test_errors_carry_the_readers_message_and_code():
    grey = np.full((100, 100), 255, np.uint8)
    with pytest.raises(quorview.Error) as error:
        quorview.read(grey, code_type="color")
    assert error.value.code == 21
    assert str(error.value) == "CodeType and image type don't fit"
    assert quorview.read(grey) == []
    with pytest.raises(quorview.Error):
        quorview.write("x" * 400, modules_per_ring=16, rings=2)
    with pytest.raises(ValueError):
        quorview.read(np.zeros((10, 10, 4), np.uint8))
    with pytest.raises(ValueError, match="code_type"):
        quorview.read(grey, code_type="colour")


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
                      quorview.write("right", size=320, start_angle=2.0)])
    inputs = [
        (quorview.write("thread bw", size=320), "bw"),
        (quorview.write("thread colour", code_type="color", size=320), "color"),
        (quorview.write("thread mirrored", size=320, mirrored=True), "bw"),
        (pair, "bw"),
        (np.full((320, 320, 3), 255, np.uint8), "bw"),
    ]
    alone = [quorview.read(image, code_type=code_type) for image, code_type in inputs]
    assert [[s["text"] for s in symbols] for symbols in alone] == [
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
        assert results[t] == alone, f"thread {t}"
