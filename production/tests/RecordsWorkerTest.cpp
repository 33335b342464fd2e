// The auto-program worker with its records in a real SQLite store: the
// record line, the verdicts, and "Continue" held back while a record
// cannot be written.
#include "production/Autoprogram.h"
#include "production/Records.h"
#include "production/tests/ProductionBench.h"
#include "production/tests/StoreBench.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace orvan::test {
namespace {

struct RecordedAutoProgram : ::testing::Test {
    TStoreTemp Dir;
    std::unique_ptr<TOpsBench> B;
    std::shared_ptr<TProductionRecords> R;

    void SetUp() override {
        B = std::make_unique<TOpsBench>("OV128");
        PrepareProgram(*B);
        B->Ws->EraseFirst = true;
        SerialOn(*B->Ws, 2, "0200");
        std::string error;
        R = OpenRecords({Dir.File("production.db"), "bench9"}, "", error);
        ASSERT_TRUE(R) << error;
        R->RetryMs = 20;
        B->Ws->Records = R;
    }
    TRecordingSink Chip() {
        B->Chip->MakeBlank(B->Chip->Model);
        return B->Run(AutoProgramThread);
    }
    void Sql(const std::string& sql) { TStoreDatabase::ExecuteOn(Dir.File("production.db"), sql); }
};

TEST_F(RecordedAutoProgram, EachChipRecordedBeforeContinue) {
    TRecordingSink s = Chip();
    EXPECT_EQ(s[RecordLineControl].Text, "Serial No. 0200: a new series starts");
    EXPECT_EQ(s[ChipVerdictControl].Text, "pass");
    EXPECT_TRUE(s["Button2"].Enabled);
    // The record came before the buttons.
    size_t verdict = 0, button = 0;
    for (size_t k = 0; k < s.Updates.size(); ++k) {
        if (s.Updates[k].Control == ChipVerdictControl) verdict = k;
        if (s.Updates[k].Control == "Button2") button = k;
    }
    EXPECT_LT(verdict, button);
    s = Chip();
    EXPECT_EQ(s[RecordLineControl].Text, "Serial No. 0201: continues where this series left off");
    std::vector<TChipRecord> chips;
    std::string error;
    ASSERT_TRUE(R->Store->Chips({}, chips, error)) << error;
    ASSERT_EQ(chips.size(), 2u);
    EXPECT_EQ(chips[1].Serial, "0201");
    EXPECT_EQ(chips[1].Station, "bench9");
    EXPECT_EQ(chips[1].Checksum.size(), 4u);
    EXPECT_EQ(chips[1].Verdicts, "Erase End\nBlank Check ..... OK.\nData program & verify OK!!\n"
                                 "ID & Checksum verify OK!!\nOPTION program & verify OK!!\n");
}

TEST_F(RecordedAutoProgram, ContinueWaitsForTheRecord) {
    // The chips table goes away under the running station...
    Sql("ALTER TABLE chips RENAME TO chips_away");
    R->RetryLimit = 3;
    TRecordingSink s = Chip();
    EXPECT_TRUE(s.Red(RecordLineControl));
    EXPECT_NE(s[RecordLineControl].Text.find("Record not saved: "), std::string::npos);
    EXPECT_FALSE(s["Button2"].Enabled);
    EXPECT_TRUE(s[ChipVerdictControl].Text.empty());
    // Three attempts, each shown, and the first one's "trying again": the
    // run gives up once, not once more as a failure.
    int shown = 0;
    for (const TOpUpdate& u : s.Updates)
        if (u.Control == RecordLineControl && u.Text.rfind("Record not saved: ", 0) == 0) ++shown;
    EXPECT_EQ(shown, 4);

    // ...and comes back while the worker tries again: then "Continue".
    R->RetryLimit = 0;
    std::thread repair([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        Sql("ALTER TABLE chips_away RENAME TO chips");
    });
    B->Chip->MakeBlank(B->Chip->Model);
    B->Ws->Records = R;
    s = B->Run(AutoProgramThread);
    repair.join();
    EXPECT_FALSE(s.Red(RecordLineControl));
    EXPECT_EQ(s[RecordLineControl].Text, "Record saved.");
    EXPECT_TRUE(s["Button2"].Enabled);
    EXPECT_EQ(s[ChipVerdictControl].Text, "pass");
}

} // namespace
} // namespace orvan::test
