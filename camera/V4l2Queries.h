// Video for Linux device queries: capture devices are the /dev/videoN nodes that report the
// video-capture capability; N is the number that the capture library opens as device N.
#pragma once

#include <string>
#include <vector>

#include "camera/CameraList.h"

namespace qcl {

class V4l2Queries : public CameraQueries {
  public:
    // `deviceDirectory` holds the videoN nodes; tests point it at a folder of their own.
    explicit V4l2Queries(std::string deviceDirectory = "/dev");

    bool listDevices(std::vector<CameraDevice>& devices) override;
    bool frameSizes(const CameraDevice& device, std::vector<FrameSizeEntry>& sizes) override;

    std::string nodePath(int index) const;

  private:
    std::string directory_;
};

// N of a node name "videoN" (decimal digits only), or -1.
int videoNodeNumber(const std::string& fileName);

}  // namespace qcl
