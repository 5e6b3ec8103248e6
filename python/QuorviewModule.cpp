// The native part of the Python package `quorview`: reading, writing and the result types over
// the public C++ interface. quorview/__init__.py checks the arguments (types, arrays) and
// documents the calls; here they arrive as a contiguous uint8 array, texts and numbers.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <quorview/quorview.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

using ImageArray = py::array_t<std::uint8_t, py::array::c_style>;

constexpr double kDegreesPerRadian = 180.0 / M_PI;
constexpr double kFullTurn = 360.0;
// The start marker's angle is given to this many parts of a degree, as the program's JSON gives
// it: finer than the reader measures, so that a symbol drawn at 0 degrees reads as 0.
constexpr double kAngleScale = 10.0;

// Why nothing was read: the reader's error number, its message and the deepest stage reached.
struct Failure {
    int code = 0;
    std::string message;
    std::string stage;
};

// An option's word as the public interface parses it; a ValueError naming the Python argument.
template <typename Parse>
auto option(Parse parse, const std::string& word, const char* argument) {
    try {
        return parse(word, argument);
    } catch (const quorview::Error& e) {
        throw py::value_error(e.what());
    }
}

quorview::ReadOptions readOptions(const std::string& codeType, const std::string& binaryFormat,
                                  bool enhance, int maxSymbols, double timeBudgetMs,
                                  const std::string& layout) {
    quorview::ReadOptions options;
    options.codeType = option(quorview::parseCodeType, codeType, "code_type");
    options.binaryFormat = option(quorview::parseBinaryFormat, binaryFormat, "binary_format");
    options.layout = option(quorview::parseLayout, layout, "layout");
    options.enhance = enhance;
    options.maxSymbols = maxSymbols;
    options.timeBudgetMs = timeBudgetMs;
    return options;
}

quorview::ReadResult readArray(const ImageArray& image, const std::string& codeType,
                               const std::string& binaryFormat, bool enhance, int maxSymbols,
                               double timeBudgetMs, const std::string& layout) {
    const quorview::ReadOptions options =
        readOptions(codeType, binaryFormat, enhance, maxSymbols, timeBudgetMs, layout);
    const int channels = image.ndim() == 3 ? static_cast<int>(image.shape(2)) : 1;
    // A matrix header over the array's pixels (no copy); the array outlives the read.
    const cv::Mat pixels(static_cast<int>(image.shape(0)), static_cast<int>(image.shape(1)),
                         CV_8UC(channels), const_cast<std::uint8_t*>(image.data()));
    // Reading holds no Python object: other Python threads run meanwhile.
    py::gil_scoped_release release;
    return quorview::read(pixels, options);
}

quorview::ReadResult readPath(const std::string& path, const std::string& codeType,
                              const std::string& binaryFormat, bool enhance, int maxSymbols,
                              double timeBudgetMs, const std::string& layout) {
    const quorview::ReadOptions options =
        readOptions(codeType, binaryFormat, enhance, maxSymbols, timeBudgetMs, layout);
    py::gil_scoped_release release;
    return quorview::readFile(path, options);
}

py::array_t<std::uint8_t> arrayOf(const cv::Mat& image) {
    py::array_t<std::uint8_t> array({image.rows, image.cols, image.channels()});
    const cv::Mat target(image.rows, image.cols, image.type(), array.mutable_data());
    image.copyTo(target);
    return array;
}

py::array_t<std::uint8_t> writeSymbol(const py::object& payload, const std::string& codeType,
                                      const std::string& ecc, const std::string& payloadType,
                                      const std::string& layout, int modulesPerRing, int rings,
                                      int size, double rotationDegrees, bool mirrored, bool force) {
    quorview::WriteOptions options;
    options.codeType = option(quorview::parseCodeType, codeType, "code_type");
    options.eccStrength = option(quorview::parseEccStrength, ecc, "ecc");
    options.payloadType = option(quorview::parsePayloadType, payloadType, "payload_type");
    options.layout = option(quorview::parseLayout, layout, "layout");
    options.modulesPerRing = modulesPerRing;
    options.ringCount = rings;
    options.imageSize = size;
    options.startAngle = rotationDegrees / kDegreesPerRadian;
    options.mirrored = mirrored;
    options.force = force;
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

py::str payloadText(const quorview::Symbol& symbol) {
    // Undecodable bytes replaced, as the program's JSON does; payload_bytes has them as they are.
    return py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
        symbol.payload.data(), static_cast<Py_ssize_t>(symbol.payload.size()), "replace"));
}

py::bytes payloadBytes(const quorview::Symbol& symbol) {
    const std::vector<std::uint8_t> bytes = quorview::payloadBytes(symbol);
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

double startMarkerDegrees(const quorview::Symbol& symbol) {
    const double degrees =
        std::round(symbol.startMarkerAngle * kDegreesPerRadian * kAngleScale) / kAngleScale;
    return degrees >= kFullTurn ? degrees - kFullTurn : degrees;
}

py::tuple pointOf(const quorview::Point& p) {
    return py::make_tuple(p.x, p.y);
}

// Everything a symbol says but its outline, for comparing and showing.
py::tuple fieldsOf(const quorview::Symbol& s) {
    return py::make_tuple(payloadText(s), quorview::toString(s.payloadType),
                          quorview::toString(s.eccStrength), quorview::toString(s.codeType),
                          s.modulesPerRing, s.ringCount, s.mirrored, pointOf(s.center),
                          startMarkerDegrees(s), s.correctedSymbols, s.correctableSymbols);
}

std::string symbolRepr(const quorview::Symbol& s) {
    std::ostringstream text;
    text << "Symbol(payload=" << py::repr(payloadText(s)).cast<std::string>() << ", payload_type='"
         << quorview::toString(s.payloadType) << "', ecc='" << quorview::toString(s.eccStrength)
         << "', code_type='" << quorview::toString(s.codeType)
         << "', modules_per_ring=" << s.modulesPerRing << ", rings=" << s.ringCount
         << ", mirrored=" << (s.mirrored ? "True" : "False") << ", center=("
         << py::repr(py::float_(s.center.x)).cast<std::string>() << ", "
         << py::repr(py::float_(s.center.y)).cast<std::string>() << "), start_marker_angle="
         << py::repr(py::float_(startMarkerDegrees(s))).cast<std::string>()
         << ", rs_corrected=" << s.correctedSymbols << ", rs_correctable=" << s.correctableSymbols
         << ")";
    return text.str();
}

py::object failureOf(const quorview::ReadResult& result) {
    if (!result.symbols.empty()) {
        return py::none();
    }
    return py::cast(Failure{result.errorCode, result.errorMessage, result.failedStage});
}

std::string failureRepr(const Failure& f) {
    return "Failure(code=" + std::to_string(f.code) +
           ", message=" + py::repr(py::str(f.message)).cast<std::string>() +
           ", stage=" + py::repr(py::str(f.stage)).cast<std::string>() + ")";
}

std::string resultRepr(const quorview::ReadResult& r) {
    std::string text = "ReadResult([";
    for (std::size_t i = 0; i < r.symbols.size(); ++i) {
        text += (i == 0 ? "" : ", ") + symbolRepr(r.symbols[i]);
    }
    text += "]";
    if (r.symbols.empty()) {
        text += ", error=" + failureRepr(Failure{r.errorCode, r.errorMessage, r.failedStage});
    }
    return text + ")";
}

const quorview::Symbol& symbolAt(const quorview::ReadResult& r, long index) {
    const long count = static_cast<long>(r.symbols.size());
    if (index < 0) {
        index += count;
    }
    if (index < 0 || index >= count) {
        throw py::index_error("ReadResult index out of range");
    }
    return r.symbols[static_cast<std::size_t>(index)];
}

void bindSymbol(py::module_& m) {
    using quorview::Symbol;
    py::class_<Symbol>(m, "Symbol", "One symbol read from an image.")
        .def_property_readonly("payload", &payloadText, "the payload as text")
        .def_property_readonly("payload_bytes", &payloadBytes,
                               "the payload's bytes (a Binary payload's bytes as written)")
        .def_property_readonly("payload_type",
                               [](const Symbol& s) { return quorview::toString(s.payloadType); })
        .def_property_readonly("ecc",
                               [](const Symbol& s) { return quorview::toString(s.eccStrength); })
        .def_property_readonly(
            "code_type", [](const Symbol& s) { return quorview::toString(s.codeType); },
            "'BlackAndWhite' or 'Color'")
        .def_readonly("modules_per_ring", &Symbol::modulesPerRing)
        .def_readonly("rings", &Symbol::ringCount)
        .def_readonly("mirrored", &Symbol::mirrored)
        .def_property_readonly(
            "center", [](const Symbol& s) { return pointOf(s.center); },
            "(x, y) in pixels of the image read")
        .def_property_readonly(
            "outline",
            [](const Symbol& s) {
                py::list points;
                for (const quorview::Point& p : s.outline) {
                    points.append(pointOf(p));
                }
                return points;
            },
            "(x, y) points on the symbol's rim, in order around it")
        .def_property_readonly("start_marker_angle", &startMarkerDegrees,
                               "degrees from +x towards +y (clockwise on screen), in [0, 360)")
        .def_readonly("rs_corrected", &Symbol::correctedSymbols,
                      "Reed-Solomon symbols (bytes) corrected")
        .def_readonly("rs_correctable", &Symbol::correctableSymbols,
                      "the most that could have been corrected")
        .def("__eq__",
             [](const Symbol& a, const Symbol& b) { return fieldsOf(a).equal(fieldsOf(b)); })
        .def("__repr__", &symbolRepr);
}

void bindResults(py::module_& m) {
    py::class_<Failure>(m, "Failure", "Why nothing was read.")
        .def_readonly("code", &Failure::code, "the reader's error number")
        .def_readonly("message", &Failure::message)
        .def_readonly("stage", &Failure::stage, "the deepest stage reached, or 'ReadImage'")
        .def("__repr__", &failureRepr);
    using quorview::ReadResult;
    py::class_<ReadResult>(m, "ReadResult",
                           "The symbols read from one image, a sequence of Symbol; when there "
                           "is none, error says why.")
        .def_property_readonly("symbols", [](const ReadResult& r) { return py::cast(r.symbols); })
        .def_property_readonly("error", &failureOf, "a Failure when nothing was read, else None")
        .def_readonly("decode_ms", &ReadResult::decodeMs)
        .def("__len__", [](const ReadResult& r) { return r.symbols.size(); })
        .def("__bool__", [](const ReadResult& r) { return !r.symbols.empty(); })
        .def("__getitem__", &symbolAt, py::return_value_policy::copy)
        .def("__getitem__",
             [](const ReadResult& r, const py::slice& range) {
                 // The accessor refers to the list: it becomes a list of its own before the
                 // list goes.
                 const py::list all = py::cast(r.symbols);
                 return py::list(all[range]);
             })
        .def("__iter__", [](const ReadResult& r) { return py::iter(py::cast(r.symbols)); })
        .def("__eq__",
             [](const ReadResult& r, const py::object& other) -> py::object {
                 if (!py::isinstance<py::list>(other) && !py::isinstance<py::tuple>(other) &&
                     !py::isinstance<ReadResult>(other)) {
                     return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                 }
                 return py::bool_(py::cast(r.symbols).equal(py::list(other)));
             })
        .def("__repr__", &resultRepr)
        .def(
            "to_json",
            [](const ReadResult& r, const std::string& file) {
                return quorview::toJsonLine(file, r);
            },
            py::arg("file"),
            "The Quorview program's JSON line for this result (no line end), as if it had read "
            "`file`.");
}

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The native part of quorview; use the quorview package.";
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
    bindSymbol(m);
    bindResults(m);
    m.def("read", &readArray);
    m.def("read_file", &readPath);
    m.def("write", &writeSymbol);
}
