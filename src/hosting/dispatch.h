#pragma once

#include "hosting/dispatch_abi.h"
#include "hosting/status_codes.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstddef>
#include <span>
#include <string_view>

class QObject;
struct QMetaObject;

namespace kestrova::hosting {

// A control's dispatch table as a host reads it: lookup by name or dispatch id, a check
// against the control's invokable methods, and calls with the arguments converted to the
// declared parameter types.
class DispatchTable {
public:
    explicit DispatchTable(const KestrovaDispatchTable* table) : table_(table) {}

    bool Valid() const { return table_ != nullptr; }
    const char* InterfaceName() const { return table_ ? table_->interfaceName : ""; }
    std::span<const KestrovaDispatchMethod> Methods() const;
    const KestrovaDispatchMethod* Find(int32_t dispid) const;
    const KestrovaDispatchMethod* Find(std::string_view name) const;

    // Every difference between the table and the control class: missing or overloaded
    // methods, other parameter counts, types or names, other results, repeated names or
    // ids, ids out of order. Empty when they agree.
    QStringList CheckAgainst(const QMetaObject& meta) const;

    // Calls the method on `object`, each argument first converted to its declared type
    // with the standard coercion (hosting/argument_conversion.h). A wrong id or name, a
    // wrong argument count, or an argument that does not convert is refused with a message
    // in `error` naming the method and the argument, and nothing is called; `status`
    // receives the automation error (type mismatch, overflow, ...) or 0.
    bool Invoke(QObject* object, int32_t dispid, const QVariantList& args,
                QVariant* result = nullptr, QString* error = nullptr,
                Status* status = nullptr) const;
    bool Invoke(QObject* object, std::string_view name, const QVariantList& args,
                QVariant* result = nullptr, QString* error = nullptr,
                Status* status = nullptr) const;

private:
    const KestrovaDispatchTable* table_;
};

// Builders for the constant method lists of a module's dispatch table.
template <std::size_t N>
constexpr KestrovaDispatchMethod DispatchMethod(int32_t id, const char* name, int32_t result,
                                                const KestrovaDispatchParam (&params)[N]) {
    return {id, name, result, N, params};
}
constexpr KestrovaDispatchMethod DispatchMethod(int32_t id, const char* name) {
    return {id, name, KESTROVA_DISP_VOID, 0, nullptr};
}

// The page-visible name of a parameter or result type ("long", "short", "string", ...).
const char* DispatchTypeName(int32_t type);

} // namespace kestrova::hosting
