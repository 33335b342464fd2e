// store-speed DB [N]: claims a number and writes its chip record N times,
// each durable before the next, and prints records per second.
#include "production/StoreConfig.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using namespace orvan;
    if (argc < 2) {
        std::fprintf(stderr, "usage: store-speed DATABASE [N]\n");
        return 2;
    }
    const int n = argc > 2 ? std::atoi(argv[2]) : 200;
    std::string error;
    auto store = OpenProductionStore(argv[1], error);
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 5;
    }
    TClaimRequest r;
    r.Station = "speed";
    r.Settings.SerialByteCount = 4;
    r.Series = SeriesKeyOf("OV128", r.Settings) + " speed";
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < n; ++k) {
        TClaim c;
        TChipRecord rec;
        if (!store->Claim(r, c, error)) break;
        rec.Station = r.Station;
        rec.Operation = "auto";
        rec.Model = "OV128";
        rec.Series = r.Series;
        rec.Serial = c.Number;
        rec.SerialIndex = c.Index;
        rec.Pass = true;
        rec.Verdicts = "Blank Check ..... OK.\nData program & verify OK!!\n";
        if (!store->Record(rec, true, error)) break;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 5;
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %d claims + chip records in %.2f s, %.0f chips/s\n", store->Describe().c_str(),
                n, s, n / s);
    return 0;
}
