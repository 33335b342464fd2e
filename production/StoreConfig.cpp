#include "production/StoreConfig.h"

#include "production/Records.h"
#include "production/Sha256.h"
#include "production/SqlStore.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace orvan {
namespace {

constexpr auto npos = std::string::npos;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && IsSpace(s.back()))
        s.pop_back();
    const auto first = std::find_if(s.begin(), s.end(), [](char c) { return !IsSpace(c); });
    s.erase(s.begin(), first);
    return s;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool PercentAt(const std::string& s, size_t i) {
    return s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0;
}

std::string PercentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i)
        if (PercentAt(s, i)) {
            out += char(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    return out;
}

// What libpq reads back as `s` from a URL's user info.
std::string PercentEncoded(const std::string& s) {
    constexpr std::string_view Plain = "-._~!$&'()*+,;=:";
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isalnum(c) || Plain.find(char(c)) != npos || PercentAt(s, i)) {
            out += char(c);
        } else {
            out += '%';
            out += "0123456789ABCDEF"[c >> 4];
            out += "0123456789ABCDEF"[c & 15];
        }
    }
    return out;
}

// A libpq setting's value from `v` on: quoted ('a b\'c') or up to the next
// space, backslash escaping one character. Returns where it ends (npos for
// an unterminated quote).
size_t SettingValue(const std::string& t, size_t v, std::string& value) {
    value.clear();
    if (v < t.size() && t[v] == '\'') {
        for (size_t i = v + 1; i < t.size(); ++i) {
            if (t[i] == '\\' && i + 1 < t.size())
                value += t[++i];
            else if (t[i] == '\'')
                return i + 1;
            else
                value += t[i];
        }
        return npos;
    }
    size_t i = v;
    for (; i < t.size() && !IsSpace(t[i]); ++i)
        value += t[i] == '\\' && i + 1 < t.size() ? t[++i] : t[i];
    return i;
}

// Keys whose values are secrets: libpq's password and sslpassword, and the
// typos and kin a person may write instead.
bool SecretKey(const std::string& key) {
    const std::string k = Lower(key);
    return k.find("pass") != npos || k.find("pwd") != npos;
}

void AddSecret(std::vector<std::string>* secrets, const std::string& s) {
    if (!secrets || s.empty()) return;
    for (const std::string& form : {s, PercentDecoded(s), PercentEncoded(s)})
        if (std::find(secrets->begin(), secrets->end(), form) == secrets->end())
            secrets->push_back(form);
}

// The password of a URL's user info, [from, to): from the first ':' after
// "://" to the last '@' before the query, so that a password typed with
// '/' or '@' is found whole; without such an '@', libpq's own reading (the
// first '@', unless a '/' comes before it).
bool UserInfoPassword(const std::string& t, size_t& from, size_t& to) {
    const size_t scheme = t.find("://");
    if (scheme == npos) return false;
    const size_t r = scheme + 3;
    const size_t q = t.find('?', r);
    size_t at = t.rfind('@', q);
    if (at == npos || at < r) {
        at = t.find('@', r);
        if (at == npos || t.find('/', r) < at) return false;
    }
    const size_t colon = t.find(':', r);
    if (colon == npos || colon >= at) return false;
    from = colon + 1;
    to = at;
    return true;
}

// `t` with every secret setting (key=value, or a URL query's key=value)
// and a URL's user info password removed; the passwords into `secrets`.
std::string Redact(const std::string& t, std::vector<std::string>* secrets) {
    std::string out;
    size_t i = 0;
    for (size_t eq = t.find('=', i); eq != npos; eq = t.find('=', i)) {
        size_t keyEnd = eq;
        while (keyEnd > i && IsSpace(t[keyEnd - 1]))
            --keyEnd;
        size_t key = keyEnd;
        while (key > i &&
               (std::isalnum(static_cast<unsigned char>(t[key - 1])) || t[key - 1] == '_'))
            --key;
        if (key == keyEnd || !SecretKey(t.substr(key, keyEnd - key))) {
            out.append(t, i, eq + 1 - i);
            i = eq + 1;
            continue;
        }
        out.append(t, i, key - i);
        size_t end;
        if (key > 0 && (t[key - 1] == '?' || t[key - 1] == '&')) {
            end = std::min(t.find('&', eq + 1), t.size());
            AddSecret(secrets, t.substr(eq + 1, end - eq - 1));
            if (end < t.size())
                ++end; // the next parameter takes the separator's place
            else if (!out.empty())
                out.pop_back(); // no parameter follows: the '?' or '&' goes too
        } else {
            size_t v = eq + 1;
            while (v < t.size() && IsSpace(t[v]))
                ++v;
            std::string value;
            end = std::min(SettingValue(t, v, value), t.size());
            AddSecret(secrets, value);
            AddSecret(secrets, t.substr(v, end - v));
            while (end < t.size() && IsSpace(t[end]))
                ++end;
            if (end == t.size())
                while (!out.empty() && IsSpace(out.back()))
                    out.pop_back();
        }
        i = end;
    }
    out.append(t, std::min(i, t.size()));
    if (size_t from, to; UserInfoPassword(out, from, to)) {
        AddSecret(secrets, out.substr(from, to - from));
        out.erase(from - 1, to - from + 1);
    }
    return out;
}

std::string Scrubbed(std::string message, std::vector<std::string> secrets) {
    // The longest first: a shorter form may be part of a longer one.
    std::sort(secrets.begin(), secrets.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& s : secrets)
        for (size_t at = message.find(s); !s.empty() && at != npos; at = message.find(s, at + 3))
            message.replace(at, s.size(), "***");
    return message;
}

// libpq's own keywords ("host", "dbname", "password", ...).
const std::set<std::string>& LibpqKeywords() {
    static const std::set<std::string> keywords = [] {
        std::set<std::string> k;
        char* err = nullptr;
        if (PQconninfoOption* o = PQconninfoParse("", &err)) {
            for (PQconninfoOption* p = o; p->keyword; ++p)
                k.insert(p->keyword);
            PQconninfoFree(o);
        }
        PQfreemem(err);
        return k;
    }();
    return keywords;
}

// key=value settings as libpq reads them, with at least one of libpq's keys.
bool IsSettings(const std::string& t) {
    bool known = false;
    for (size_t i = 0;;) {
        while (i < t.size() && IsSpace(t[i]))
            ++i;
        if (i == t.size()) return known;
        const size_t key = i;
        while (i < t.size() && t[i] != '=' && !IsSpace(t[i]))
            ++i;
        const std::string name = t.substr(key, i - key);
        while (i < t.size() && IsSpace(t[i]))
            ++i;
        if (name.empty() || i == t.size() || t[i] != '=') return false;
        ++i;
        while (i < t.size() && IsSpace(t[i]))
            ++i;
        std::string value;
        i = SettingValue(t, i, value);
        if (i == npos) return false;
        known = known || LibpqKeywords().count(name) > 0;
    }
}

bool OthersMayRead(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

} // namespace

bool ReadStoreConfig(const std::string& path, TStoreConfig& config, std::string& error,
                     std::string* warning) {
    std::ifstream in(path);
    if (!in) return true;
    bool password = false;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // "#" begins a comment at the start of a line or after a space: a
        // station name may hold one.
        for (size_t h = line.find('#'); h != npos; h = line.find('#', h + 1))
            if (h == 0 || IsSpace(line[h - 1])) {
                line.resize(h);
                break;
            }
        line = Trimmed(line);
        if (line.empty()) continue;
        const size_t space = std::min(line.find_first_of(" \t"), line.size());
        const std::string key = line.substr(0, space);
        const std::string value = Trimmed(line.substr(space));
        const std::string at = path + ":" + std::to_string(number) + ": ";
        std::string why;
        TDatabaseName name;
        if (value.empty() || (key != "database" && key != "station")) {
            why = "expected \"database NAME\" or \"station NAME\"";
        } else if (key == "database" && ParseDatabaseName(value, name, why)) {
            password = password || !name.Secrets.empty();
        } else if (key == "station") {
            CheckStationName(value, why);
        }
        if (!why.empty()) {
            error = at + why;
            return false;
        }
        std::string& field = key == "database" ? config.Database : config.Station;
        if (field.empty()) field = value;
    }
    if (warning && password && OthersMayRead(path))
        *warning = path + " holds a database password that others may read: keep it in "
                          "~/.pgpass (mode 0600) or a service file instead";
    return true;
}

void CompleteStoreConfig(TStoreConfig& config, const std::string& port) {
    if (config.Station.empty()) {
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) == 0 && host[0]) config.Station = host;
        if (config.Station.empty()) config.Station = "station";
        // Within a station name's 64 characters, the port kept whole.
        const std::string suffix = port.empty() ? std::string() : ":" + port;
        if (config.Station.size() + suffix.size() > 64)
            config.Station.resize(suffix.size() < 63 ? 64 - suffix.size() : 1);
        config.Station += suffix;
    }
    if (config.Database.empty()) config.Database = DefaultStoreFile;
}

bool ParseDatabaseName(const std::string& text, TDatabaseName& name, std::string& error) {
    name = {};
    const std::string shown = "\"" + Redact(text, &name.Secrets) + "\"";
    const auto refuse = [&](const std::string& why) {
        error = Scrubbed(why, name.Secrets);
        return false;
    };
    if (text.empty()) return refuse("no database named");
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return refuse("a database name holds no control characters");
    const std::string lower = Lower(text);
    if (lower.rfind("postgresql://", 0) == 0 || lower.rfind("postgres://", 0) == 0) {
        const size_t scheme = text.find("://");
        name.Kind = TStoreKind::Postgres;
        name.Target = lower.substr(0, scheme) + text.substr(scheme);
        if (size_t from, to; UserInfoPassword(name.Target, from, to))
            name.Target.replace(from, to - from,
                                PercentEncoded(name.Target.substr(from, to - from)));
    } else if (lower.rfind("sqlite:", 0) == 0) {
        name.Target = text.substr(7);
        if (name.Target.empty()) return refuse("sqlite: names no file");
    } else if (IsSettings(text)) {
        name.Kind = TStoreKind::Postgres;
        name.Target = text;
    } else if (text.size() > 3 && text.compare(text.size() - 3, 3, ".db") == 0) {
        name.Target = text;
    } else {
        return refuse(shown + " is no database: give a postgresql:// URL, libpq key=value "
                              "settings, sqlite:PATH or a file ending in .db");
    }
    if (name.Kind == TStoreKind::Sqlite) {
        if (!name.Secrets.empty()) return refuse(shown + ": a file name holds no password");
        return true;
    }
    char* err = nullptr;
    PQconninfoOption* options = PQconninfoParse(name.Target.c_str(), &err);
    const std::string why = err ? Trimmed(err) : "out of memory";
    PQfreemem(err);
    if (!options) return refuse(shown + ": " + why);
    PQconninfoFree(options);
    return true;
}

std::string RedactedUrl(const std::string& text) {
    return Redact(text, nullptr);
}

std::string WithoutPasswords(std::string message, const std::string& database) {
    std::vector<std::string> secrets;
    Redact(database, &secrets);
    return Scrubbed(std::move(message), std::move(secrets));
}

bool CheckStationName(const std::string& name, std::string& error) {
    const auto refuse = [&](const char* why) {
        error = std::string("a station name ") + why;
        return false;
    };
    size_t chars = 0;
    for (size_t i = 0; i < name.size(); ++chars) {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(name[k]); };
        const size_t n = byte(i) < 0x80   ? 1
                         : byte(i) < 0xC0 ? 0
                         : byte(i) < 0xE0 ? 2
                         : byte(i) < 0xF0 ? 3
                         : byte(i) < 0xF8 ? 4
                                          : 0;
        if (n == 0 || i + n > name.size()) return refuse("is UTF-8 text");
        uint32_t cp = byte(i) & (n == 1 ? 0x7F : 0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return refuse("is UTF-8 text");
            cp = cp << 6 | (byte(i + k) & 0x3F);
        }
        static constexpr uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < Least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return refuse("is UTF-8 text");
        // C0, DEL, C1 and the line and paragraph separators.
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0x2028 || cp == 0x2029)
            return refuse("holds no control characters");
        i += n;
    }
    if (chars < 1 || chars > 64) return refuse("takes 1 to 64 characters");
    if (name.front() == ' ' || name.back() == ' ')
        return refuse("neither begins nor ends with a space");
    return true;
}

bool ValidCalendarDate(const std::string& d) {
    if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (d[i] < '0' || d[i] > '9') return false;
    const int year = std::stoi(d.substr(0, 4)), month = std::stoi(d.substr(5, 2)),
              day = std::stoi(d.substr(8, 2));
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 &&
           day <= Days[month - 1] + (month == 2 && leap ? 1 : 0);
}

namespace {

std::unique_ptr<IProductionStore> OpenStore(const std::string& database, std::string& error,
                                            bool create, TStoreAccess access) {
    TDatabaseName name;
    if (!ParseDatabaseName(database.empty() ? DefaultStoreFile : database, name, error))
        return nullptr;
    const bool pg = name.Kind == TStoreKind::Postgres;
    try {
        if (pg) return std::make_unique<TSqlStore>(OpenPostgresLink(name.Target, access), access);
        // A typo must not leave a new, empty store behind.
        if (std::error_code ec; !create && !std::filesystem::exists(name.Target, ec)) {
            error = "no such database: " + name.Target;
            return nullptr;
        }
        return std::make_unique<TSqlStore>(OpenSqliteLink(name.Target, create, access), access);
    } catch (const EStoreError& e) {
        error = e.what();
    } catch (const std::exception& e) {
        error = std::string("production records: ") + e.what();
    }
    if (pg && error.find("database \"") != npos && error.find("\" does not exist") != npos)
        error = "no such database: " + error;
    // libpq may echo parts of what it was given.
    error = Scrubbed(error, name.Secrets);
    return nullptr;
}

} // namespace

std::unique_ptr<IProductionStore> OpenProductionStore(const std::string& database,
                                                      std::string& error, bool create) {
    return OpenStore(database, error, create, TStoreAccess::Write);
}

std::unique_ptr<IProductionStore> OpenStoreSnapshot(const std::string& database,
                                                    std::string& error) {
    return OpenStore(database, error, false, TStoreAccess::Snapshot);
}

std::shared_ptr<TProductionRecords> OpenRecords(const TStoreConfig& config,
                                                const std::string& dataFile, std::string& error) {
    auto store = OpenProductionStore(config.Database, error);
    if (!store) return nullptr;
    auto r = std::make_shared<TProductionRecords>();
    if (!store->HoldStation(config.Station, r->Unknown, error)) return nullptr;
    r->Store = std::move(store);
    r->Station = config.Station;
    r->DataFile = dataFile;
    if (!dataFile.empty()) r->DataSha256 = Sha256OfFile(dataFile).value_or("");
    return r;
}

bool PrepareRecords(std::shared_ptr<TProductionRecords>& records, const std::string& port,
                    const std::string& dataFile, std::string& error) {
    if (!records) {
        TStoreConfig config;
        std::string warning;
        if (!ReadStoreConfig(StoreConfigFile, config, error, &warning)) return false;
        if (!warning.empty()) std::fprintf(stderr, "Orvan Writer: %s\n", warning.c_str());
        CompleteStoreConfig(config, port);
        records = OpenRecords(config, dataFile, error);
        return records != nullptr;
    }
    if (records->DataFile != dataFile) {
        records->DataFile = dataFile;
        records->DataSha256 = Sha256OfFile(dataFile).value_or("");
    }
    return true;
}

} // namespace orvan
