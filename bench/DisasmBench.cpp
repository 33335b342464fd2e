// disasm-bench: how long a full listing takes. The core's listing of 8192
// words (and its ".dis" text), then under Qt the window: the listing of the
// largest model's whole memory through "Disassemble", and a window showing
// 8192 words, each until it has been painted. Prints figures; no verdicts.
#include "buffer/BufferBlock.h"
#include "disasm/Disassembler.h"

#ifdef DISASM_BENCH_GUI
#include "app/MainForm.h"
#include "disasm/Disform.h"

#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QPlainTextEdit>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct TStats {
    double Min = 0, Median = 0, Max = 0;
};

TStats Measure(int rounds, const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

void Print(const char* what, const TStats& s) {
    std::printf("%-52s min %8.3f ms  median %8.3f ms  max %8.3f ms\n", what, s.Min, s.Median,
                s.Max);
}

// Words a real program is made of: every op, a few undecodable words and
// blank runs so ORG marks appear as well.
void FillProgram(uint8_t* program, int words, unsigned seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < words; ++i) {
        unsigned w = rng() & 0x3FFFu;
        if (i % 97 < 3) w = 0x3FFF;
        orvan::SetWord(program, i, w);
    }
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("usage: disasm-bench [--rounds N]");
            return 0;
        }
    }

    std::vector<uint8_t> program(orvan::ProgramBytes, orvan::Blank7);
    FillProgram(program.data(), orvan::MaxListedWords, 1);
    const int bytes = orvan::MaxListedWords * 2;
    std::size_t lineCount = 0, fileBytes = 0;
    Print("core: listing of 8192 words",
          Measure(rounds, [&] { lineCount = orvan::DisassembleLines(program, bytes).size(); }));
    const auto lines = orvan::DisassembleLines(program, bytes);
    Print("core: listing + .dis text (CR LF)", Measure(rounds, [&] {
              fileBytes = orvan::ListingFileText(orvan::DisassembleLines(program, bytes)).size();
          }));
    std::printf("  %zu lines, %zu bytes in the .dis file\n", lineCount, fileBytes);

#ifdef DISASM_BENCH_GUI
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    TMainForm::TStartOptions options;
    options.Connect = false;
    TMainForm form(std::move(options));
    form.show();
    QApplication::processEvents();

    // The largest model, its whole memory full of code, through the command.
    form.ComboBox2->setCurrentText(QStringLiteral("OV132"));
    form.Ws().SelectDevice("OV132");
    const int words = form.Ws().Device.WordCount();
    FillProgram(form.Ws().Buffers.ProgramBuffer.data(), words, 2);
    Print(("window: Disassemble, " + std::to_string(words) + " words (OV132), painted").c_str(),
          Measure(rounds, [&] {
              form.Disassemble1Click();
              QApplication::processEvents();
          }));

    // A window showing 8192 words (made over a blank small device, so only
    // the 8192-word listing counts).
    orvan::TWorkspace blank;
    Print("window: 8192-word listing shown, painted", Measure(rounds, [&] {
              TDisassembleForm d(blank);
              d.ShowListing(lines);
              form.MdiArea->addSubWindow(&d);
              d.show();
              QApplication::processEvents();
              form.MdiArea->removeSubWindow(&d);
          }));
    Print("window: scroll 8192-word listing to the end, painted", Measure(rounds, [&] {
              TDisassembleForm d(blank);
              d.ShowListing(lines);
              form.MdiArea->addSubWindow(&d);
              d.show();
              d.Memo1->moveCursor(QTextCursor::End);
              QApplication::processEvents();
              form.MdiArea->removeSubWindow(&d);
          }));
#endif
    return 0;
}
