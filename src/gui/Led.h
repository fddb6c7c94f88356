#pragma once
// The LED indicator: a fixed 12 x 13 lamp in one of six colours, lit or off.

#include <QWidget>

enum TLEDColor { lcRed, lcGreen, lcYellow, lcMagenta, lcCyan, lcWhite };

class TLED : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Lit READ Lit WRITE SetLit)
    Q_PROPERTY(int Color READ ColorIndex WRITE SetColorIndex)

public:
    static constexpr int LedWidth = 12;
    static constexpr int LedHeight = 13;

    explicit TLED(QWidget* parent = nullptr);

    bool Lit() const { return FLit; }
    void SetLit(bool lit);
    TLEDColor Color() const { return FColor; }
    void SetColor(TLEDColor color);
    // Inverts Lit / moves to the next colour (white wraps to red); both
    // return the new value and announce the change.
    bool Toggle();
    TLEDColor NextColor();

    // The lamp colour drawn for a state; a disabled LED is drawn as magenta, off.
    static QColor LampColor(TLEDColor color, bool lit);

Q_SIGNALS:
    // Lit, Color or the enabled state changed.
    void OnChangeState(QObject* sender);
    void OnClick();
    void OnDblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int ColorIndex() const { return int(FColor); }
    void SetColorIndex(int index) { SetColor(TLEDColor(index)); }
    void Changed();

    bool FLit = false;
    TLEDColor FColor = lcRed;
};
