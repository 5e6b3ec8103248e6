#include "camera/CameraList.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <utility>

namespace qcl {
namespace {

// Sizes that cameras commonly offer; a size range lists those of them that it can deliver,
// since every size on a fine grid would flood the console.
const std::pair<std::uint32_t, std::uint32_t> kCommonSizes[] = {
    {160, 120},   {176, 144},   {320, 180},   {320, 240},  {352, 288},   {424, 240},
    {640, 360},   {640, 480},   {800, 448},   {800, 600},  {848, 480},   {960, 540},
    {1024, 576},  {1024, 768},  {1280, 720},  {1280, 960}, {1280, 1024}, {1600, 1200},
    {1920, 1080}, {2560, 1440}, {3840, 2160}, {4096, 2160}};

std::uint64_t pack(std::uint32_t width, std::uint32_t height) {
    return (static_cast<std::uint64_t>(width) << 32) | height;
}

bool onGrid(std::uint32_t value, std::uint32_t low, std::uint32_t high, std::uint32_t step) {
    if (value < low || value > high) {
        return false;
    }
    return step == 0 ? value == low : (value - low) % step == 0;
}

void addRange(const FrameSizeEntry& e, std::vector<std::uint64_t>& packed) {
    packed.push_back(pack(e.width, e.height));
    packed.push_back(pack(e.maxWidth, e.maxHeight));
    for (const auto& [width, height] : kCommonSizes) {
        if (onGrid(width, e.width, e.maxWidth, e.stepWidth) &&
            onGrid(height, e.height, e.maxHeight, e.stepHeight)) {
            packed.push_back(pack(width, height));
        }
    }
}

}  // namespace

FrameSizeEntry FrameSizeEntry::size(std::uint32_t width, std::uint32_t height) {
    FrameSizeEntry entry;
    entry.width = width;
    entry.height = height;
    return entry;
}

FrameSizeEntry FrameSizeEntry::range(std::uint32_t minWidth, std::uint32_t minHeight,
                                     std::uint32_t maxWidth, std::uint32_t maxHeight,
                                     std::uint32_t stepWidth, std::uint32_t stepHeight) {
    FrameSizeEntry entry;
    entry.discrete = false;
    entry.width = minWidth;
    entry.height = minHeight;
    entry.maxWidth = maxWidth;
    entry.maxHeight = maxHeight;
    entry.stepWidth = stepWidth;
    entry.stepHeight = stepHeight;
    return entry;
}

std::vector<std::uint64_t> distinctFrameSizes(const std::vector<FrameSizeEntry>& entries) {
    std::vector<std::uint64_t> packed;
    for (const FrameSizeEntry& entry : entries) {
        if (entry.discrete) {
            packed.push_back(pack(entry.width, entry.height));
        } else {
            addRange(entry, packed);
        }
    }
    std::sort(packed.begin(), packed.end());
    packed.erase(std::unique(packed.begin(), packed.end()), packed.end());
    packed.erase(std::remove(packed.begin(), packed.end(), 0U), packed.end());
    return packed;
}

std::vector<std::uint64_t> listedFrameSizes(CameraQueries& queries) {
    std::vector<FrameSizeEntry> entries;
    try {
        std::vector<CameraDevice> devices;
        if (queries.listDevices(devices)) {
            for (const CameraDevice& device : devices) {
                queries.frameSizes(device, entries);
            }
        }
    } catch (const std::exception&) {
        // what was gathered before the failure counts
    }
    return distinctFrameSizes(entries);
}

std::vector<std::uint64_t> listedFrameSizes() {
    const std::unique_ptr<CameraQueries> queries = platformCameraQueries();
    return queries ? listedFrameSizes(*queries) : std::vector<std::uint64_t>();
}

std::vector<std::uint64_t> commonFrameSizes() {
    std::vector<std::uint64_t> packed;
    for (const auto& [width, height] : kCommonSizes) {
        packed.push_back(pack(width, height));
    }
    return packed;
}

void listCameraDevices(std::ostream& out, CameraQueries& queries) {
    try {
        std::vector<CameraDevice> devices;
        if (!queries.listDevices(devices)) {
            return;
        }
        out << "Available camera devices are: " << std::endl;
        for (const CameraDevice& device : devices) {
            out << device.index << ") " << device.name << std::endl;
            std::vector<FrameSizeEntry> entries;
            queries.frameSizes(device, entries);  // what was gathered before a failure counts
            for (const std::uint64_t size : distinctFrameSizes(entries)) {
                out << '\t' << (size >> 32) << " x " << (size & 0xFFFFFFFFU) << std::endl;
            }
        }
    } catch (const std::exception&) {
        // The listing is a courtesy: whatever goes wrong, the program goes on to its menu.
    }
}

void listCameraDevices() {
    const std::unique_ptr<CameraQueries> queries = platformCameraQueries();
    if (queries) {
        listCameraDevices(std::cout, *queries);
    }
}

}  // namespace qcl
