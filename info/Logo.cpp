#include "info/Logo.h"

#include "session/Workspace.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <iterator>

namespace {
constexpr int LogoWidth = 336;
constexpr int LogoHeight = 305;
} // namespace

TLogoForm::TLogoForm(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::SplashScreen), Picture(ProductPicture()) {
    setObjectName(QStringLiteral("LogoForm"));
    setFixedSize(LogoWidth, LogoHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(LogoWidth / 2, LogoHeight / 2));
    }
}

void TLogoForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), Picture);
    if (!PaintedOnce) {
        PaintedOnce = true;
        emit Painted();
    }
}

QPixmap TLogoForm::ProductPicture() {
    QPixmap pix(LogoWidth, LogoHeight);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, LogoHeight);
    sky.setColorAt(0, QColor(18, 44, 92));
    sky.setColorAt(1, QColor(6, 14, 34));
    p.fillRect(pix.rect(), sky);

    // A chip in a socket: body, pins and a notch.
    const QRectF body(98, 58, 140, 104);
    p.setPen(QPen(QColor(200, 205, 215), 2));
    for (int i = 0; i < 7; ++i) {
        const qreal x = body.left() + 14 + i * 19;
        p.drawLine(QPointF(x, body.top() - 14), QPointF(x, body.top()));
        p.drawLine(QPointF(x, body.bottom()), QPointF(x, body.bottom() + 14));
    }
    p.setPen(QPen(QColor(90, 96, 110), 1.5));
    p.setBrush(QColor(38, 40, 48));
    p.drawRoundedRect(body, 6, 6);
    p.setBrush(QColor(60, 63, 74));
    p.drawEllipse(QPointF(body.left() + 16, body.top() + 16), 6, 6);

    // A write pulse across the chip.
    QPainterPath pulse;
    pulse.moveTo(24, 110);
    const qreal xs[] = {84, 84, 120, 120, 150, 150, 186, 186, 216, 216, 252, 252, 312};
    const qreal ys[] = {110, 86, 86, 134, 134, 86, 86, 134, 134, 86, 86, 110, 110};
    for (size_t i = 0; i < std::size(xs); ++i)
        pulse.lineTo(xs[i], ys[i]);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 196, 64), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(pulse);

    QFont title(QStringLiteral("Arial"), 26, QFont::Bold);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 186, LogoWidth, 44), Qt::AlignCenter,
               QString::fromUtf8(orvan::ProductName));
    QFont version(QStringLiteral("Arial"), 13);
    p.setFont(version);
    p.setPen(QColor(170, 190, 225));
    p.drawText(QRectF(0, 230, LogoWidth, 24), Qt::AlignCenter,
               QString::fromUtf8(orvan::ProductVersion));
    QFont note(QStringLiteral("Arial"), 9);
    p.setFont(note);
    p.drawText(QRectF(0, 266, LogoWidth, 20), Qt::AlignCenter,
               QStringLiteral("Device programmer for 12- and 14-bit microcontrollers"));

    p.setPen(QPen(QColor(255, 196, 64), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, LogoWidth - 2, LogoHeight - 2));
    return pix;
}
