// The Python module `quorview`: quorview.read(image, ...) and quorview.write(text, ...) over the
// public C++ interface. Images are NumPy arrays as OpenCV's Python bindings give them: uint8,
// (rows, cols) grey or (rows, cols, 3) BGR.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <quorview/quorview.h>

#include <string>
#include <vector>

namespace py = pybind11;

namespace {

using ImageArray = py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>;

// A matrix header over the array's pixels (no copy); the array outlives every use of it.
cv::Mat matrixOf(const ImageArray& array) {
    const py::buffer_info info = array.request();
    if (info.ndim == 2) {
        return cv::Mat(static_cast<int>(info.shape[0]), static_cast<int>(info.shape[1]), CV_8UC1,
                       info.ptr);
    }
    if (info.ndim == 3 && info.shape[2] == 3) {
        return cv::Mat(static_cast<int>(info.shape[0]), static_cast<int>(info.shape[1]), CV_8UC3,
                       info.ptr);
    }
    throw py::value_error("image must be a (rows, cols) grey or a (rows, cols, 3) BGR uint8 array");
}

template <typename Enum>
Enum enumByName(const std::string& name, std::initializer_list<std::pair<const char*, Enum>> names,
                const char* what) {
    std::string known;
    for (const auto& [text, value] : names) {
        if (name == text) {
            return value;
        }
        known += known.empty() ? "" : ", ";
        known += text;
    }
    throw py::value_error(std::string(what) + " must be one of " + known + ", not '" + name + "'");
}

quorview::CodeType codeTypeOf(const std::string& name) {
    return enumByName<quorview::CodeType>(
        name, {{"bw", quorview::CodeType::BlackAndWhite}, {"color", quorview::CodeType::Color}},
        "code_type");
}

quorview::BinaryFormat binaryFormatOf(const std::string& name) {
    return enumByName<quorview::BinaryFormat>(name,
                                              {{"bits", quorview::BinaryFormat::Bits},
                                               {"hex", quorview::BinaryFormat::HexLowerCase},
                                               {"HEX", quorview::BinaryFormat::HexUpperCase}},
                                              "binary_format");
}

quorview::EccStrength eccOf(const std::string& name) {
    return enumByName<quorview::EccStrength>(name,
                                             {{"low", quorview::EccStrength::Low},
                                              {"medium", quorview::EccStrength::Medium},
                                              {"quartile", quorview::EccStrength::Quartile},
                                              {"high", quorview::EccStrength::High}},
                                             "ecc");
}

py::tuple pointOf(const quorview::Point& p) {
    return py::make_tuple(p.x, p.y);
}

// One symbol as a dict: payload as str (undecodable bytes replaced) and as bytes.
py::dict recordOf(const quorview::Symbol& symbol) {
    py::dict record;
    const std::vector<std::uint8_t> bytes = quorview::payloadBytes(symbol);
    record["text"] = py::str(PyUnicode_DecodeUTF8(
        symbol.payload.data(), static_cast<Py_ssize_t>(symbol.payload.size()), "replace"));
    record["data"] = py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    record["payload_type"] = quorview::toString(symbol.payloadType);
    record["ecc"] = quorview::toString(symbol.eccStrength);
    record["code_type"] = quorview::toString(symbol.codeType);
    record["modules_per_ring"] = symbol.modulesPerRing;
    record["rings"] = symbol.ringCount;
    record["mirrored"] = symbol.mirrored;
    record["center"] = pointOf(symbol.center);
    py::list outline;
    for (const quorview::Point& p : symbol.outline) {
        outline.append(pointOf(p));
    }
    record["outline"] = outline;
    record["start_marker_angle"] = symbol.startMarkerAngle;
    record["corrected"] = symbol.correctedSymbols;
    record["correctable"] = symbol.correctableSymbols;
    return record;
}

py::list readImage(const ImageArray& image, const std::string& codeType,
                   const std::string& binaryFormat, bool enhance, int maxSymbols,
                   double timeBudgetMs) {
    quorview::ReadOptions options;
    options.codeType = codeTypeOf(codeType);
    options.binaryFormat = binaryFormatOf(binaryFormat);
    options.enhance = enhance;
    options.maxSymbols = maxSymbols;
    options.timeBudgetMs = timeBudgetMs;
    const cv::Mat pixels = matrixOf(image);
    quorview::ReadResult result;
    {
        // Reading holds no Python object: other Python threads run meanwhile.
        py::gil_scoped_release release;
        result = quorview::read(pixels, options);
    }
    py::list symbols;
    for (const quorview::Symbol& symbol : result.symbols) {
        symbols.append(recordOf(symbol));
    }
    return symbols;
}

py::array_t<std::uint8_t> arrayOf(const cv::Mat& image) {
    py::array_t<std::uint8_t> array({image.rows, image.cols, image.channels()});
    const cv::Mat target(image.rows, image.cols, image.type(), array.mutable_data());
    image.copyTo(target);
    return array;
}

py::array_t<std::uint8_t> writeSymbol(const py::object& payload, const std::string& codeType,
                                      const std::string& ecc, int modulesPerRing, int rings,
                                      int size, double startAngle, bool mirrored) {
    quorview::WriteOptions options;
    options.codeType = codeTypeOf(codeType);
    options.eccStrength = eccOf(ecc);
    options.modulesPerRing = modulesPerRing;
    options.ringCount = rings;
    options.imageSize = size;
    options.startAngle = startAngle;
    options.mirrored = mirrored;
    cv::Mat image;
    if (py::isinstance<py::bytes>(payload)) {
        const std::string raw = payload.cast<std::string>();
        const std::vector<std::uint8_t> bytes(raw.begin(), raw.end());
        py::gil_scoped_release release;
        image = quorview::writeBytes(bytes, options);
    } else {
        const std::string text = payload.cast<std::string>();
        py::gil_scoped_release release;
        image = quorview::write(text, options);
    }
    return arrayOf(image);
}

}  // namespace

PYBIND11_MODULE(quorview, m) {
    m.doc() = "Read and write Quorel codes.";
    m.attr("__version__") = quorview::version();
    // A script reads image after image: freed image memory is reused instead of mapped anew.
    quorview::keepImageMemory();
    static py::exception<quorview::Error> error(m, "Error");
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const quorview::Error& e) {
            // The message as the exception's text, the reader's error number as its `code`.
            py::object instance = py::reinterpret_borrow<py::object>(error.ptr())(e.what());
            instance.attr("code") = e.code();
            PyErr_SetObject(error.ptr(), instance.ptr());
        }
    });
    m.def("read", &readImage, py::arg("image"), py::arg("code_type") = "bw",
          py::arg("binary_format") = "bits", py::arg("enhance") = true, py::arg("max_symbols") = 0,
          py::arg("time_budget_ms") = 0.0,
          "Every symbol in a grey or BGR uint8 image, as a list of dicts (text, data, "
          "payload_type, ecc, code_type, modules_per_ring, rings, mirrored, center, outline, "
          "start_marker_angle, corrected, correctable). code_type: 'bw' or 'color'; "
          "binary_format: 'bits', 'hex' or 'HEX'.");
    m.def("write", &writeSymbol, py::arg("payload"), py::arg("code_type") = "bw",
          py::arg("ecc") = "medium", py::arg("modules_per_ring") = 0, py::arg("rings") = 0,
          py::arg("size") = 640, py::arg("start_angle") = 0.0, py::arg("mirrored") = false,
          "A symbol holding payload (str, or bytes for a Binary payload) as a (size, size, 3) "
          "BGR uint8 image. ecc: 'low', 'medium', 'quartile' or 'high'.");
}
