// The error component: holds the result code of the last operation that recorded one.
//
// Every array of the library carries one CKQError.  The arrays only ever store a code into it
// (SetError) and copy it (operator=); clients read the code back with GetError and compare it
// with the constants of KQResultCodes.h.
//
// Any thread may record or read a code at any time: each code is stored and loaded as one atomic
// step, so concurrent operations on one array leave one of their codes (the last to be recorded),
// never a torn value.
#ifndef KQ_ERROR_H
#define KQ_ERROR_H

#include <cstdint>

#include "CKQError_export.h"

// The error state of an array (see the file comment).
class CKQERROR_EXPORT CKQError {
public:
  // A new error state holds code 0 (no error recorded).
  CKQError() = default;
  CKQError(const CKQError& other);
  virtual ~CKQError();

  // Copies the recorded code of `other`.
  const CKQError& operator=(const CKQError& other);

  // Records `code`, replacing the previous one.  Returns 1.
  std::int32_t SetError(std::uint32_t code);

  // The last recorded code.
  std::uint32_t GetError() const;

private:
  std::uint32_t m_nCode = 0;
};

#endif // KQ_ERROR_H
