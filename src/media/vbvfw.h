// SPDX-License-Identifier: GPL-3.0-or-later
// The video-file library contract: AVI files and streams behind 16-bit handles, statuses in the
// AVIERR numbering, the movie device's command strings and the library's log file.
//
// Handles are 0 or more when valid, below 0 on failure; a handle that is not open holds -1.
// Statuses are 0 on success, otherwise an AVIERR_* value (status & 0xFFF gives the short number).
// Positions are 64-bit so that long audio streams never wrap; video frame numbers fit in 32 bits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// ---- records -----------------------------------------------------------------------------------

// File header as the callers see it (a 109-byte record: eleven 32-bit fields and a 65-byte text).
struct AVIFILEINFO {
    uint32_t dwMaxBytesPerSec = 0;
    uint32_t dwFlags = 0;
    uint32_t dwCaps = 0;
    uint32_t dwStreams = 0;
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwWidth = 0;
    uint32_t dwHeight = 0;
    uint32_t dwScale = 0;
    uint32_t dwRate = 0;
    uint32_t dwLength = 0;
    uint32_t dwEditCount = 0;
    char szFileType[65] = {};
};

// Stream header as the callers see it (a 141-byte record ending in a 65-byte name).
struct AVISTREAMINFO {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwFlags = 0;
    uint32_t dwCaps = 0;
    uint16_t wPriority = 0;
    uint16_t wLanguage = 0;
    uint32_t dwScale = 0;
    uint32_t dwRate = 0;
    uint32_t dwStart = 0;
    uint32_t dwLength = 0;
    uint32_t dwInitialFrames = 0;
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwQuality = 0;
    uint32_t dwSampleSize = 0;
    int32_t rcFrameLeft = 0;
    int32_t rcFrameTop = 0;
    int32_t rcFrameRight = 0;
    int32_t rcFrameBottom = 0;
    uint32_t dwEditCount = 0;
    uint32_t dwFormatChangeCount = 0;
    char szName[65] = {};
};

// The first 40 bytes of a video format.
struct BITMAPINFOHEADER {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// The first 18 bytes of an audio format.
struct WAVEFORMATEX {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

inline constexpr int32_t kAviFileInfoSize = 109;
inline constexpr int32_t kAviStreamInfoSize = 141;
inline constexpr int32_t kBitmapInfoHeaderSize = 40;
inline constexpr int32_t kWaveFormatExSize = 18;

// Decoding of format bytes as stored in a file (little-endian). Missing bytes read as 0.
BITMAPINFOHEADER DecodeBitmapInfoHeader(const void* bytes, int32_t size);
WAVEFORMATEX DecodeWaveFormatEx(const void* bytes, int32_t size);
// The bytes a format needs for IsPcmWaveFormat to see an extensible format's sub-format.
inline constexpr int32_t kWaveFormatExtensibleSize = 40;
// True for PCM audio, integer or float, also in the extensible form (told by its sub-format).
bool IsPcmWaveFormat(const void* bytes, int32_t size);

// ---- constants ---------------------------------------------------------------------------------

inline constexpr uint32_t kStreamTypeVideo = 0x73646976;  // "vids"
inline constexpr uint32_t kStreamTypeAudio = 0x73647561;  // "auds"

inline constexpr int32_t kOpenRead = 0x0000;
inline constexpr int32_t kOpenWrite = 0x0001;
inline constexpr int32_t kOpenCreate = 0x1000;
// With kOpenCreate: create a new file only; an existing name or a symbolic link fails (EEXIST,
// ELOOP) instead of being truncated or followed.
inline constexpr int32_t kOpenCreateNew = 0x10000;

inline constexpr int32_t kAviIfKeyFrame = 0x10;

inline constexpr int32_t kFindNext = 0x0001;
inline constexpr int32_t kFindPrev = 0x0004;
inline constexpr int32_t kFindFromStart = 0x0008;
inline constexpr int32_t kFindKey = 0x0010;
inline constexpr int32_t kFindAny = 0x0020;
inline constexpr int32_t kFindFormat = 0x0040;

inline constexpr int32_t MakeAviErr(int n) {
    return static_cast<int32_t>(0x80044000u + n);
}
inline constexpr int32_t AVIERR_OK = 0;
inline constexpr int32_t AVIERR_UNSUPPORTED = MakeAviErr(101);
inline constexpr int32_t AVIERR_BADFORMAT = MakeAviErr(102);
inline constexpr int32_t AVIERR_MEMORY = MakeAviErr(103);
inline constexpr int32_t AVIERR_INTERNAL = MakeAviErr(104);
inline constexpr int32_t AVIERR_BADFLAGS = MakeAviErr(105);
inline constexpr int32_t AVIERR_BADPARAM = MakeAviErr(106);
inline constexpr int32_t AVIERR_BADSIZE = MakeAviErr(107);
inline constexpr int32_t AVIERR_BADHANDLE = MakeAviErr(108);
inline constexpr int32_t AVIERR_FILEREAD = MakeAviErr(109);
inline constexpr int32_t AVIERR_FILEWRITE = MakeAviErr(110);
inline constexpr int32_t AVIERR_FILEOPEN = MakeAviErr(111);
inline constexpr int32_t AVIERR_READONLY = MakeAviErr(114);
inline constexpr int32_t AVIERR_NODATA = MakeAviErr(115);
inline constexpr int32_t AVIERR_BUFFERTOOSMALL = MakeAviErr(116);
inline constexpr int32_t AVIERR_ERROR = MakeAviErr(199);

// True when a status means "buffer too small, first part filled" (low byte 0x74).
inline constexpr bool IsBufferTooSmall(int32_t status) {
    return (status & 0xFF) == 0x74;
}

// ---- operations --------------------------------------------------------------------------------

void vbvfw_AVIFileInit();
void vbvfw_AVIFileExit();

// Opens the library's log; every failed operation then adds one line (what, which file, status).
int16_t vbvfw_log_open(const std::string& path);
void vbvfw_log_write(const std::string& line);
void vbvfw_log_close();

// mode: kOpenRead, or kOpenWrite | kOpenCreate (an existing file is truncated), optionally with
// kOpenCreateNew.
int16_t vbvfw_AVIFileOpen(const std::string& fileName, int32_t mode);
// Status of the last failed open; vbvfw_errno() is the system error number saved with it.
int32_t vbvfw_error();
int32_t vbvfw_errno();
// The system error number of the last failed write or release of a written file (disk full,
// file too large, I/O error), 0 when none failed.
int32_t vbvfw_write_errno();

int32_t vbvfw_AVIFileInfo(int16_t file, AVIFILEINFO* info, int32_t size);
int16_t vbvfw_AVIFileGetStream(int16_t file, uint32_t type, int32_t index);
int16_t vbvfw_AVIFileCreateStream(int16_t file, const AVISTREAMINFO* info, int32_t reserved);
int32_t vbvfw_AVIStreamInfo(int16_t stream, AVISTREAMINFO* info, int32_t size);

// size: capacity in, format size out. A buffer smaller than the format gets its first part and
// AVIERR_BUFFERTOOSMALL; a null buffer only reports the size.
int32_t vbvfw_AVIStreamReadFormat(int16_t stream, int32_t pos, void* buffer, int32_t* size);
int32_t vbvfw_AVIStreamSetFormat(int16_t stream, int32_t pos, const void* buffer, int32_t size);

// Reads count samples from start. A null buffer reports the bytes the read would need. A buffer
// too small for the data fails with AVIERR_BUFFERTOOSMALL, bytesRead = the size needed and
// samplesRead = 0. Audio with a sample size of 0 is read one chunk per sample.
int32_t vbvfw_AVIStreamRead(int16_t stream, int64_t start, int32_t count, void* buffer,
                            int32_t capacity, int32_t* bytesRead, int32_t* samplesRead);
// Writes one chunk; flags kAviIfKeyFrame marks a key frame.
int32_t vbvfw_AVIStreamWrite(int16_t stream, int64_t start, int32_t count, const void* buffer,
                             int32_t size, int32_t flags, int32_t* samplesWritten,
                             int32_t* bytesWritten);
// Position found, or -1.
int64_t vbvfw_AVIStreamFindSample(int16_t stream, int64_t pos, int32_t flags);

// Releasing returns a status so that a failure to finish a written file is never silent.
// Releasing a file releases any of its streams still open.
int32_t vbvfw_AVIStreamRelease(int16_t stream);
int32_t vbvfw_AVIFileRelease(int16_t file);

// Movie device command strings. The reply is replaced by the device's answer, or on failure by a
// short text describing the error. Returns the MCI error number, 0 on success.
int32_t vbvfw_mciSendString(const std::string& command, std::string& reply);

// The composition root registers the movie device's interpreter; without one every command fails
// with 266 (MCIERR_CANNOT_LOAD_DRIVER).
using MciHandler = std::function<int32_t(const std::string& command, std::string& reply)>;
void vbvfw_set_mci_handler(MciHandler handler);
