#include "testlib/GuiBench.h"

#include <QApplication>
#include <QComboBox>
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

} // namespace orvan::test
