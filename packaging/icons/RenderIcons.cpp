// orvan-render-icons DIR: writes the product icon, as the about box draws
// it, to DIR/orvan-writer-SIZE.png for the desktop menu sizes. Run by hand
// when the artwork changes; the PNGs are kept in the repository.
#include "info/Artwork.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    // Drawing into pixmaps needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: orvan-render-icons DIR\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("%1/orvan-writer-%2.png").arg(dir).arg(size);
        if (!orvan::art::ProductIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "orvan-render-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
