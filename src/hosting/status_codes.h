#pragma once

#include <cstdint>

namespace kestrova::hosting {

// Status codes of the module entry points (32-bit, negative on failure).
using Status = int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kFalse = 1;
inline constexpr Status kTypeLibRegistrationFailed = static_cast<Status>(0x80040200u);
inline constexpr Status kClassRegistrationFailed = static_cast<Status>(0x80040201u);
inline constexpr Status kNoInterface = static_cast<Status>(0x80004002u);
inline constexpr Status kNullPointer = static_cast<Status>(0x80004003u);
inline constexpr Status kFail = static_cast<Status>(0x80004005u);
inline constexpr Status kClassNotAvailable = static_cast<Status>(0x80040111u);

// Automation call failures, as a page's script engine reports them.
inline constexpr Status kDispUnknownName = static_cast<Status>(0x80020006u);
inline constexpr Status kDispMemberNotFound = static_cast<Status>(0x80020003u);
inline constexpr Status kDispTypeMismatch = static_cast<Status>(0x80020005u);
inline constexpr Status kDispOverflow = static_cast<Status>(0x8002000Au);
inline constexpr Status kDispBadParamCount = static_cast<Status>(0x8002000Eu);

// The stock dispatch id of AboutBox.
inline constexpr int32_t kDispidAboutBox = -552;

} // namespace kestrova::hosting
