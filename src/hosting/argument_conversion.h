#pragma once

#include "hosting/dispatch_abi.h"

#include <QString>
#include <QVariant>

namespace kestrova::hosting {

// Why a page's argument could not become the declared parameter type.
enum class ConversionError {
    kNone,
    kTypeMismatch, // not a number where one is needed, an object, text that does not parse
    kOverflow,     // a number outside the parameter's range
};

struct Converted {
    QVariant value; // qint64 for short and long, bool for BOOL, QString for string
    ConversionError error = ConversionError::kNone;
};

// Converts one page argument to an automation parameter type the way automation's
// standard coercion does, so pages may pass what they have at hand (form fields give
// strings, check boxes booleans):
// - short/long: numbers rounded half to even, booleans as -1/0, numeric text with blanks
//   around it; null/undefined is 0; out of range is an overflow.
// - string: numbers as decimal text (up to 15 significant digits), booleans as "-1"/"0";
//   null/undefined is "".
// - BOOL: non-zero numbers are true, "true"/"false" in any case or numeric text; null is
//   false.
Converted ConvertArgument(const QVariant& arg, int32_t type);

// How an error names itself to the page ("type mismatch", "overflow").
const char* ConversionErrorName(ConversionError error);

} // namespace kestrova::hosting
