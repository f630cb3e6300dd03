#include "hosting/dispatch.h"

#include "hosting/argument_conversion.h"
#include "hosting/status_codes.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>
#include <array>
#include <set>

namespace kestrova::hosting {

namespace {

// The C++ types a control may declare for each automation type. Long is 32-bit on the
// page's side; a control may take it as int or as long.
bool Compatible(int32_t type, int metaType) {
    switch (type) {
    case KESTROVA_DISP_VOID:
        return metaType == QMetaType::Void;
    case KESTROVA_DISP_BOOL:
        return metaType == QMetaType::Bool;
    case KESTROVA_DISP_SHORT:
        return metaType == QMetaType::Short;
    case KESTROVA_DISP_LONG:
        return metaType == QMetaType::Int || metaType == QMetaType::Long;
    case KESTROVA_DISP_STRING:
        return metaType == QMetaType::QString;
    }
    return false;
}

// Converts one argument to the control's declared C++ type with the standard coercion.
Converted Convert(const QVariant& arg, int32_t type, QMetaType target) {
    Converted c = ConvertArgument(arg, type);
    if (c.error == ConversionError::kNone && !c.value.convert(target))
        c = {{}, ConversionError::kTypeMismatch};
    return c;
}

// The result as the page sees it: 32-bit numbers, BOOL as true/false, text.
QVariant PageResult(int32_t type, const QVariant& value) {
    switch (type) {
    case KESTROVA_DISP_SHORT:
    case KESTROVA_DISP_LONG:
        return QVariant(static_cast<int>(value.toLongLong()));
    case KESTROVA_DISP_BOOL:
        return QVariant(value.toBool());
    case KESTROVA_DISP_STRING:
        return QVariant(value.toString());
    }
    return {};
}

// How a page would name the kind of value it passed.
QString ArgKind(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QStringLiteral("nothing");
    switch (v.typeId()) {
    case QMetaType::QString:
        return QStringLiteral("string \"%1\"").arg(v.toString().left(40));
    case QMetaType::Bool:
        return QStringLiteral("boolean");
    case QMetaType::QVariantList:
        return QStringLiteral("array");
    case QMetaType::QVariantMap:
        return QStringLiteral("object");
    default:
        if (v.canConvert<double>())
            return QStringLiteral("number %1").arg(v.toString());
        return QString::fromLatin1(v.typeName());
    }
}

int FindMethod(const QMetaObject& meta, const char* name, int* count) {
    int found = -1;
    *count = 0;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod m = meta.method(i);
        if (m.methodType() != QMetaMethod::Method && m.methodType() != QMetaMethod::Slot)
            continue;
        if (m.access() != QMetaMethod::Public || m.name() != name)
            continue;
        ++*count;
        found = i;
    }
    return found;
}

bool Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

} // namespace

const char* DispatchTypeName(int32_t type) {
    switch (type) {
    case KESTROVA_DISP_VOID:
        return "void";
    case KESTROVA_DISP_BOOL:
        return "BOOL";
    case KESTROVA_DISP_SHORT:
        return "short";
    case KESTROVA_DISP_LONG:
        return "long";
    case KESTROVA_DISP_STRING:
        return "string";
    }
    return "unknown";
}

std::span<const KestrovaDispatchMethod> DispatchTable::Methods() const {
    if (!table_ || !table_->methods)
        return {};
    return {table_->methods, table_->methodCount};
}

const KestrovaDispatchMethod* DispatchTable::Find(int32_t dispid) const {
    for (const auto& m : Methods())
        if (m.dispid == dispid)
            return &m;
    return nullptr;
}

const KestrovaDispatchMethod* DispatchTable::Find(std::string_view name) const {
    for (const auto& m : Methods())
        if (m.name && name == m.name)
            return &m;
    return nullptr;
}

QStringList DispatchTable::CheckAgainst(const QMetaObject& meta) const {
    QStringList problems;
    if (!table_)
        return {QStringLiteral("no dispatch table")};
    std::set<std::string_view> names;
    std::set<int32_t> ids;
    int32_t expectedId = 1;
    for (const auto& e : Methods()) {
        const QString name = QString::fromLatin1(e.name ? e.name : "");
        if (!names.insert(e.name ? e.name : "").second)
            problems << QStringLiteral("%1: name listed twice").arg(name);
        if (!ids.insert(e.dispid).second)
            problems << QStringLiteral("%1: dispatch id %2 listed twice").arg(name).arg(e.dispid);
        if (e.dispid != kDispidAboutBox) {
            if (e.dispid != expectedId)
                problems << QStringLiteral("%1: dispatch id %2, expected %3")
                                .arg(name)
                                .arg(e.dispid)
                                .arg(expectedId);
            expectedId = e.dispid + 1;
        }
        int count = 0;
        const int index = FindMethod(meta, e.name ? e.name : "", &count);
        if (count == 0) {
            problems << QStringLiteral("%1: no such method on %2").arg(name, meta.className());
            continue;
        }
        if (count > 1) {
            problems << QStringLiteral("%1: overloaded on %2").arg(name, meta.className());
            continue;
        }
        const QMetaMethod m = meta.method(index);
        if (!Compatible(e.result, m.returnType()))
            problems << QStringLiteral("%1: result is %2, the control returns %3")
                            .arg(name, DispatchTypeName(e.result), m.typeName());
        if (static_cast<uint32_t>(m.parameterCount()) != e.paramCount) {
            problems << QStringLiteral("%1: %2 parameter(s), the control takes %3")
                            .arg(name)
                            .arg(e.paramCount)
                            .arg(m.parameterCount());
            continue;
        }
        const QList<QByteArray> paramNames = m.parameterNames();
        for (uint32_t i = 0; i < e.paramCount; ++i) {
            const KestrovaDispatchParam& p = e.params[i];
            if (!Compatible(p.type, m.parameterType(static_cast<int>(i))))
                problems << QStringLiteral("%1: parameter %2 is %3, the control takes %4")
                                .arg(name)
                                .arg(i + 1)
                                .arg(DispatchTypeName(p.type),
                                     QMetaType(m.parameterType(static_cast<int>(i))).name());
            if (paramNames.value(static_cast<qsizetype>(i)) != p.name)
                problems << QStringLiteral("%1: parameter %2 is named %3, the control says %4")
                                .arg(name)
                                .arg(i + 1)
                                .arg(QString::fromLatin1(p.name),
                                     QString::fromLatin1(paramNames.value(i)));
        }
    }
    return problems;
}

bool DispatchTable::Invoke(QObject* object, std::string_view name, const QVariantList& args,
                           QVariant* result, QString* error, Status* status) const {
    if (status)
        *status = kDispUnknownName;
    const KestrovaDispatchMethod* e = Find(name);
    if (!e)
        return Fail(error,
                    QStringLiteral("%1 has no method %2")
                        .arg(QString::fromLatin1(InterfaceName()),
                             QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
    return Invoke(object, e->dispid, args, result, error, status);
}

bool DispatchTable::Invoke(QObject* object, int32_t dispid, const QVariantList& args,
                           QVariant* result, QString* error, Status* status) const {
    if (status)
        *status = kDispMemberNotFound;
    const KestrovaDispatchMethod* e = Find(dispid);
    if (!e)
        return Fail(error, QStringLiteral("%1 has no dispatch id %2")
                               .arg(QString::fromLatin1(InterfaceName()))
                               .arg(dispid));
    const QString name = QString::fromLatin1(e->name);
    if (status)
        *status = kFail;
    if (!object)
        return Fail(error, QStringLiteral("%1: no control").arg(name));
    // Qt calls take at most ten arguments; no automation method has more.
    constexpr uint32_t kMaxArgs = 10;
    if (e->paramCount > kMaxArgs)
        return Fail(error, QStringLiteral("%1: too many parameters").arg(name));
    if (static_cast<uint32_t>(args.size()) != e->paramCount) {
        if (status)
            *status = kDispBadParamCount;
        return Fail(error, QStringLiteral("%1 takes %2 argument(s), %3 given")
                               .arg(name)
                               .arg(e->paramCount)
                               .arg(args.size()));
    }
    int count = 0;
    const int index = FindMethod(*object->metaObject(), e->name, &count);
    if (count != 1)
        return Fail(error, QStringLiteral("%1: the control does not have this method").arg(name));
    const QMetaMethod m = object->metaObject()->method(index);
    if (static_cast<uint32_t>(m.parameterCount()) != e->paramCount ||
        !Compatible(e->result, m.returnType()))
        return Fail(error,
                    QStringLiteral("%1: the control's method does not match its table").arg(name));

    std::array<QVariant, kMaxArgs> values;
    std::array<QGenericArgument, kMaxArgs> generic{};
    for (uint32_t i = 0; i < e->paramCount; ++i) {
        const int declared = m.parameterType(static_cast<int>(i));
        if (!Compatible(e->params[i].type, declared))
            return Fail(
                error,
                QStringLiteral("%1: the control's method does not match its table").arg(name));
        Converted c = Convert(args[i], e->params[i].type, QMetaType(declared));
        if (c.error != ConversionError::kNone) {
            if (status)
                *status = c.error == ConversionError::kOverflow ? kDispOverflow : kDispTypeMismatch;
            const QString what = c.error == ConversionError::kOverflow
                                     ? QStringLiteral("%1 does not fit a %2")
                                     : QStringLiteral("%1 is not a %2");
            return Fail(error,
                        QStringLiteral("%1: argument %2 (%3): %4: %5")
                            .arg(name)
                            .arg(i + 1)
                            .arg(QString::fromLatin1(e->params[i].name),
                                 QString::fromLatin1(ConversionErrorName(c.error)),
                                 what.arg(ArgKind(args[i]), DispatchTypeName(e->params[i].type))));
        }
        values[i] = std::move(c.value);
        generic[i] = QGenericArgument(QMetaType(declared).name(), values[i].constData());
    }

    QVariant returned;
    QGenericReturnArgument ret;
    if (m.returnType() != QMetaType::Void) {
        returned = QVariant(QMetaType(m.returnType()));
        ret = QGenericReturnArgument(QMetaType(m.returnType()).name(), returned.data());
    }
    const bool ok =
        m.invoke(object, Qt::DirectConnection, ret, generic[0], generic[1], generic[2], generic[3],
                 generic[4], generic[5], generic[6], generic[7], generic[8], generic[9]);
    if (!ok)
        return Fail(error, QStringLiteral("%1: the call failed").arg(name));
    if (result)
        *result = PageResult(e->result, returned);
    if (status)
        *status = kOk;
    return true;
}

} // namespace kestrova::hosting
