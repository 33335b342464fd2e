// The FTDI latency rule, read as udev reads a rules file: every line a
// comment, blank, or comma-separated KEY op "value" pairs. The reader is
// tried on broken lines too, so a rule that passes it is one udev takes.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TPair {
    std::string Key;  // ATTR, ENV, ... without the {name}
    std::string Attr; // the {name}, when the key takes one
    std::string Op;   // == != = += -= :=
    std::string Value;
};

struct TRule {
    std::vector<TPair> Pairs;
};

// Keys udev knows, whether they take {attribute}, and which side they are on.
struct TKey {
    const char* Name;
    bool HasAttr;
    bool Match;  // may be compared (== !=)
    bool Assign; // may be assigned (= += -= :=)
};
constexpr TKey Keys[] = {
    {"ACTION", false, true, false},    {"DEVPATH", false, true, false},
    {"KERNEL", false, true, false},    {"KERNELS", false, true, false},
    {"NAME", false, true, true},       {"SYMLINK", false, true, true},
    {"SUBSYSTEM", false, true, false}, {"SUBSYSTEMS", false, true, false},
    {"DRIVER", false, true, false},    {"DRIVERS", false, true, false},
    {"ATTR", true, true, true},        {"ATTRS", true, true, false},
    {"SYSCTL", true, true, true},      {"ENV", true, true, true},
    {"TAG", false, true, true},        {"TAGS", false, true, false},
    {"TEST", true, true, false},       {"PROGRAM", false, true, false},
    {"RESULT", false, true, false},    {"OWNER", false, false, true},
    {"GROUP", false, false, true},     {"MODE", false, false, true},
    {"RUN", true, false, true},        {"LABEL", false, false, true},
    {"GOTO", false, false, true},      {"IMPORT", true, true, false},
    {"OPTIONS", false, false, true},   {"SECLABEL", true, false, true},
};

const TKey* FindKey(const std::string& name) {
    for (const TKey& k : Keys)
        if (name == k.Name) return &k;
    return nullptr;
}

// One pair from `s` at `pos`; nullopt and `error` set when it does not parse.
std::optional<TPair> ParsePair(const std::string& s, size_t& pos, std::string& error) {
    TPair p;
    while (pos < s.size() && (std::isupper(static_cast<unsigned char>(s[pos])) || s[pos] == '_'))
        p.Key += s[pos++];
    const TKey* key = FindKey(p.Key);
    if (!key) {
        error = "unknown key '" + p.Key + "'";
        return std::nullopt;
    }
    if (pos < s.size() && s[pos] == '{') {
        const size_t close = s.find('}', pos);
        if (close == std::string::npos) {
            error = "unclosed {";
            return std::nullopt;
        }
        p.Attr = s.substr(pos + 1, close - pos - 1);
        pos = close + 1;
    }
    if (key->HasAttr != !p.Attr.empty() && p.Key != "RUN") {
        error = p.Key + (key->HasAttr ? " needs {name}" : " takes no {name}");
        return std::nullopt;
    }
    while (pos < s.size() && s[pos] == ' ')
        ++pos;
    for (const char* op : {"==", "!=", "+=", "-=", ":=", "="}) {
        if (s.compare(pos, std::string(op).size(), op) == 0) {
            p.Op = op;
            pos += p.Op.size();
            break;
        }
    }
    if (p.Op.empty()) {
        error = "no operator after " + p.Key;
        return std::nullopt;
    }
    const bool match = p.Op == "==" || p.Op == "!=";
    if (match ? !key->Match : !key->Assign) {
        error = p.Key + " cannot be used with " + p.Op;
        return std::nullopt;
    }
    while (pos < s.size() && s[pos] == ' ')
        ++pos;
    if (pos >= s.size() || s[pos] != '"') {
        error = "value of " + p.Key + " not quoted";
        return std::nullopt;
    }
    ++pos;
    while (pos < s.size() && s[pos] != '"') {
        if (s[pos] == '\\' && pos + 1 < s.size()) ++pos;
        p.Value += s[pos++];
    }
    if (pos >= s.size()) {
        error = "value of " + p.Key + " not closed";
        return std::nullopt;
    }
    ++pos;
    return p;
}

// The rules of a file's text; `error` names the first line that is wrong.
std::vector<TRule> ParseRules(const std::string& text, std::string& error) {
    std::vector<TRule> rules;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        size_t pos = line.find_first_not_of(" \t");
        if (pos == std::string::npos || line[pos] == '#') continue;
        if (line.back() == '\\') {
            error = "line " + std::to_string(number) + ": continued lines are not used here";
            return {};
        }
        TRule rule;
        for (;;) {
            std::string why;
            auto pair = ParsePair(line, pos, why);
            if (!pair) {
                error = "line " + std::to_string(number) + ": " + why;
                return {};
            }
            rule.Pairs.push_back(*pair);
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
            if (pos >= line.size()) break;
            if (line[pos] != ',') {
                error = "line " + std::to_string(number) + ": ',' expected after " + pair->Key;
                return {};
            }
            ++pos;
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
        }
        rules.push_back(rule);
    }
    return rules;
}

bool Has(const TRule& r, const std::string& key, const std::string& op, const std::string& value,
         const std::string& attr = {}) {
    for (const TPair& p : r.Pairs)
        if (p.Key == key && p.Op == op && p.Value == value && p.Attr == attr) return true;
    return false;
}

std::string ReadRuleFile() {
    std::ifstream in(ORVAN_UDEV_RULE);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(UdevRuleReader, RejectsWhatUdevWouldNot) {
    const char* const bad[] = {
        "ACTION==add, DRIVER==\"ftdi_sio\"",           // unquoted value
        "ACTION==\"add\" DRIVER==\"ftdi_sio\"",        // missing comma
        "ACTON==\"add\"",                              // misspelt key
        "ATTR==\"1\"",                                 // ATTR without {name}
        "DRIVER{x}==\"ftdi_sio\"",                     // {name} on a plain key
        "DRIVER=\"ftdi_sio\"",                         // assigning a match-only key
        "MODE==\"0660\"",                              // comparing an assign-only key
        "ATTR{latency_timer}=\"1",                     // unclosed value
        "ATTR{latency_timer \"1\"",                    // unclosed {
        "ACTION\"add\"",                               // no operator
        "ACTION==\"add\", \\",                         // continued line
        "ACTION==\"add\",, ATTR{latency_timer}=\"1\"", // empty pair
    };
    for (const char* line : bad) {
        std::string error;
        EXPECT_TRUE(ParseRules(line, error).empty()) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
    std::string error;
    const auto ok =
        ParseRules("# comment\n\n  ACTION==\"add\", ATTR{a}=\"1\",ENV{X}:=\"y\"\n", error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_TRUE(Has(ok[0], "ENV", ":=", "y", "X"));
}

TEST(FtdiLatencyRule, ParsesAndSetsOneMillisecondOnFtdiAdapters) {
    const std::string text = ReadRuleFile();
    ASSERT_FALSE(text.empty()) << "cannot read " << ORVAN_UDEV_RULE;
    std::string error;
    const auto rules = ParseRules(text, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(rules.size(), 1u);
    const TRule& r = rules[0];
    // The usb-serial device (ttyUSB0 under /sys/bus/usb-serial/devices) is
    // the one whose driver is ftdi_sio and that carries latency_timer.
    // On the add event, and on the bind that may come after it.
    std::set<std::string> actions;
    for (const TPair& p : r.Pairs)
        if (p.Key == "ACTION" && p.Op == "==") {
            std::istringstream alternatives(p.Value);
            for (std::string a; std::getline(alternatives, a, '|');)
                actions.insert(a);
        }
    EXPECT_TRUE(actions.count("add")) << "never set when the adapter appears";
    EXPECT_TRUE(actions.count("bind"));
    EXPECT_FALSE(actions.count("remove"));
    EXPECT_TRUE(Has(r, "SUBSYSTEM", "==", "usb-serial"));
    EXPECT_TRUE(Has(r, "DRIVER", "==", "ftdi_sio"));
    EXPECT_TRUE(Has(r, "ATTR", "=", "1", "latency_timer"));
    // Nothing else is changed on the adapter.
    std::set<std::string> assigned;
    for (const TPair& p : r.Pairs)
        if (p.Op != "==" && p.Op != "!=") assigned.insert(p.Key + "{" + p.Attr + "}");
    EXPECT_EQ(assigned, std::set<std::string>{"ATTR{latency_timer}"});
}

} // namespace
