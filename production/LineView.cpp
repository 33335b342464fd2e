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
    // Today's chips only: the rest of the records is asked for in summary.
    TReportQuery today;
    today.Day = view.Day;
    std::vector<TChipRecord> chips;
    if (!store.Chips(today, chips, error) || !store.HeldClaims(view.Held, error)) return false;
    view.Today = ReportRows(chips);

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
    auto last = [](TStationCard& card, const TChipRecord& c) {
        card.LastUtc = c.Utc;
        card.LastVerdict = VerdictText(c);
        card.LastPass = c.Pass;
        if (!c.Serial.empty()) {
            card.Series = c.Series;
            card.LastSerial = c.Serial;
        }
    };
    for (const TChipRecord& c : chips)
        last(cards[c.Station], c);
    const int64_t nowSeconds = UtcSeconds(now);
    for (auto& [station, card] : cards) {
        card.Station = station;
        if (card.LastUtc.empty()) {
            // Holding a number, no chip today: its last chip of any day.
            TReportQuery latest;
            latest.Station = station;
            latest.Limit = 1;
            std::vector<TChipRecord> one;
            if (!store.Chips(latest, one, error)) return false;
            if (!one.empty()) last(card, one[0]);
        }
        const int64_t at = UtcSeconds(card.LastUtc);
        card.Idle = at < 0 || nowSeconds - at >= StationIdleSeconds;
        view.Stations.push_back(card);
    }

    std::map<std::pair<std::string, int>, THourYield> hours;
    std::map<std::string, int64_t> failures;
    for (const TChipRecord& c : chips) {
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

    TReportQuery unknown;
    unknown.Pass = 0;
    unknown.Failure = UnknownOutcomeText;
    if (!store.Chips(unknown, view.Unknown, error)) return false;

    // Each series: the numbers chips used up, and how far claims went.
    std::vector<TSeriesRange> ranges;
    if (!store.SeriesRanges(ranges, error)) return false;
    std::map<std::string, TSeriesUse> series;
    for (const TSeriesRange& r : ranges)
        series[r.Series] = {r.Series, r.FirstSerial, r.LastSerial, r.OnChips, 0, {}};
    for (const THeldClaim& h : view.Held)
        series[h.Series].Series = h.Series;
    for (auto& [key, s] : series) {
        if (!store.SeriesState(key, s.HandedOut, s.Next, error)) return false;
        view.Series.push_back(s);
    }
    return true;
}

bool ReadChips(IProductionStore& store, const TChipFilter& filter, int limit,
               std::vector<TChipRecord>& chips, std::string& error) {
    TReportQuery q = ChipQuery(filter);
    q.Limit = limit;
    return store.Chips(q, chips, error);
}

} // namespace orvan
