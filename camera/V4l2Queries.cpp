#include "camera/V4l2Queries.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef __linux__
#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace qcl {
namespace {

#ifdef __linux__
// An open device node, closed on every way out.
class DeviceFile {
  public:
    explicit DeviceFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)) {}
    ~DeviceFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    DeviceFile(const DeviceFile&) = delete;
    DeviceFile& operator=(const DeviceFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // ioctl that retries when a signal interrupts it.
    bool query(unsigned long request, void* argument) const {
        int result;
        do {
            result = ::ioctl(fd_, request, argument);
        } while (result == -1 && errno == EINTR);
        return result == 0;
    }

  private:
    int fd_;
};

bool isCaptureDevice(const v4l2_capability& capability) {
    const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                                   ? capability.device_caps
                                   : capability.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

std::string cardName(const v4l2_capability& capability) {
    const char* card = reinterpret_cast<const char*>(capability.card);
    return std::string(card, strnlen(card, sizeof(capability.card)));
}

void addSizesOfFormat(const DeviceFile& file, std::uint32_t pixelFormat,
                      std::vector<FrameSizeEntry>& sizes) {
    v4l2_frmsizeenum size{};
    size.pixel_format = pixelFormat;
    for (size.index = 0; file.query(VIDIOC_ENUM_FRAMESIZES, &size); ++size.index) {
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.push_back(FrameSizeEntry::size(size.discrete.width, size.discrete.height));
            continue;
        }
        const v4l2_frmsize_stepwise& s = size.stepwise;
        const bool continuous = size.type == V4L2_FRMSIZE_TYPE_CONTINUOUS;
        sizes.push_back(FrameSizeEntry::range(s.min_width, s.min_height, s.max_width, s.max_height,
                                              continuous ? 1 : s.step_width,
                                              continuous ? 1 : s.step_height));
        break;  // a stepwise or continuous answer is the device's only entry for this format
    }
}
#endif

}  // namespace

int videoNodeNumber(const std::string& fileName) {
    const std::string prefix = "video";
    if (fileName.size() <= prefix.size() || fileName.compare(0, prefix.size(), prefix) != 0 ||
        fileName.size() > prefix.size() + 6) {
        return -1;
    }
    const std::string digits = fileName.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return std::stoi(digits);
}

V4l2Queries::V4l2Queries(std::string deviceDirectory) : directory_(std::move(deviceDirectory)) {}

std::string V4l2Queries::nodePath(int index) const {
    return directory_ + "/video" + std::to_string(index);
}

#ifdef __linux__
bool V4l2Queries::listDevices(std::vector<CameraDevice>& devices) {
    DIR* directory = ::opendir(directory_.c_str());
    if (directory == nullptr) {
        return false;
    }
    std::vector<int> numbers;
    while (const dirent* entry = ::readdir(directory)) {
        const int number = videoNodeNumber(entry->d_name);
        if (number >= 0) {
            numbers.push_back(number);
        }
    }
    ::closedir(directory);
    std::sort(numbers.begin(), numbers.end());

    for (const int number : numbers) {
        // Nodes that cannot be opened or asked are not listed; the others still are.
        DeviceFile file(nodePath(number));
        v4l2_capability capability{};
        if (file.isOpen() && file.query(VIDIOC_QUERYCAP, &capability) &&
            isCaptureDevice(capability)) {
            devices.push_back(CameraDevice{number, cardName(capability)});
        }
    }
    return true;
}

bool V4l2Queries::frameSizes(const CameraDevice& device, std::vector<FrameSizeEntry>& sizes) {
    DeviceFile file(nodePath(device.index));
    if (!file.isOpen()) {
        return false;
    }
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (format.index = 0; file.query(VIDIOC_ENUM_FMT, &format); ++format.index) {
        addSizesOfFormat(file, format.pixelformat, sizes);
    }
    return true;
}

std::unique_ptr<CameraQueries> platformCameraQueries() {
    return std::make_unique<V4l2Queries>();
}
#elif !defined(_WIN32)
bool V4l2Queries::listDevices(std::vector<CameraDevice>&) {
    return false;
}
bool V4l2Queries::frameSizes(const CameraDevice&, std::vector<FrameSizeEntry>&) {
    return false;
}
std::unique_ptr<CameraQueries> platformCameraQueries() {
    return nullptr;
}
#else
bool V4l2Queries::listDevices(std::vector<CameraDevice>&) {
    return false;
}
bool V4l2Queries::frameSizes(const CameraDevice&, std::vector<FrameSizeEntry>&) {
    return false;
}
#endif

}  // namespace qcl
