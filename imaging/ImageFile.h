// Image files and in-memory image bytes read as 8-bit images for the reader.
#pragma once

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qcl {

// An image read from a file or from bytes: 8-bit, 1 or 3 (BGR) channels, or empty with a
// one-line reason in our own words.
struct ImageReadResult {
    cv::Mat image;
    std::string error;  // empty when `image` holds the picture

    bool ok() const { return error.empty(); }
};

// The whole contents of a file, or a one-line reason in our own words ("it is a directory", "it is
// missing", ...) when the path names no readable regular file or pipe.
struct FileBytes {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty when `bytes` holds the file

    bool ok() const { return error.empty(); }
};

// Largest file read at all; a pipe that delivers more is cut off with an error.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;

// Reads a regular file or a pipe (a FIFO, a process substitution). Directories, devices and
// sockets are refused without being opened, and a pipe is opened without waiting for a writer,
// so neither an endless device nor a pipe that nobody writes to can hold the caller up.
FileBytes readFileBytes(const std::string& path);

// Reads an image file as 8-bit BGR.
ImageReadResult readImageFile(const std::string& path);

// Decodes image file bytes (PNG, JPEG, ...) held in memory as 8-bit BGR.
ImageReadResult readImageBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace qcl
