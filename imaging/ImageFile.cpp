#include "imaging/ImageFile.h"

#include "imaging/ImageDecoders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qcl {

namespace {

bool startsWith(ByteSpan bytes, const char* magic) {
    const std::size_t length = std::strlen(magic);
    return bytes.size >= length && std::memcmp(bytes.data, magic, length) == 0;
}

// Picks the reader by the file's leading bytes, never by its name.
ImageReadResult decodeAny(ByteSpan bytes) {
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n")) {
        return decodePng(bytes);
    }
    if (startsWith(bytes, "\xff\xd8\xff")) {
        return decodeJpeg(bytes);
    }
    if (startsWith(bytes, "RIFF") && bytes.size >= 12 &&
        std::memcmp(bytes.data + 8, "WEBP", 4) == 0) {
        return decodeWebp(bytes);
    }
    if (startsWith(bytes, "II*") || (bytes.size >= 4 && std::memcmp(bytes.data, "MM\0*", 4) == 0)) {
        return decodeTiff(bytes);
    }
    if (startsWith(bytes, "P5") || startsWith(bytes, "P6")) {
        return decodePnm(bytes);
    }
    if (startsWith(bytes, "BM")) {
        return decodeBmp(bytes);
    }
    return readFailure("it is not an image of a known format");
}

// Bytes asked of the system per read call.
constexpr std::size_t kReadChunk = std::size_t{1} << 16;

FileBytes fileFailure(const std::string& reason) {
    FileBytes result;
    result.error = reason;
    return result;
}

std::string openFailure(int error) {
    if (error == ENOENT || error == ENOTDIR) {
        return "it is missing";
    }
    if (error == EACCES || error == EPERM) {
        return "it is unreadable (permission denied)";
    }
    return std::string("it is unreadable (") + std::strerror(error) + ")";
}

// Why a path of this kind is not read; "" for a regular file or a pipe.
std::string refusedKind(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "it is a directory";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "it is a device, not a file";
    }
    if (S_ISSOCK(mode)) {
        return "it is a socket, not a file";
    }
    return "";
}

// Closes the descriptor on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

FileBytes readAll(int fd) {
    FileBytes result;
    std::size_t used = 0;
    for (;;) {
        if (used > kMaxFileBytes) {
            return fileFailure("it is larger than 1 GiB");
        }
        result.bytes.resize(used + kReadChunk);
        const ssize_t got = ::read(fd, result.bytes.data() + used, kReadChunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return fileFailure(std::string("it is unreadable (") + std::strerror(errno) + ")");
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    result.bytes.resize(used);
    return result;
}

}  // namespace

FileBytes readFileBytes(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return fileFailure(openFailure(errno));
    }
    const std::string refused = refusedKind(status.st_mode);
    if (!refused.empty()) {
        return fileFailure(refused);
    }
    // A pipe opened without waiting: one without a writer then reads as empty instead of
    // blocking until some writer comes.
    const bool pipe = S_ISFIFO(status.st_mode);
    // A regular file's size is known before a byte is read: one too large for any image we read
    // is refused at once, without reading a gigabyte first.
    if (S_ISREG(status.st_mode) && static_cast<std::uint64_t>(status.st_size) > kMaxFileBytes) {
        return fileFailure("it is larger than 1 GiB");
    }
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | (pipe ? O_NONBLOCK : 0)));
    if (fd.get() < 0) {
        return fileFailure(openFailure(errno));
    }
    if (pipe && ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0) {
        return fileFailure(std::string("it is unreadable (") + std::strerror(errno) + ")");
    }
    FileBytes result = readAll(fd.get());
    if (pipe && result.ok() && result.bytes.empty()) {
        return fileFailure("it is a pipe that delivered nothing (no writer)");
    }
    return result;
}

bool imageSizeAcceptable(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxReadSide && height <= kMaxReadSide;
}

ImageReadResult readFailure(const std::string& reason) {
    ImageReadResult result;
    result.error = reason;
    return result;
}

ImageReadResult readImageFile(const std::string& path) {
    const FileBytes file = readFileBytes(path);
    ImageReadResult result;
    if (!file.ok()) {
        result = readFailure(file.error);
    } else if (file.bytes.empty()) {
        result = readFailure("it is empty");
    } else {
        result = decodeAny({file.bytes.data(), file.bytes.size()});
    }
    if (!result.ok()) {
        result.error = "Image file '" + path + "' cannot be read: " + result.error;
    }
    return result;
}

ImageReadResult readImageBytes(const std::vector<std::uint8_t>& bytes) {
    ImageReadResult result = decodeAny({bytes.data(), bytes.size()});
    if (!result.ok()) {
        result.error = "The image bytes cannot be read: " + result.error;
    }
    return result;
}

}  // namespace qcl
