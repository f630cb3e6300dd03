#pragma once

#include "hosting/key_store.h"

#include <map>
#include <string>

namespace kestrova::hosting::testing {

// A key store in memory whose writes fail under chosen key prefixes, to drive the
// registration's failure paths.
class MemoryKeyStore final : public KeyStore {
public:
    std::map<std::string, std::string> values; // "key|name" -> value
    std::string failUnder;                     // writes under this key prefix fail
    int writes = 0;

    static std::string Id(std::string_view key, std::string_view name) {
        return std::string(key) + "|" + std::string(name);
    }
    bool Write(std::string_view key, std::string_view name, std::string_view value) override {
        if (!failUnder.empty() && std::string_view(key).starts_with(failUnder))
            return false;
        ++writes;
        values[Id(key, name)] = value;
        return true;
    }
    std::optional<std::string> Read(std::string_view key, std::string_view name) const override {
        auto it = values.find(Id(key, name));
        if (it == values.end())
            return std::nullopt;
        return it->second;
    }
    bool Exists(std::string_view key) const override {
        const std::string prefix(key);
        for (const auto& [id, value] : values)
            if (id.starts_with(prefix + "|") || id.starts_with(prefix + "\\"))
                return true;
        return false;
    }
    bool RemoveKey(std::string_view key) override {
        const std::string prefix(key);
        std::erase_if(values, [&](const auto& kv) {
            return kv.first.starts_with(prefix + "|") || kv.first.starts_with(prefix + "\\");
        });
        return true;
    }
    bool RemoveValue(std::string_view key, std::string_view name) override {
        values.erase(Id(key, name));
        return true;
    }
    // Keys below `prefix`.
    int CountUnder(std::string_view prefix) const {
        int n = 0;
        for (const auto& [id, value] : values)
            n += id.starts_with(prefix);
        return n;
    }
};

} // namespace kestrova::hosting::testing
