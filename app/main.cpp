// orvan-writer: one instance per user, the start-up picture, then the main
// window until it is closed.
#include "app/MainForm.h"
#include "app/MessageBoxes.h"
#include "app/SignalClose.h"
#include "app/SingleInstance.h"
#include "info/Logo.h"

#include <QApplication>
#include <QTimer>

#include <memory>
#include <utility>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(orvan::ProductName));
    QApplication::setWindowIcon(QIcon(TLogoForm::ProductPicture()));

    TInstanceLock lock; // held until the process ends
    if (!lock.Acquire(DefaultLockPath())) {
        ShowPlainMessage(nullptr, QStringLiteral("Process is running!"));
        return 0;
    }

    auto logo = std::make_unique<TLogoForm>();
    std::unique_ptr<TMainForm> form;
    bool started = false;
    // The main window is built once the picture is on screen; a window
    // system that never reports the paint must not stop the start. Building
    // it may run message boxes, so a second trigger can arrive meanwhile.
    const auto start = [&] {
        if (std::exchange(started, true)) return;
        TMainForm::TStartOptions options;
        options.CloseLogo = [&logo] {
            if (!logo) return;
            logo->hide();
            logo.release()->deleteLater();
        };
        form = std::make_unique<TMainForm>(std::move(options));
        form->ShowCentredMaximised();
    };
    // A signal closes the window as Exit does; before the window exists
    // there is nothing to save.
    InstallCloseOnSignal(&app, [&] {
        if (form)
            form->close();
        else
            QApplication::quit();
    });
    QObject::connect(logo.get(), &TLogoForm::Painted, &app,
                     [&] { QTimer::singleShot(0, &app, start); });
    QTimer::singleShot(1000, &app, start);
    logo->show();
    return app.exec();
}
