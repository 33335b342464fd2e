// For window tests that run chip commands: presses the closing button of
// each operation dialog that comes up modally, once its worker has ended,
// and records the dialogs' captions in order.
#pragma once

#include "ops/OperationForm.h"

#include <QApplication>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

class TOperationCloser {
  public:
    TOperationCloser() {
        QObject::connect(&Poll, &QTimer::timeout, [this] { Check(); });
        Poll.start(20);
    }

    QStringList Closed; // window captions

  private:
    void Check() {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<TOperationForm*>(w)) {
            if (!d->WorkerRunning()) Press(d, [d](const QString& n) { return d->Button(n); });
        }
    }

    template <class F> void Press(QWidget* d, F button) {
        for (const char* name : {"Button1", "ButtonOk"}) {
            QPushButton* b = button(QString::fromLatin1(name));
            if (!b || !b->isEnabled()) continue;
            Closed << d->windowTitle();
            b->click();
            return;
        }
    }

    QTimer Poll;
};
