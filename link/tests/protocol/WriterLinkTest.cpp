// The main window's link: Comm1's settings, the connection check's port
// handling and messages, the restore at exit.
#include "link/WriterLink.h"
#include "session/Operations.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/PtyPair.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace orvan {
namespace {

struct LinkFixture : ::testing::Test {
    test::TTempDir Dir;
    test::PtyPair Pty;
    std::unique_ptr<TWriterLink> Link = std::make_unique<TWriterLink>();

    LinkFixture() {
        test::WriteFile(Dir.File("ports.map"),
                        "Com1 " + Pty.Slave + " nocts\nCom7 " + Dir.File("missing") + "\n");
        Link->Comm1.SetPortMapFile(Dir.File("ports.map"));
    }
    ~LinkFixture() override { Link.reset(); }
};

TEST(LinkTexts, HandshakeAndMessages) {
    EXPECT_EQ(FlowControlOf(-1), fcDefault);
    EXPECT_EQ(FlowControlOf(0), fcDefault);
    EXPECT_EQ(FlowControlOf(1), fcCTS);
    EXPECT_EQ(FlowControlOf(2), fcNone);
    struct {
        WriterResult r;
        const char* text;
    } cases[] = {{WriterResult::WriterClass1, "Connect OK!"},
                 {WriterResult::WriterClass2, "Connect OK!"},
                 {WriterResult::WriterUniversal, "Connect OK!"},
                 {WriterResult::TimeOut, "Connect COM1 Timeout!!"},
                 {WriterResult::WriterMismatch, "Connect Fail!"},
                 {WriterResult::BadReply, "Connect Fail!"},
                 {WriterResult::NoChip, "Connect Fail!"}};
    for (const auto& c : cases)
        EXPECT_EQ(ConnectMessage(c.r, "Com1"), c.text);
    EXPECT_EQ(PortErrorMessage("Com3", ""), "Open  COM3 Port Error!!");
    EXPECT_EQ(PortErrorMessage("com8", "why"), "Open  COM8 Port Error!!\nwhy");
}

TEST_F(LinkFixture, Comm1AsTheWindowCreatesIt) {
    EXPECT_EQ(Link->Comm1.DeviceName(), "Com2");
    EXPECT_EQ(Link->Comm1.ReadBufSize(), 8192);
    EXPECT_EQ(Link->Comm1.WriteBufSize(), 0);
    EXPECT_FALSE(Link->Comm1.Enabled());
    EXPECT_TRUE(Link->WriterId().empty());
}

TEST_F(LinkFixture, CheckComPortOpensWithTheWritersLine) {
    ASSERT_FALSE(Pty.Slave.empty());
    for (int handshake : {-1, 0, 1, 2}) {
        EXPECT_EQ(Link->CheckComPort("Com1", handshake), "");
        EXPECT_FALSE(Link->PortFailed);
        EXPECT_TRUE(Link->Comm1.Enabled());
        EXPECT_EQ(Link->Comm1.BaudRate(), br115200);
        EXPECT_EQ(Link->Comm1.Databits(), da8);
        EXPECT_EQ(Link->Comm1.Parity(), paNone);
        EXPECT_EQ(Link->Comm1.Stopbits(), sb10);
        EXPECT_EQ(Link->Comm1.FlowControl(), FlowControlOf(handshake));
    }
    // The settings saved are those before this check: the writer's line.
    EXPECT_EQ(Link->SavedPortSettings.DeviceName, "Com1");
    EXPECT_EQ(Link->SavedPortSettings.BaudRate, br115200);
}

TEST_F(LinkFixture, FailedOpenNamesThePortAndTheReason) {
    const std::string m = Link->CheckComPort("Com7", -1);
    EXPECT_TRUE(Link->PortFailed);
    EXPECT_FALSE(Link->Comm1.Enabled());
    ASSERT_NE(m.find('\n'), std::string::npos);
    EXPECT_EQ(m.substr(0, m.find('\n')), "Open  COM7 Port Error!!");
    EXPECT_NE(m.find("no such device"), std::string::npos) << m;
    // The settings before the first check were the component's defaults.
    EXPECT_EQ(Link->SavedPortSettings.DeviceName, "Com2");
    EXPECT_EQ(Link->SavedPortSettings.BaudRate, br9600);
    // A later check that works clears the flag.
    EXPECT_EQ(Link->CheckComPort("Com1", 2), "");
    EXPECT_FALSE(Link->PortFailed);
}

TEST_F(LinkFixture, RestorePutsBackTheSettingsBeforeTheLastCheck) {
    Link->Comm1.SetBaudRate(br4800);
    Link->Comm1.SetParity(paEven);
    ASSERT_EQ(Link->CheckComPort("Com1", 1), "");
    Link->RestorePortSettings();
    EXPECT_FALSE(Link->Comm1.Enabled());
    EXPECT_EQ(Link->Comm1.DeviceName(), "Com2");
    EXPECT_EQ(Link->Comm1.BaudRate(), br4800);
    EXPECT_EQ(Link->Comm1.Parity(), paEven);
}

TEST_F(LinkFixture, PortChangeWithoutAPortShowsOnlyThePortError) {
    auto ws = std::make_unique<TWorkspace>();
    const std::string m = Link->PortChange(ws->Buffers, ws->Device, "Com7", 2);
    EXPECT_EQ(m.substr(0, m.find('\n')), "Open  COM7 Port Error!!");
}

TEST_F(LinkFixture, HeadersCarryTheLinksPulseWidths) {
    auto ws = std::make_unique<TWorkspace>();
    ASSERT_TRUE(ws->SelectDevice("OV128"));
    Link->PulseWidths = PulseWidthsFromEdits(true, "7", true, "200");
    GetHeader(*ws, Link->PulseWidths, HeaderArea::ProgramMemory, HeaderAction::Program);
    EXPECT_EQ(ws->Buffers.CommandHeader[7], 14);
    GetHeader(*ws, Link->PulseWidths, HeaderArea::ProgramMemory, HeaderAction::Erase);
    EXPECT_EQ(ws->Buffers.CommandHeader[7], 200);
}

} // namespace
} // namespace orvan
