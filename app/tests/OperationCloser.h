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
        auto* d = qobject_cast<TOperationForm*>(QApplication::activeModalWidget());
        if (!d || d->WorkerRunning()) return;
        for (const char* name : {"Button1", "ButtonOk"}) {
            QPushButton* b = d->Button(QString::fromLatin1(name));
            if (!b || !b->isEnabled()) continue;
            Closed << d->windowTitle();
            b->click();
            return;
        }
    }

    QTimer Poll;
};
