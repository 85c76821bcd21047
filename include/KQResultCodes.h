// Result codes that the arrays record in their error state.
//
// They are Windows system error codes.  On Windows they come from the system headers; elsewhere
// this header defines the same names with the same values, so client code compares the recorded
// code with ERROR_NOT_FOUND and friends on every target.
#ifndef KQ_RESULT_CODES_H
#define KQ_RESULT_CODES_H

#include <cstdint>

// The index that the find operations return when nothing matches: all bits set, never a valid
// position (an array holds at most 0xFFFFFFFE elements).  A macro, so that C code and
// preprocessor conditions can use it too.
// NOLINTNEXTLINE(cppcoreguidelines-macro-usage): must stay usable from C and in #if
#define KQ_NO_INDEX 0xFFFFFFFFu

#if defined(_WIN32)
#include <winerror.h>
#else
// The codes' names and values as the Windows headers define them.
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_OUTOFMEMORY = 14;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_NOT_FOUND = 1168;
inline constexpr std::uint32_t ERROR_INVALID_INDEX = 1413;
inline constexpr std::uint32_t ERROR_INVALID_STATE = 5023;
#endif

#endif // KQ_RESULT_CODES_H
