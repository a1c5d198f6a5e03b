#pragma once

#include <QProxyStyle>

// The program's look: Fusion, but group boxes drawn as the window's layout expects them, with
// the frame line through the middle of the caption near the box's top edge (Fusion puts it a
// whole caption height lower, under the controls placed at the top of the box).
class TVorlanStyle : public QProxyStyle {
    Q_OBJECT
public:
    TVorlanStyle();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override;
};
