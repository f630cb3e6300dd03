#pragma once

#include <stdexcept>
#include <string>

namespace kestrova::stream {

// Result codes a stream thread returns and posts with WM_STREAM_ENDED.
enum ResultCode : int {
    kStopped = 0,
    kOutOfMemory = 100,
    kConnectError = 200,
    kRefused = 300,
    kBusy = 310,
    kReadError = 400,
    kBadStreamNumber = 420,
    kMalformed = 430,
    kFileError = 500,
    kOtherError = 800,
};

inline constexpr const char* kBusyText = "Unable to connect to Camera - too many users already "
                                         "connected or\ndevice is busy. Please try again later.";

// Failure raised by the ASF session and its parser: a message and a result code.
class CPlayerException : public std::runtime_error {
public:
    CPlayerException(std::string message, int code)
        : std::runtime_error(std::move(message)), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Failure raised by the Motion-JPEG session and its parser.
class CMJpegPlayerException : public std::runtime_error {
public:
    CMJpegPlayerException(std::string message, int code)
        : std::runtime_error(std::move(message)), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Writing the record file failed (maps to code 500 in the ASF session).
class CRecordFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace kestrova::stream
