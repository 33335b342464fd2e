#include "testlib/GuiBench.h"

#include "buffer/BufferBlock.h"
#include "session/ConfigFile.h"
#include "testlib/Files.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

namespace orvan::test {

std::unique_ptr<TMainForm> NewForm() {
    TMainForm::TStartOptions options;
    options.Connect = false;
    return std::make_unique<TMainForm>(std::move(options));
}

void SelectDevice(TMainForm& form, const QString& name) {
    const int at = form.ComboBox2->findText(name);
    QVERIFY(at >= 0);
    form.ComboBox2->setCurrentIndex(at);
    emit form.ComboBox2->activated(at);
}

void AnswerDialog(TSeenDialog* seen, const QString& filter, const QString& name) {
    QTimer::singleShot(0, [=] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        seen->Shown = true;
        seen->Title = d->windowTitle();
        seen->Suffix = d->defaultSuffix();
        seen->Filter = d->selectedNameFilter();
        seen->Filters = d->nameFilters();
        // The name box of Qt's own dialog holds the proposed name.
        if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            seen->Proposed = edit->text();
        if (name.isNull()) {
            d->reject();
            return;
        }
        if (!filter.isEmpty()) d->selectNameFilter(filter);
        d->selectFile(name);
        static_cast<QDialog*>(d)->accept();
    });
    QTimer::singleShot(5000, [] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) d->reject();
    });
}

void MapPortsNowhere() {
    QFile map(QStringLiteral("ports.map"));
    QVERIFY(map.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 8; ++i)
        map.write(QByteArray("Com") + QByteArray::number(i) + " /nonexistent/orvan-test-port\n");
}

TSimStation::TSimStation(const std::string& model, const std::string& program, int option)
    : SimArgs{"--model", model,         "--fresh-chip", "--image", "chip.img", "--control",
              "control", "--ports-map", "ports.map",    "--port",  "Com1"},
      OldDir(QDir::currentPath()) {
    WriteFile(Dir.File("prog.bin"), program);
    TWorkspace ws;
    ws.DeviceName = model;
    ws.GetICInfo();
    ws.LoadedFileName = Dir.File("prog.bin");
    if (option >= 0) WordToPair(uint16_t(option), ws.Buffers.OptionLo, ws.Buffers.OptionHi);
    ws.RefreshData();
    QVERIFY(SaveCfgFile(ws, Dir.File("Default.cfg")));
    Fault("");
    QDir::setCurrent(QString::fromStdString(Dir.Path()));
    // The other ports lead nowhere: with the simulator gone, Com1 has no
    // line, and is not taken for the machine's own /dev/ttyS0.
    MapPortsNowhere();
    Sim = std::make_unique<TSimProcess>(Dir.Path(), SimArgs);
    QVERIFY(Sim->Started());
    Form = std::make_unique<TMainForm>(TMainForm::TStartOptions{});
    Form->show();
    Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form.get()));
    QCOMPARE(Boxes.Texts(), QStringList{QStringLiteral("Connect OK!")});
}

TSimStation::~TSimStation() {
    Form.reset();
    QDir::setCurrent(OldDir);
}

void TSimStation::Fault(const std::string& lines) {
    WriteFile(Dir.File("control"), lines.empty() ? "" : lines + "\n");
}

bool TSimStation::SimGone() {
    int status = 0;
    return Sim->WaitExit(10000, status);
}

void TSimStation::Reconnect() {
    Sim.reset();
    Fault("");
    Sim = std::make_unique<TSimProcess>(Dir.Path(), SimArgs);
    QVERIFY(Sim->Started());
}

} // namespace orvan::test
