#include "hosting/argument_conversion.h"

#include <cmath>
#include <limits>
#include <optional>

namespace kestrova::hosting {

namespace {

bool IsNothing(const QVariant& v) {
    return !v.isValid() || v.typeId() == QMetaType::Nullptr;
}

bool IsInteger(int typeId) {
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool IsFloating(int typeId) {
    return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

// A decimal number in text: optional blanks, sign, digits with at most one decimal point,
// an optional exponent, optional blanks. Anything else (hex, thousands separators, words)
// does not parse.
std::optional<double> ParseNumber(const QString& text) {
    const QByteArray s = text.trimmed().toLatin1();
    if (s.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    if (s[i] == '+' || s[i] == '-')
        ++i;
    qsizetype digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            ++digits;
        else if (s[i] == '.' && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        qsizetype expDigits = 0;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            ++expDigits;
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    // Qt's parser, unlike strtod, ignores the process locale: "2.5" is 2.5 everywhere.
    return s.toDouble();
}

// The number an argument stands for, before rounding; nullopt for a type mismatch.
std::optional<double> NumberOf(const QVariant& arg) {
    if (IsNothing(arg))
        return 0.0;
    const int t = arg.typeId();
    if (t == QMetaType::Bool)
        return arg.toBool() ? -1.0 : 0.0;
    if (IsInteger(t) || IsFloating(t))
        return arg.toDouble();
    if (t == QMetaType::QString)
        return ParseNumber(arg.toString());
    return std::nullopt;
}

Converted Integer(const QVariant& arg, long long lo, long long hi) {
    // Whole numbers keep every bit (a double would round the largest 64-bit values).
    if (IsInteger(arg.typeId())) {
        if (arg.typeId() == QMetaType::ULongLong || arg.typeId() == QMetaType::ULong) {
            const qulonglong u = arg.toULongLong();
            if (u > static_cast<qulonglong>(hi))
                return {{}, ConversionError::kOverflow};
            return {QVariant(static_cast<qint64>(u)), ConversionError::kNone};
        }
        const qint64 n = arg.toLongLong();
        if (n < lo || n > hi)
            return {{}, ConversionError::kOverflow};
        return {QVariant(n), ConversionError::kNone};
    }
    const auto number = NumberOf(arg);
    if (!number)
        return {{}, ConversionError::kTypeMismatch};
    if (!std::isfinite(*number))
        return {{}, ConversionError::kOverflow};
    // Half to even, as the standard coercion rounds: 2.5 -> 2, 3.5 -> 4, -0.5 -> 0.
    const double rounded = *number - std::remainder(*number, 1.0);
    if (rounded < static_cast<double>(lo) || rounded > static_cast<double>(hi))
        return {{}, ConversionError::kOverflow};
    return {QVariant(static_cast<qint64>(rounded)), ConversionError::kNone};
}

// A double as the standard coercion writes it: 15 significant digits, an exponent
// only when needed ("1.5", "0.1", "1E+20"), never a negative zero.
QString DoubleText(double d) {
    if (d == 0)
        return QStringLiteral("0");
    return QString::number(d, 'G', 15); // locale-independent, unlike printf
}

Converted Text(const QVariant& arg) {
    if (IsNothing(arg))
        return {QVariant(QString()), ConversionError::kNone};
    const int t = arg.typeId();
    if (t == QMetaType::QString)
        return {arg, ConversionError::kNone};
    if (t == QMetaType::Bool)
        return {QVariant(arg.toBool() ? QStringLiteral("-1") : QStringLiteral("0")),
                ConversionError::kNone};
    if (IsInteger(t))
        return {QVariant(arg.toString()), ConversionError::kNone};
    if (IsFloating(t))
        return {QVariant(DoubleText(arg.toDouble())), ConversionError::kNone};
    return {{}, ConversionError::kTypeMismatch};
}

Converted Boolean(const QVariant& arg) {
    if (arg.typeId() == QMetaType::QString) {
        const QString s = arg.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return {QVariant(true), ConversionError::kNone};
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return {QVariant(false), ConversionError::kNone};
    }
    const auto number = NumberOf(arg);
    if (!number)
        return {{}, ConversionError::kTypeMismatch};
    return {QVariant(*number != 0), ConversionError::kNone};
}

} // namespace

Converted ConvertArgument(const QVariant& arg, int32_t type) {
    switch (type) {
    case KESTROVA_DISP_SHORT:
        return Integer(arg, std::numeric_limits<int16_t>::min(),
                       std::numeric_limits<int16_t>::max());
    case KESTROVA_DISP_LONG:
        return Integer(arg, std::numeric_limits<int32_t>::min(),
                       std::numeric_limits<int32_t>::max());
    case KESTROVA_DISP_STRING:
        return Text(arg);
    case KESTROVA_DISP_BOOL:
        return Boolean(arg);
    }
    return {{}, ConversionError::kTypeMismatch};
}

const char* ConversionErrorName(ConversionError error) {
    switch (error) {
    case ConversionError::kNone:
        return "none";
    case ConversionError::kTypeMismatch:
        return "type mismatch";
    case ConversionError::kOverflow:
        return "overflow";
    }
    return "unknown";
}

} // namespace kestrova::hosting
