#include "system/registry_command.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "script/real_text.h"
#include "system/registry.h"

namespace tb {

namespace {

std::string Quoted(const std::string& text) {
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
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02x", c);
                    out += buf;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

// The shortest text that reads back as the same double.
std::string ExactReal(double v) {
    char buf[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (std::strtod(buf, nullptr) == v || std::isnan(v)) break;
    }
    return buf;
}

void SplitRoot(const std::string& text, RegistryRoot& root, std::string& key) {
    size_t end = text.find_first_of("\\/");
    std::string first = text.substr(0, end);
    if (std::optional<RegistryRoot> r = ParseRegistryRoot(first)) {
        root = *r;
        key = end == text.npos ? std::string() : text.substr(end);
    } else {
        root = RegistryRoot::kCurrentUser;
        key = text;
    }
}

int List(Registry& registry, std::FILE* out, std::FILE* err) {
    std::vector<RegistryEntry> entries;
    if (!registry.List(entries)) {
        std::fprintf(err, "tamberlo: cannot read the registry store %s: %s\n",
                     registry.DatabasePath().c_str(), registry.LastError().c_str());
        return 1;
    }
    std::string last;
    for (const RegistryEntry& e : entries) {
        std::string header = std::string(RegistryRootName(e.root)) + "\\" + e.key;
        if (header != last) std::fprintf(out, "[%s]\n", header.c_str());
        last = header;
        switch (e.kind) {
            case RegistryEntry::Kind::kNoValue:
                break;
            case RegistryEntry::Kind::kString:
                std::fprintf(out, "%s = %s\n", e.name.c_str(), Quoted(e.text).c_str());
                break;
            case RegistryEntry::Kind::kReal:
                std::fprintf(out, "%s = %s\n", e.name.c_str(), ExactReal(e.real).c_str());
                break;
            case RegistryEntry::Kind::kBinary: {
                std::string hex;
                for (unsigned char c : e.text) {
                    char buf[4];
                    std::snprintf(buf, sizeof buf, "%s%02x", hex.empty() ? "" : ",", c);
                    hex += buf;
                }
                std::fprintf(out, "%s = hex:%s\n", e.name.c_str(), hex.c_str());
                break;
            }
        }
    }
    return 0;
}

}  // namespace

int RunRegistryCommand(const RegistryCommand& command, Registry& registry, std::FILE* out,
                       std::FILE* err) {
    using Kind = RegistryCommand::Kind;
    if (command.kind == Kind::kList) return List(registry, out, err);
    RegistryRoot root;
    std::string key;
    SplitRoot(command.args.at(0), root, key);
    if (NormalizeRegistryKey(key).empty()) {
        std::fprintf(err, "tamberlo: the registry key must not be empty\n");
        return 1;
    }
    if (command.kind == Kind::kSet) {
        const std::string& name = command.args.at(1);
        const std::string& value = command.args.at(2);
        bool ok;
        double real;
        if (value.rfind("string:", 0) == 0) {
            ok = registry.WriteString(key, name, value.substr(7), root);
        } else if (value.rfind("real:", 0) == 0) {
            if (!ParseReal(value.substr(5), real)) {
                std::fprintf(err, "tamberlo: %s is not a number\n", value.c_str() + 5);
                return 1;
            }
            ok = registry.WriteReal(key, name, real, root);
        } else if (!value.empty() && ParseReal(value, real)) {
            ok = registry.WriteReal(key, name, real, root);
        } else {
            ok = registry.WriteString(key, name, value, root);
        }
        if (!ok) {
            std::fprintf(err, "tamberlo: cannot write the registry store %s: %s\n",
                         registry.DatabasePath().c_str(), registry.LastError().c_str());
            return 1;
        }
        return 0;
    }
    if (command.kind == Kind::kDelete) {
        bool value = command.args.size() == 2;
        bool ok = value ? registry.DeleteValue(key, command.args[1], root)
                        : registry.DeleteKey(key, root);
        if (!ok) {
            std::fprintf(err, "tamberlo: no such %s in the registry store\n",
                         value ? "value" : "key");
            return 1;
        }
        return 0;
    }
    return 1;
}

}  // namespace tb
