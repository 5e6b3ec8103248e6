// Media Foundation device queries for Windows: capture devices with their friendly names, the
// frame sizes of their media types, and a dump of every media type to the debugger output.
// Only compiled on Windows.
#ifdef _WIN32

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <objbase.h>
#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <string>
#include <vector>

#include "camera/CameraList.h"

#pragma comment(lib, "mf.lib")
#pragma comment(lib, "mfplat.lib")
#pragma comment(lib, "mfuuid.lib")
#pragma comment(lib, "ole32.lib")

namespace qcl {
namespace {

// Room of one debugger message, terminator included; longer messages are cut.
constexpr int kDebugMessageLength = 260;
// The framework version that MFStartup is asked for, and a full start-up.
constexpr ULONG kMediaFoundationVersion = 0x20070;

void debugPrint(const wchar_t* format, ...) {
    wchar_t message[kDebugMessageLength];
    va_list arguments;
    va_start(arguments, format);
    const int written = _vsnwprintf_s(message, kDebugMessageLength, _TRUNCATE, format, arguments);
    va_end(arguments);
    if (written >= 0 || written == -1) {  // -1: cut to fit, still worth showing
        OutputDebugStringW(message);
    }
}

template <typename T>
void release(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

struct GuidName {
    const GUID* id;
    const wchar_t* name;
};

#define QCL_GUID_NAME(id) \
    { &id, L## #id }

// Published names of the identifiers that a capture device's media types carry most often.
const GuidName kGuidNames[] = {
    QCL_GUID_NAME(MF_MT_MAJOR_TYPE),
    QCL_GUID_NAME(MF_MT_SUBTYPE),
    QCL_GUID_NAME(MF_MT_ALL_SAMPLES_INDEPENDENT),
    QCL_GUID_NAME(MF_MT_FIXED_SIZE_SAMPLES),
    QCL_GUID_NAME(MF_MT_COMPRESSED),
    QCL_GUID_NAME(MF_MT_SAMPLE_SIZE),
    QCL_GUID_NAME(MF_MT_WRAPPED_TYPE),
    QCL_GUID_NAME(MF_MT_AUDIO_NUM_CHANNELS),
    QCL_GUID_NAME(MF_MT_AUDIO_SAMPLES_PER_SECOND),
    QCL_GUID_NAME(MF_MT_AUDIO_AVG_BYTES_PER_SECOND),
    QCL_GUID_NAME(MF_MT_AUDIO_BLOCK_ALIGNMENT),
    QCL_GUID_NAME(MF_MT_AUDIO_BITS_PER_SAMPLE),
    QCL_GUID_NAME(MF_MT_FRAME_SIZE),
    QCL_GUID_NAME(MF_MT_FRAME_RATE),
    QCL_GUID_NAME(MF_MT_FRAME_RATE_RANGE_MAX),
    QCL_GUID_NAME(MF_MT_FRAME_RATE_RANGE_MIN),
    QCL_GUID_NAME(MF_MT_PIXEL_ASPECT_RATIO),
    QCL_GUID_NAME(MF_MT_DRM_FLAGS),
    QCL_GUID_NAME(MF_MT_PAD_CONTROL_FLAGS),
    QCL_GUID_NAME(MF_MT_SOURCE_CONTENT_HINT),
    QCL_GUID_NAME(MF_MT_VIDEO_CHROMA_SITING),
    QCL_GUID_NAME(MF_MT_INTERLACE_MODE),
    QCL_GUID_NAME(MF_MT_TRANSFER_FUNCTION),
    QCL_GUID_NAME(MF_MT_VIDEO_PRIMARIES),
    QCL_GUID_NAME(MF_MT_YUV_MATRIX),
    QCL_GUID_NAME(MF_MT_VIDEO_LIGHTING),
    QCL_GUID_NAME(MF_MT_VIDEO_NOMINAL_RANGE),
    QCL_GUID_NAME(MF_MT_GEOMETRIC_APERTURE),
    QCL_GUID_NAME(MF_MT_MINIMUM_DISPLAY_APERTURE),
    QCL_GUID_NAME(MF_MT_PAN_SCAN_APERTURE),
    QCL_GUID_NAME(MF_MT_PAN_SCAN_ENABLED),
    QCL_GUID_NAME(MF_MT_AVG_BITRATE),
    QCL_GUID_NAME(MF_MT_AVG_BIT_ERROR_RATE),
    QCL_GUID_NAME(MF_MT_MAX_KEYFRAME_SPACING),
    QCL_GUID_NAME(MF_MT_DEFAULT_STRIDE),
    QCL_GUID_NAME(MF_MT_PALETTE),
    QCL_GUID_NAME(MF_MT_USER_DATA),
    QCL_GUID_NAME(MF_MT_MPEG_START_TIME_CODE),
    QCL_GUID_NAME(MF_MT_MPEG2_PROFILE),
    QCL_GUID_NAME(MF_MT_MPEG2_LEVEL),
    QCL_GUID_NAME(MF_MT_MPEG2_FLAGS),
    QCL_GUID_NAME(MF_MT_MPEG_SEQUENCE_HEADER),
    QCL_GUID_NAME(MF_MT_AM_FORMAT_TYPE),
    QCL_GUID_NAME(MFMediaType_Audio),
    QCL_GUID_NAME(MFMediaType_Video),
    QCL_GUID_NAME(MFMediaType_Protected),
    QCL_GUID_NAME(MFMediaType_SAMI),
    QCL_GUID_NAME(MFMediaType_Script),
    QCL_GUID_NAME(MFMediaType_Image),
    QCL_GUID_NAME(MFMediaType_HTML),
    QCL_GUID_NAME(MFMediaType_Binary),
    QCL_GUID_NAME(MFMediaType_FileTransfer),
    QCL_GUID_NAME(MFVideoFormat_AI44),
    QCL_GUID_NAME(MFVideoFormat_ARGB32),
    QCL_GUID_NAME(MFVideoFormat_AYUV),
    QCL_GUID_NAME(MFVideoFormat_DV25),
    QCL_GUID_NAME(MFVideoFormat_DV50),
    QCL_GUID_NAME(MFVideoFormat_DVH1),
    QCL_GUID_NAME(MFVideoFormat_DVSD),
    QCL_GUID_NAME(MFVideoFormat_DVSL),
    QCL_GUID_NAME(MFVideoFormat_H264),
    QCL_GUID_NAME(MFVideoFormat_I420),
    QCL_GUID_NAME(MFVideoFormat_IYUV),
    QCL_GUID_NAME(MFVideoFormat_M4S2),
    QCL_GUID_NAME(MFVideoFormat_MJPG),
    QCL_GUID_NAME(MFVideoFormat_MP43),
    QCL_GUID_NAME(MFVideoFormat_MP4S),
    QCL_GUID_NAME(MFVideoFormat_MP4V),
    QCL_GUID_NAME(MFVideoFormat_MPG1),
    QCL_GUID_NAME(MFVideoFormat_MSS1),
    QCL_GUID_NAME(MFVideoFormat_MSS2),
    QCL_GUID_NAME(MFVideoFormat_NV11),
    QCL_GUID_NAME(MFVideoFormat_NV12),
    QCL_GUID_NAME(MFVideoFormat_P010),
    QCL_GUID_NAME(MFVideoFormat_P016),
    QCL_GUID_NAME(MFVideoFormat_P210),
    QCL_GUID_NAME(MFVideoFormat_P216),
    QCL_GUID_NAME(MFVideoFormat_RGB24),
    QCL_GUID_NAME(MFVideoFormat_RGB32),
    QCL_GUID_NAME(MFVideoFormat_RGB555),
    QCL_GUID_NAME(MFVideoFormat_RGB565),
    QCL_GUID_NAME(MFVideoFormat_RGB8),
    QCL_GUID_NAME(MFVideoFormat_UYVY),
    QCL_GUID_NAME(MFVideoFormat_v210),
    QCL_GUID_NAME(MFVideoFormat_v410),
    QCL_GUID_NAME(MFVideoFormat_WMV1),
    QCL_GUID_NAME(MFVideoFormat_WMV2),
    QCL_GUID_NAME(MFVideoFormat_WMV3),
    QCL_GUID_NAME(MFVideoFormat_WVC1),
    QCL_GUID_NAME(MFVideoFormat_Y210),
    QCL_GUID_NAME(MFVideoFormat_Y216),
    QCL_GUID_NAME(MFVideoFormat_Y410),
    QCL_GUID_NAME(MFVideoFormat_Y416),
    QCL_GUID_NAME(MFVideoFormat_Y41P),
    QCL_GUID_NAME(MFVideoFormat_Y41T),
    QCL_GUID_NAME(MFVideoFormat_YUY2),
    QCL_GUID_NAME(MFVideoFormat_YV12),
    QCL_GUID_NAME(MFVideoFormat_YVYU),
    QCL_GUID_NAME(MFAudioFormat_PCM),
    QCL_GUID_NAME(MFAudioFormat_Float),
    QCL_GUID_NAME(MFAudioFormat_DTS),
    QCL_GUID_NAME(MFAudioFormat_Dolby_AC3_SPDIF),
    QCL_GUID_NAME(MFAudioFormat_DRM),
    QCL_GUID_NAME(MFAudioFormat_WMAudioV8),
    QCL_GUID_NAME(MFAudioFormat_WMAudioV9),
    QCL_GUID_NAME(MFAudioFormat_WMAudio_Lossless),
    QCL_GUID_NAME(MFAudioFormat_WMASPDIF),
    QCL_GUID_NAME(MFAudioFormat_MSP1),
    QCL_GUID_NAME(MFAudioFormat_MP3),
    QCL_GUID_NAME(MFAudioFormat_MPEG),
    QCL_GUID_NAME(MFAudioFormat_AAC),
    QCL_GUID_NAME(MFAudioFormat_ADTS),
};

#undef QCL_GUID_NAME

void printGuidName(const GUID& id) {
    for (const GuidName& entry : kGuidNames) {
        if (*entry.id == id) {
            debugPrint(L"%s", entry.name);
            return;
        }
    }
    LPOLESTR text = nullptr;
    if (SUCCEEDED(StringFromCLSID(id, &text))) {
        debugPrint(L"%s", text);
        CoTaskMemFree(text);
    }
}

bool isRatio(const GUID& id) {
    return id == MF_MT_FRAME_SIZE || id == MF_MT_FRAME_RATE || id == MF_MT_FRAME_RATE_RANGE_MAX ||
           id == MF_MT_FRAME_RATE_RANGE_MIN || id == MF_MT_PIXEL_ASPECT_RATIO;
}

bool isArea(const GUID& id) {
    return id == MF_MT_GEOMETRIC_APERTURE || id == MF_MT_MINIMUM_DISPLAY_APERTURE ||
           id == MF_MT_PAN_SCAN_APERTURE;
}

HRESULT printValue(const GUID& id, const PROPVARIANT& value, std::vector<std::uint64_t>& sizes) {
    if (isRatio(id) && value.vt == VT_UI8) {
        debugPrint(L"%d x %d", static_cast<int>(value.uhVal.HighPart),
                   static_cast<int>(value.uhVal.LowPart));
        if (id == MF_MT_FRAME_SIZE) {
            sizes.push_back(value.uhVal.QuadPart);
        }
        return S_OK;
    }
    if (isArea(id)) {
        if (value.vt != (VT_VECTOR | VT_UI1) || value.caub.cElems < sizeof(MFVideoArea)) {
            return MF_E_BUFFERTOOSMALL;
        }
        const auto* area = reinterpret_cast<const MFVideoArea*>(value.caub.pElems);
        debugPrint(L"(%f,%f) (%d,%d)", area->OffsetX.value + area->OffsetX.fract / 65536.0,
                   area->OffsetY.value + area->OffsetY.fract / 65536.0, area->Area.cx,
                   area->Area.cy);
        return S_OK;
    }
    switch (value.vt) {
        case VT_UI4:
            debugPrint(L"%d", value.ulVal);
            break;
        case VT_UI8:
            debugPrint(L"%I64d", value.uhVal.QuadPart);
            break;
        case VT_R8:
            debugPrint(L"%f", value.dblVal);
            break;
        case VT_CLSID:
            printGuidName(*value.puuid);
            break;
        case VT_LPWSTR:
            debugPrint(L"%s", value.pwszVal);
            break;
        case VT_VECTOR | VT_UI1:
            debugPrint(L"<<byte array>>");
            break;
        case VT_UNKNOWN:
            debugPrint(L"IUnknown");
            break;
        default:
            debugPrint(L"Unexpected attribute type (vt = %d)", value.vt);
            break;
    }
    return S_OK;
}

// Dumps one media type attribute by attribute; frame sizes are collected on the way.
HRESULT logMediaType(IMFMediaType* mediaType, std::vector<std::uint64_t>& sizes) {
    UINT32 count = 0;
    HRESULT result = mediaType->GetCount(&count);
    if (FAILED(result)) {
        return result;
    }
    if (count == 0) {
        debugPrint(L"Empty media type.\n");
    }
    for (UINT32 i = 0; i < count && SUCCEEDED(result); ++i) {
        GUID id = GUID_NULL;
        PROPVARIANT value;
        PropVariantInit(&value);
        result = mediaType->GetItemByIndex(i, &id, &value);
        if (SUCCEEDED(result)) {
            debugPrint(L"\t");
            printGuidName(id);
            debugPrint(L"\t");
            result = printValue(id, value, sizes);
            debugPrint(L"\n");
        }
        PropVariantClear(&value);
    }
    return result;
}

class MediaFoundationQueries : public CameraQueries {
  public:
    ~MediaFoundationQueries() override {
        for (UINT32 i = 0; i < count_; ++i) {
            release(devices_[i]);
        }
        CoTaskMemFree(devices_);
    }

    bool listDevices(std::vector<CameraDevice>& devices) override {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) ||
            FAILED(MFStartup(kMediaFoundationVersion, MFSTARTUP_FULL))) {
            return false;
        }
        IMFAttributes* attributes = nullptr;
        HRESULT result = MFCreateAttributes(&attributes, 1);
        if (SUCCEEDED(result)) {
            result = attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                                         MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
        }
        if (SUCCEEDED(result)) {
            result = MFEnumDeviceSources(attributes, &devices_, &count_);
        }
        release(attributes);
        if (FAILED(result)) {
            return false;
        }
        for (UINT32 i = 0; i < count_; ++i) {
            WCHAR* name = nullptr;
            UINT32 length = 0;
            if (FAILED(devices_[i]->GetAllocatedString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, &name,
                                                       &length))) {
                break;  // the listing ends with the devices named so far
            }
            devices.push_back(CameraDevice{static_cast<int>(i), utf8(name)});
            CoTaskMemFree(name);
        }
        return true;
    }

    bool frameSizes(const CameraDevice& device, std::vector<FrameSizeEntry>& sizes) override {
        IMFMediaSource* source = nullptr;
        if (FAILED(devices_[device.index]->ActivateObject(IID_PPV_ARGS(&source)))) {
            return false;
        }
        std::vector<std::uint64_t> packed;
        dumpMediaTypes(source, packed);
        release(source);
        for (const std::uint64_t size : packed) {
            sizes.push_back(FrameSizeEntry::size(static_cast<std::uint32_t>(size >> 32),
                                                 static_cast<std::uint32_t>(size & 0xFFFFFFFFU)));
        }
        return true;
    }

  private:
    static std::string utf8(const wchar_t* text) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 1) {
            return std::string();
        }
        std::string result(static_cast<std::size_t>(bytes - 1), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), bytes, nullptr, nullptr);
        return result;
    }

    static void dumpMediaTypes(IMFMediaSource* source, std::vector<std::uint64_t>& sizes) {
        IMFPresentationDescriptor* presentation = nullptr;
        IMFStreamDescriptor* stream = nullptr;
        IMFMediaTypeHandler* handler = nullptr;
        BOOL selected = FALSE;
        DWORD typeCount = 0;
        HRESULT result = source->CreatePresentationDescriptor(&presentation);
        if (SUCCEEDED(result)) {
            result = presentation->GetStreamDescriptorByIndex(0, &selected, &stream);
        }
        if (SUCCEEDED(result)) {
            result = stream->GetMediaTypeHandler(&handler);
        }
        if (SUCCEEDED(result)) {
            result = handler->GetMediaTypeCount(&typeCount);
        }
        for (DWORD i = 0; SUCCEEDED(result) && i < typeCount; ++i) {
            IMFMediaType* type = nullptr;
            result = handler->GetMediaTypeByIndex(i, &type);
            if (SUCCEEDED(result)) {
                result = logMediaType(type, sizes);
                debugPrint(L"\n");
            }
            release(type);
        }
        release(handler);
        release(stream);
        release(presentation);
    }

    IMFActivate** devices_ = nullptr;
    UINT32 count_ = 0;
};

}  // namespace

std::unique_ptr<CameraQueries> platformCameraQueries() {
    return std::make_unique<MediaFoundationQueries>();
}

}  // namespace qcl

#endif  // _WIN32
