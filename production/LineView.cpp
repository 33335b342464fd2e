#include "production/LineView.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>

namespace orvan {

int64_t UtcSeconds(const std::string& utc) {
    std::tm tm{};
    char z = 0;
    if (utc.size() != 20 ||
        std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &z) != 7 ||
        z != 'Z')
        return -1;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return int64_t(timegm(&tm));
}

bool ReadLineView(IProductionStore& store, const std::string& now, TLineView& view,
                  std::string& error) {
    view = {};
    view.Records = store.Describe();
    view.Now = now;
    view.Day = now.substr(0, 10);
    std::vector<TChipRecord> chips;
    if (!store.Chips({}, chips, error) || !store.HeldClaims(view.Held, error)) return false;

    std::vector<TChipRecord> today;
    for (const TChipRecord& c : chips)
        if (c.Utc.compare(0, 10, view.Day) == 0) today.push_back(c);
    view.Today = ReportRows(today);

    // A card for each station that worked today or holds a number now.
    std::map<std::string, TStationCard> cards;
    for (const TReportRow& r : view.Today) {
        TStationCard& card = cards[r.Station];
        card.Chips += r.Chips;
        card.Passes += r.Passes;
        card.Fails += r.Fails;
    }
    for (const THeldClaim& h : view.Held)
        (void)cards[h.Station];
    for (const TChipRecord& c : chips) {
        const auto at = cards.find(c.Station);
        if (at == cards.end()) continue;
        at->second.LastUtc = c.Utc;
        at->second.LastVerdict = VerdictText(c);
        at->second.LastPass = c.Pass;
        if (!c.Serial.empty()) {
            at->second.Series = c.Series;
            at->second.LastSerial = c.Serial;
        }
    }
    const int64_t nowSeconds = UtcSeconds(now);
    for (auto& [station, card] : cards) {
        card.Station = station;
        const int64_t last = UtcSeconds(card.LastUtc);
        card.Idle = last < 0 || nowSeconds - last >= StationIdleSeconds;
        view.Stations.push_back(card);
    }

    std::map<std::pair<std::string, int>, THourYield> hours;
    std::map<std::string, int64_t> failures;
    for (const TChipRecord& c : today) {
        const int hour = c.Utc.size() >= 13 ? std::atoi(c.Utc.substr(11, 2).c_str()) : 0;
        THourYield& h = hours[{c.Station, hour}];
        h.Station = c.Station;
        h.Hour = hour;
        ++h.Chips;
        h.Passes += c.Pass ? 1 : 0;
        if (!c.Pass) ++failures[c.Failure];
    }
    for (auto& entry : hours)
        view.Hours.push_back(entry.second);
    for (const auto& [failure, count] : failures)
        view.Failures.push_back({failure, count});
    std::stable_sort(
        view.Failures.begin(), view.Failures.end(),
        [](const TFailureCount& a, const TFailureCount& b) { return a.Chips > b.Chips; });

    // Each series: the numbers chips used up, and how far claims went.
    std::map<std::string, TSeriesUse> series;
    std::map<std::string, std::pair<int64_t, int64_t>> range;
    for (const TChipRecord& c : chips) {
        if (UnknownOutcome(c)) view.Unknown.push_back(c);
        if (c.Series.empty() || !c.Consumed) continue;
        TSeriesUse& s = series[c.Series];
        ++s.OnChips;
        auto [at, fresh] = range.try_emplace(c.Series, c.SerialIndex, c.SerialIndex);
        if (fresh || c.SerialIndex <= at->second.first) {
            at->second.first = c.SerialIndex;
            s.FirstSerial = c.Serial;
        }
        if (fresh || c.SerialIndex >= at->second.second) {
            at->second.second = c.SerialIndex;
            s.LastSerial = c.Serial;
        }
    }
    for (const THeldClaim& h : view.Held)
        (void)series[h.Series];
    for (auto& [key, s] : series) {
        s.Series = key;
        if (!store.SeriesState(key, s.HandedOut, s.Next, error)) return false;
        view.Series.push_back(s);
    }
    return true;
}

bool ReadChips(IProductionStore& store, const TChipFilter& filter, size_t limit,
               std::vector<TChipRecord>& chips, std::string& error) {
    TReportQuery q;
    q.Since = filter.Day;
    q.Station = filter.Station;
    std::vector<TChipRecord> all;
    if (!store.Chips(q, all, error)) return false;
    chips.clear();
    for (auto c = all.rbegin(); c != all.rend() && (limit == 0 || chips.size() < limit); ++c)
        if (ChipMatches(*c, filter)) chips.push_back(*c);
    return true;
}

} // namespace orvan
