// The auto-program worker with its records in a real SQLite store: the
// record line, the verdicts, and "Continue" held back while a record
// cannot be written.
#include "production/Autoprogram.h"
#include "production/Records.h"
#include "production/StoreConfig.h"
#include "testlib/ProductionBench.h"
#include "testlib/StoreBench.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

namespace orvan::test {
namespace {

struct RecordedAutoProgram : ::testing::Test {
    TTempDir Dir;
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
        B->Ws->Records = R;
    }
    TRecordingSink Chip() {
        B->Chip->MakeBlank(B->Chip->Model);
        return B->Run(AutoProgramThread);
    }
    void Sql(const std::string& sql) { TStoreDatabase::ExecuteOn(Dir.File("production.db"), sql); }
    size_t RecordedChips() {
        std::vector<TChipRecord> chips;
        std::string error;
        EXPECT_TRUE(R->Store->Chips({}, chips, error)) << error;
        return chips.size();
    }
};

TEST_F(RecordedAutoProgram, EachChipRecordedBeforeContinue) {
    // The record is in the store by the time "Continue" is offered.
    size_t recordedAtContinue = 0;
    B->Watch = [&](const TOpUpdate& u) {
        if (u.Control == "Button2" && u.Kind == TOpUpdate::TKind::Enabled && u.Value)
            recordedAtContinue = RecordedChips();
    };
    TRecordingSink s = Chip();
    EXPECT_EQ(s[RecordLineControl].Text, "Serial No. 0200: a new series starts");
    EXPECT_TRUE(s.Outcome.Recorded && s.Outcome.Pass);
    EXPECT_TRUE(s["Button2"].Enabled);
    EXPECT_EQ(recordedAtContinue, 1u);
    B->Watch = nullptr;
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

TEST_F(RecordedAutoProgram, ARecordNotSavedStopsProductionAndItsNumberIsNeverGivenAgain) {
    // The chips table goes away under the running station: the chip passes
    // every writer step, its record cannot be written.
    Sql("ALTER TABLE chips RENAME TO chips_away");
    TRecordingSink s = Chip();
    EXPECT_TRUE(s.Red(RecordLineControl));
    EXPECT_EQ(s[RecordLineControl].Text.rfind("chip 0200 passed, record not saved: ", 0), 0u)
        << s[RecordLineControl].Text;
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_FALSE(s["Button2"].Enabled);
    EXPECT_FALSE(s.Outcome.Recorded);
    EXPECT_TRUE(s.Outcome.Pass); // the writer's verdict stands
    EXPECT_FALSE(s.Outcome.RecordError.empty());
    for (const char* line : {"Label1", "Label2", "Label3", "Label4"})
        EXPECT_FALSE(s.Red(line)) << line;

    // Back again: the number was armed on that chip, so it is recorded as
    // an unknown outcome, and the next chip gets the next number.
    Sql("ALTER TABLE chips_away RENAME TO chips");
    s = Chip();
    EXPECT_TRUE(s.Outcome.Recorded && s.Outcome.Pass);
    EXPECT_EQ(s[ChipSerialControl].Text, "0201");
    EXPECT_NE(s[MessageBoxControl].Text.find("0200 was on a chip"), std::string::npos)
        << s[MessageBoxControl].Text;
    std::vector<TChipRecord> chips;
    std::string error;
    ASSERT_TRUE(R->Store->Chips({}, chips, error)) << error;
    ASSERT_EQ(chips.size(), 2u);
    EXPECT_EQ(chips[0].Serial, "0200");
    EXPECT_EQ(chips[0].Failure, UnknownOutcomeText);
    EXPECT_TRUE(chips[0].Consumed);
    EXPECT_EQ(chips[0].Model, "OV128");
    EXPECT_EQ(chips[1].Serial, "0201");
}

} // namespace
} // namespace orvan::test
