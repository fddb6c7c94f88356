#include "gui/Led.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

TLED::TLED(QWidget* parent) : QWidget(parent) {
    setFixedSize(LedWidth, LedHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TLED::SetLit(bool lit) {
    if (lit == FLit)
        return;
    FLit = lit;
    Changed();
}

void TLED::SetColor(TLEDColor color) {
    if (color == FColor || color < lcRed || color > lcWhite)
        return;
    FColor = color;
    Changed();
}

bool TLED::Toggle() {
    FLit = !FLit;
    Changed();
    return FLit;
}

TLEDColor TLED::NextColor() {
    FColor = FColor == lcWhite ? lcRed : TLEDColor(FColor + 1);
    Changed();
    return FColor;
}

void TLED::Changed() {
    repaint();
    Q_EMIT OnChangeState(this);
}

QColor TLED::LampColor(TLEDColor color, bool lit) {
    static const QRgb Colors[] = {0xFF2020, 0x20E020, 0xFFE020, 0xFF30FF, 0x20E0FF, 0xFFFFFF};
    const QColor full = QColor::fromRgb(Colors[color]);
    // An unlit lamp is the same hue, dimmed, so colour and state both read.
    return lit ? full : full.darker(300);
}

void TLED::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Opaque: the corners show the parent's colour, like a transparent bitmap.
    const QWidget* owner = parentWidget() ? parentWidget() : this;
    p.fillRect(rect(), owner->palette().color(owner->backgroundRole()));
    p.setRenderHint(QPainter::Antialiasing);
    const bool lit = isEnabled() && FLit;
    const QColor lamp = LampColor(isEnabled() ? FColor : lcMagenta, lit);
    const QRectF body(1, 1.5, LedWidth - 2, LedWidth - 2);
    QRadialGradient glow(body.center() - QPointF(1.5, 1.5), body.width() / 1.6);
    glow.setColorAt(0, lit ? lamp.lighter(160) : lamp.lighter(130));
    glow.setColorAt(0.6, lamp);
    glow.setColorAt(1, lamp.darker(160));
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(glow);
    p.drawEllipse(body);
}

void TLED::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        Q_EMIT OnChangeState(this);
}

void TLED::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT OnClick();
}

void TLED::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Q_EMIT OnDblClick();
}
