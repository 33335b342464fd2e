// The real serial component and primitives against writer-sim over a
// pseudo-terminal: the chip rules as the host sees them.
#include "testlib/SimProcess.h"

#include "link/Commint.h"
#include "link/Header.h"
#include "link/Protocol.h"
#include "session/Operations.h"
#include "session/Workspace.h"
#include "sim/SimChip.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

namespace orvan::sim::test {
using namespace orvan::test;
namespace {

struct Link : ::testing::Test {
    TTempDir Dir;
    std::unique_ptr<TSimProcess> Sim;
    TComm Comm;
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>();
    TProtocolState State;
    std::unique_ptr<TWriterProtocol> Proto;

    std::string Image() const { return Dir.File("chip.img"); }

    // Writes `chip` as the image, starts the simulator on it, opens the line.
    void Start(const TSimChip& chip, std::vector<std::string> args = {}) {
        std::string error;
        ASSERT_TRUE(chip.Save(Image(), error)) << error;
        args.insert(args.end(), {"--image", "chip.img", "--ports-map", "ports.map"});
        Sim = std::make_unique<TSimProcess>(Dir.Path(), args);
        ASSERT_TRUE(Sim->Started());
        Comm.SetPortMapFile(Dir.File("ports.map"));
        Comm.SetDeviceName("Com1");
        Comm.SetBaudRate(br115200);
        Comm.Open();
        ASSERT_TRUE(Comm.Enabled()) << Comm.LastErrorText();
        ASSERT_TRUE(Ws->SelectDevice(chip.Model));
        Proto = std::make_unique<TWriterProtocol>(Comm, Ws->Buffers, Ws->Device, State);
    }
    static TSimChip Blank(const char* model) {
        TSimChip c;
        EXPECT_TRUE(c.MakeBlank(model));
        return c;
    }
    void Header(unsigned area, unsigned action) { GetHeader(*Ws, {}, area, action); }
    uint8_t* Transfer() { return Ws->Buffers.TransferBuffer.data(); }
    TSimChip Chip(const std::string& path) {
        TSimChip c;
        std::string error;
        EXPECT_TRUE(c.Load(path, error)) << error;
        return c;
    }
};

TEST_F(Link, OtpCannotSetAProgrammedBitAgain) {
    TSimChip chip = Blank("OV101");
    chip.Program[5] = 0x0000;
    Start(chip);
    EXPECT_EQ(Proto->CheckWriter(), WriterResult::WriterUniversal);
    Header(HeaderArea::ProgramMemory, HeaderAction::Program);
    EXPECT_EQ(Ws->Buffers.CommandHeader[9], 0xA6);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    std::fill_n(Transfer(), Ws->Device.ICMemBytes, 0x00);
    Transfer()[11] = 0x01; // word 5, upper byte: a 1 over a programmed 0
    EXPECT_EQ(Proto->WriteData(Ws->Device.ICMemBytes, true), WriterResult::WriteFail);
    EXPECT_EQ(State.FailIndex, 11);
    EXPECT_EQ(Chip(Image()).Program[4], 0x0000);
}

TEST_F(Link, EraseBlanksAFlashChip) {
    TSimChip chip = Blank("OV128");
    std::fill(chip.Program.begin(), chip.Program.end(), 0x1234);
    chip.ID[0] = 0x41;
    chip.EEPROM[9] = 0x00;
    Start(chip);
    Header(HeaderArea::ProgramMemory, HeaderAction::Erase);
    EXPECT_EQ(Proto->SendHeader(), WriterResult::Done);
    Header(HeaderArea::ProgramMemory, HeaderAction::Read);
    ASSERT_EQ(Proto->Read7BitData(Ws->Device.ICMemBytes, true), WriterResult::Done);
    EXPECT_TRUE(std::all_of(Transfer(), Transfer() + Ws->Device.ICMemBytes,
                            [](uint8_t b) { return b == 0x7F; }));
    Header(HeaderArea::EEPROM, HeaderAction::Read);
    ASSERT_EQ(Proto->Read8BitData(Ws->Device.EEBytes()), WriterResult::Done);
    EXPECT_EQ(Transfer()[9], 0xFF);
    const TSimChip after = Chip(Image());
    EXPECT_EQ(after.ID[0], BlankWord);
    EXPECT_EQ(after.Program[0], BlankWord);
}

TEST_F(Link, ProtectedChipReadsMasked) {
    TSimChip chip = Blank("OV128");
    chip.Option[0] = 0x1FF2; // security bit programmed
    chip.Program[0] = 0x0000;
    chip.Program[1] = 0x2AAA;
    Start(chip);
    Header(HeaderArea::ProgramMemory, HeaderAction::Read);
    ASSERT_EQ(Proto->Read7BitData(Ws->Device.ICMemBytes, true), WriterResult::Done);
    // 2AAAh: low 2Ah -> 3Fh, high 55h -> 5Fh.
    const uint8_t expected[] = {0x1F, 0x1F, 0x3F, 0x5F, 0x7F, 0x7F};
    EXPECT_TRUE(std::equal(expected, expected + 6, Transfer()));
    Header(HeaderArea::Option, HeaderAction::Read);
    ASSERT_EQ(Proto->Read7BitData(6, true), WriterResult::Done);
    EXPECT_EQ(Transfer()[0], 0x72);
    EXPECT_EQ(Transfer()[1], 0x3F);
}

TEST_F(Link, WrongDeviceCodeIsNoChip) {
    Start(Blank("OV128"));
    ASSERT_TRUE(Ws->SelectDevice("OV129")); // another code than the chip's
    Header(HeaderArea::Option, HeaderAction::Read);
    EXPECT_EQ(Proto->Read7BitData(6, true), WriterResult::NoChip);
    Header(HeaderArea::ProgramMemory, HeaderAction::Program);
    EXPECT_EQ(Proto->SendHeader(), WriterResult::NoChip);
    ASSERT_TRUE(Ws->SelectDevice("OV128"));
    Header(HeaderArea::Option, HeaderAction::Read);
    EXPECT_EQ(Proto->Read7BitData(6, true), WriterResult::Done);
}

TEST_F(Link, FreshChipAfterACompletedRun) {
    Start(Blank("OV128"), {"--fresh-chip"});
    Header(HeaderArea::ProgramMemory, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    std::fill_n(Transfer(), Ws->Device.ICMemBytes, 0x00);
    ASSERT_EQ(Proto->WriteData(Ws->Device.ICMemBytes, true), WriterResult::BlockDone);
    Header(HeaderArea::ID, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    std::fill_n(Transfer(), 32, 0x41);
    ASSERT_EQ(Proto->WriteData(16, true), WriterResult::BlockDone);
    Header(HeaderArea::Option, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    Transfer()[0] = 0x72;
    Transfer()[1] = 0x7F;
    ASSERT_EQ(Proto->WriteData(2, true), WriterResult::BlockDone);
    Header(HeaderArea::Option, HeaderAction::Read);
    ASSERT_EQ(Proto->Read7BitData(2, true), WriterResult::Done);
    EXPECT_EQ(Transfer()[0], 0x72); // the read-back still sees the used chip
    // Then the used chip is kept and a blank one sits in the socket.
    const TSimChip used = Chip(Image() + ".1");
    EXPECT_EQ(used.Option[0], 0x3FF2);
    EXPECT_EQ(used.ID[7], 0x20C1);
    EXPECT_EQ(used.ID[8], BlankWord);
    EXPECT_EQ(used.Program[100], 0x0000);
    EXPECT_EQ(Chip(Image()).Option[0], BlankWord);
    Header(HeaderArea::Option, HeaderAction::Read);
    ASSERT_EQ(Proto->Read7BitData(2, true), WriterResult::Done);
    EXPECT_EQ(Transfer()[0], 0x7F);
}

TEST_F(Link, FaultsReachTheHost) {
    Start(Blank("OV128"), {"--adapter-error"});
    Header(HeaderArea::ProgramMemory, HeaderAction::Erase);
    EXPECT_EQ(Proto->SendHeader(), WriterResult::AdapterError);

    // Faults from the control file: programming failure at byte 7.
    WriteFile(Dir.File("control"), "fail-at 0:7\n");
    Sim = std::make_unique<TSimProcess>(
        Dir.Path(), std::vector<std::string>{"--control", "control", "--ports-map", "ports.map"});
    Comm.Close();
    Comm.Open();
    ASSERT_TRUE(Comm.Enabled());
    Header(HeaderArea::ProgramMemory, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    std::fill_n(Transfer(), Ws->Device.ICMemBytes, 0x00);
    EXPECT_EQ(Proto->WriteData(Ws->Device.ICMemBytes, true), WriterResult::WriteFail);
    EXPECT_EQ(State.FailIndex, 7);
    // Changed on the fly: slowed replies still within the step's limit.
    WriteFile(Dir.File("control"), "delay 400\n");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Proto->CheckWriter(), WriterResult::WriterUniversal);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(390));
}

TEST_F(Link, LineDroppedMidTransferEndsTheExchange) {
    Start(Blank("OV128"), {"--drop-at", "40"});
    Header(HeaderArea::ProgramMemory, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    std::fill_n(Transfer(), Ws->Device.ICMemBytes, 0x00);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Proto->WriteData(Ws->Device.ICMemBytes, true), WriterResult::TimeOut);
    // The hang-up is noticed at once, not after the time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
    int status = -1;
    EXPECT_TRUE(Sim->WaitExit(2000, status));
    EXPECT_EQ(status, 0);
}

TEST_F(Link, IdleSimulatorUsesNoCpu) {
    Start(Blank("OV128"), {"--pace"});
    EXPECT_EQ(Proto->CheckWriter(), WriterResult::WriterUniversal);
    const auto ticks = [&] {
        // Fields 14 and 15 of /proc/PID/stat: user and system clock ticks.
        std::istringstream s(ReadFile("/proc/" + std::to_string(Sim->Pid()) + "/stat"));
        std::string f;
        long user = 0, sys = 0;
        for (int k = 1; k <= 15 && s >> f; ++k) {
            if (k == 14) user = std::stol(f);
            if (k == 15) sys = std::stol(f);
        }
        return user + sys;
    };
    const long before = ticks();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_LE(ticks() - before, 2); // at most 20 ms of CPU in 700 ms
}

TEST_F(Link, SimulatorStopsCleanlyAndKeepsTheChip) {
    Start(Blank("OV128"));
    Header(HeaderArea::Option, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    Transfer()[0] = 0x55;
    Transfer()[1] = 0x2A;
    ASSERT_EQ(Proto->WriteData(2, true), WriterResult::BlockDone);
    EXPECT_EQ(Sim->Stop(), 0);
    EXPECT_EQ(Chip(Image()).Option[0], 0x1555);
    EXPECT_FALSE(std::filesystem::exists(Image() + ".tmp"));
}

// Closing an operation's dialog in the middle of a transfer must never make
// the next operation fail: the writer is left inside the block, and the
// next exchange waits until it has dropped it.
TEST_F(Link, AStopMidBlockIsFollowedByAGoodPoll) {
    Start(Blank("OV132"));
    // Program memory, stopped after a while.
    Header(HeaderArea::ProgramMemory, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    std::fill_n(Transfer(), Ws->Device.ICMemBytes, 0x00);
    {
        std::stop_source stop;
        TWriterProtocol worker{Comm,  Ws->Buffers,   Ws->Device,
                               State, SystemClock(), stop.get_token()};
        std::jthread closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            stop.request_stop();
        });
        EXPECT_EQ(worker.WriteData(Ws->Device.ICMemBytes, true), WriterResult::TimeOut);
    }
    EXPECT_TRUE(State.ExchangeOpen);
    EXPECT_EQ(Proto->CheckWriter(), WriterResult::WriterUniversal);
    EXPECT_FALSE(State.ExchangeOpen);

    // A read of the whole program memory, stopped while the writer streams.
    Header(HeaderArea::ProgramMemory, HeaderAction::Read);
    {
        std::stop_source stop;
        TWriterProtocol worker{Comm,  Ws->Buffers,   Ws->Device,
                               State, SystemClock(), stop.get_token()};
        stop.request_stop(); // at the first wait, with the block on its way
        EXPECT_EQ(worker.Read7BitData(Ws->Device.ICMemBytes, true), WriterResult::TimeOut);
    }
    EXPECT_TRUE(State.ExchangeOpen);
    Header(HeaderArea::Option, HeaderAction::Read);
    ASSERT_EQ(Proto->Read7BitData(6, true), WriterResult::Done);
    EXPECT_EQ(Transfer()[0], 0x7F);
    EXPECT_EQ(Proto->CheckWriter(), WriterResult::WriterUniversal);
}

// A writer that stops answering in the middle of a block: two missed
// replies end WriteData, not one 3-second time-out for every byte left.
TEST_F(Link, WriteDataToAWriterThatFallsSilent) {
    // Steps 0-9 are the header, 10 the first data byte: silent from 13 on.
    Start(Blank("OV128"), {"--silent-from", "13"});
    Header(HeaderArea::ProgramMemory, HeaderAction::Program);
    ASSERT_EQ(Proto->SendHeader(), WriterResult::Ready);
    std::fill_n(Transfer(), Ws->Device.ICMemBytes, 0x00);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Proto->WriteData(Ws->Device.ICMemBytes, true), WriterResult::TimeOut);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    EXPECT_TRUE(State.ExchangeOpen);
}

} // namespace
} // namespace orvan::sim::test
