#include "json.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace kestrova::sim {

std::string JsonEscape(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

const JsonValue* JsonValue::Find(const std::string& key) const {
    if (kind != Kind::Object)
        return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &it->second;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view t) : text_(t) {}

    std::optional<JsonValue> Document() {
        JsonValue v;
        if (!Value(v, 0))
            return std::nullopt;
        Skip();
        if (pos_ != text_.size())
            return std::nullopt;
        return v;
    }

private:
    static constexpr int kMaxDepth = 32;

    void Skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }
    bool Eat(char c) {
        Skip();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view w) {
        if (text_.substr(pos_, w.size()) != w)
            return false;
        pos_ += w.size();
        return true;
    }

    bool String(std::string& out) {
        if (!Eat('"'))
            return false;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                return false;
            char e = text_[pos_++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                if (pos_ + 4 > text_.size())
                    return false;
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    char h = text_[pos_++];
                    if (!std::isxdigit(static_cast<unsigned char>(h)))
                        return false;
                    code = code * 16 + (std::isdigit(static_cast<unsigned char>(h))
                                            ? h - '0'
                                            : (std::tolower(h) - 'a' + 10));
                }
                // Only what JsonEscape writes needs to come back: one UTF-8 sequence.
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool Value(JsonValue& v, int depth) {
        if (depth > kMaxDepth)
            return false;
        Skip();
        if (pos_ >= text_.size())
            return false;
        char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            v.kind = JsonValue::Kind::Object;
            if (Eat('}'))
                return true;
            do {
                std::string key;
                if (!String(key) || !Eat(':'))
                    return false;
                JsonValue item;
                if (!Value(item, depth + 1))
                    return false;
                v.object[key] = std::move(item);
            } while (Eat(','));
            return Eat('}');
        }
        if (c == '[') {
            ++pos_;
            v.kind = JsonValue::Kind::Array;
            if (Eat(']'))
                return true;
            do {
                JsonValue item;
                if (!Value(item, depth + 1))
                    return false;
                v.array.push_back(std::move(item));
            } while (Eat(','));
            return Eat(']');
        }
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            return String(v.string);
        }
        if (Word("true") || Word("false")) {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = text_[pos_ - 1] == 'e' && text_[pos_ - 2] == 'u';
            return true;
        }
        if (Word("null"))
            return true;
        // Number.
        size_t start = pos_;
        if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+'))
            ++pos_;
        while (pos_ < text_.size() &&
               (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.' ||
                text_[pos_] == 'e' || text_[pos_] == 'E' || text_[pos_] == '-'))
            ++pos_;
        if (pos_ == start)
            return false;
        std::string num(text_.substr(start, pos_ - start));
        char* end = nullptr;
        v.number = std::strtod(num.c_str(), &end);
        v.kind = JsonValue::Kind::Number;
        return end && *end == '\0';
    }

    std::string_view text_;
    size_t pos_ = 0;
};

} // namespace

std::optional<JsonValue> ParseJson(std::string_view text) {
    return Parser(text).Document();
}

} // namespace kestrova::sim
