#include "sim/SimChip.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <type_traits>
#include <unistd.h>

namespace orvan::sim {
namespace {

bool ParseHex(const std::string& t, unsigned long limit, unsigned long& v) {
    if (t.empty() || t.size() > 8) return false;
    v = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return false;
        v = v * 16 + static_cast<unsigned long>(d);
    }
    return v <= limit;
}

std::string Hex(unsigned v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*X", digits, v);
    return b;
}

} // namespace

bool TSimChip::MakeBlank(const std::string& model) {
    TDeviceState d;
    if (GetICInfo(model, d) < 0) return false;
    Model = model;
    Device = d;
    SocketFull = true;
    Option.fill(BlankWord);
    Option2.fill(BlankWord);
    ID.fill(BlankWord);
    Program.assign(static_cast<size_t>(d.WordCount()), BlankWord);
    EEPROM.assign(d.IsFlash() ? static_cast<size_t>(d.EEBytes()) : 0, 0xFF);
    return true;
}

void TSimChip::Erase() {
    Program.assign(Program.size(), BlankWord);
    Option[0] = BlankWord;
    ID.fill(BlankWord);
    EEPROM.assign(EEPROM.size(), 0xFF);
}

std::string TSimChip::ToText() const {
    std::ostringstream o;
    o << "# writer-sim chip image\nmodel " << Model << "\nsocket "
      << (SocketFull ? "full" : "empty") << "\n";
    auto words = [&](const char* key, const auto& a) {
        o << key;
        for (uint16_t w : a)
            o << ' ' << Hex(w, 4);
        o << '\n';
    };
    words("option", Option);
    words("option2", Option2);
    words("id", ID);
    for (size_t a = 0; a < Program.size(); a += 8) {
        o << "program " << Hex(static_cast<unsigned>(a), 4);
        for (size_t k = a; k < a + 8 && k < Program.size(); ++k)
            o << ' ' << Hex(Program[k], 4);
        o << '\n';
    }
    for (size_t a = 0; a < EEPROM.size(); a += 16) {
        o << "eeprom " << Hex(static_cast<unsigned>(a), 4);
        for (size_t k = a; k < a + 16 && k < EEPROM.size(); ++k)
            o << ' ' << Hex(EEPROM[k], 2);
        o << '\n';
    }
    return o.str();
}

bool TSimChip::FromText(const std::string& text, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    bool haveModel = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        std::istringstream f(line);
        std::string key;
        if (!(f >> key)) continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNo) + ": " + why;
            return false;
        };
        if (key == "model") {
            std::string m;
            f >> m;
            if (!MakeBlank(m)) return fail("unknown model '" + m + "'");
            haveModel = true;
            continue;
        }
        if (!haveModel) return fail("the model must come first");
        std::vector<unsigned long> v;
        std::string tok;
        std::string socket;
        if (key == "socket") {
            f >> socket;
            if (socket != "full" && socket != "empty") return fail("socket is full or empty");
            SocketFull = socket == "full";
            continue;
        }
        const unsigned long limit = key == "eeprom" ? 0xFF : 0x3FFF;
        bool first = true;
        while (f >> tok) {
            unsigned long x;
            // The address field of program/eeprom lines may exceed a word.
            const bool address = first && (key == "program" || key == "eeprom");
            if (!ParseHex(tok, address ? 0xFFFF : limit, x)) return fail("bad value '" + tok + "'");
            v.push_back(x);
            first = false;
        }
        auto fill = [&](auto& a, const std::vector<unsigned long>& vals, size_t from) {
            if (from + vals.size() > a.size()) return false;
            for (size_t k = 0; k < vals.size(); ++k)
                a[from + k] = static_cast<std::remove_reference_t<decltype(a[0])>>(vals[k]);
            return true;
        };
        if (key == "option" || key == "option2" || key == "id") {
            const bool ok = key == "option"    ? fill(Option, v, 0)
                            : key == "option2" ? fill(Option2, v, 0)
                                               : fill(ID, v, 0);
            if (!ok) return fail("too many words");
        } else if (key == "program" || key == "eeprom") {
            if (v.empty()) return fail("address missing");
            const size_t at = v[0];
            v.erase(v.begin());
            const bool ok = key == "program" ? fill(Program, v, at) : fill(EEPROM, v, at);
            if (!ok) return fail("past the end of the " + key + " area");
        } else {
            return fail("unknown record '" + key + "'");
        }
    }
    if (!haveModel) {
        error = "no model record";
        return false;
    }
    return true;
}

bool TSimChip::Load(const std::string& path, std::string& error) {
    std::ifstream f(path);
    if (!f) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream s;
    s << f.rdbuf();
    if (!FromText(s.str(), error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool TSimChip::Save(const std::string& path, std::string& error) const {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::trunc);
        f << ToText();
        f.flush();
        if (!f) {
            error = "cannot write " + tmp;
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + tmp + " to " + path;
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace orvan::sim
