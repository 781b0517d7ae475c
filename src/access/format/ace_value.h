// Stored forms Access 2007 and later added.
//
// Date/Time Extended: 42 ASCII bytes, 19 digits of days since 0001-01-01
// (proleptic Gregorian), ':', 12 digits of seconds since midnight, 7 digits
// of 100 ns steps, then ":7" and a NUL.
//
// Calculated columns wrap their result: 16 bytes (zero), uint32 L, L bytes of
// the value, 3 more bytes. The value is in its type's usual form, except
//   Yes/No    one byte (non-zero = true), not a null-mask bit;
//   Decimal   uint16 T, scale, sign (non-zero = negative), then N magnitude
//             bytes with N = ((T > 0 ? T : L - 2) - 2) down to a multiple of 4
//             (at most 16), as words most significant first: a 32-bit word
//             when N is not a multiple of 8, then 64-bit words.
// L = 0 is how Access stores "no result".
#pragma once

#include "access/base/coding.h"
#include "access/base/status.h"
#include "access/format/value.h"

namespace veltrano::access {

constexpr size_t kExtDateTimeSize = 42;

// Corruption for anything but digits in their places or an impossible date.
Result<Value> decodeExtDateTime(Bytes stored);

// The L bytes inside a calculated column's wrapper (empty when L = 0).
Result<Bytes> calculatedPayload(Bytes wrapper);
// A calculated Decimal payload (non-empty) as a Decimal value with its own scale.
Result<Value> decodeCalculatedDecimal(Bytes payload);

}  // namespace veltrano::access
