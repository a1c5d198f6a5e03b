#include "TVorlanStyle.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <qdrawutil.h>

namespace {

constexpr int kCaptionIndent = 8;

bool ownGroupBox(const QStyleOptionComplex* option)
{
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    return box && !(box->subControls & QStyle::SC_GroupBoxCheckBox);
}

// Two chevrons, pointing right or down, as the menu and tool bars' button for what does not
// fit. Drawn here: the style's own image file would be looked up through every image plugin
// at the window's start.
QIcon extensionIcon(bool down)
{
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(16, 16) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(40, 40, 40), 1.5));
        for (int at : {4, 9}) {
            const QPointF chevron[3] = {{qreal(at), 4.5}, {at + 3.5, 8}, {qreal(at), 11.5}};
            QPointF turned[3];
            for (int i = 0; i < 3; ++i)
                turned[i] = down ? QPointF(chevron[i].y(), chevron[i].x()) : chevron[i];
            painter.drawPolyline(turned, 3);
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

TVorlanStyle::TVorlanStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QRect TVorlanStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                   SubControl subControl, const QWidget* widget) const
{
    if (control != CC_GroupBox || !ownGroupBox(option))
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    const auto* box = static_cast<const QStyleOptionGroupBox*>(option);
    const QRect r = box->rect;
    const int captionHeight = box->fontMetrics.height();
    const int lineY = box->text.isEmpty() ? 0 : captionHeight / 2;
    switch (subControl) {
    case SC_GroupBoxFrame:
        return QRect(r.left(), r.top() + lineY, r.width(), r.height() - lineY);
    case SC_GroupBoxLabel: {
        const int width = box->fontMetrics.horizontalAdvance(box->text);
        return QRect(r.left() + kCaptionIndent, r.top(), width, captionHeight);
    }
    case SC_GroupBoxContents:
        return r.adjusted(2, box->text.isEmpty() ? 2 : captionHeight, -2, -2);
    default:
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

void TVorlanStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const
{
    if (control != CC_GroupBox || !ownGroupBox(option)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const auto* box = static_cast<const QStyleOptionGroupBox*>(option);
    if (box->subControls & SC_GroupBoxFrame) {
        // An etched line: dark, with a light one inside it.
        const QRect frame = subControlRect(control, option, SC_GroupBoxFrame, widget);
        qDrawShadeRect(painter, frame, box->palette, true, 1, 0);
    }
    if ((box->subControls & SC_GroupBoxLabel) && !box->text.isEmpty()) {
        const QRect label = subControlRect(control, option, SC_GroupBoxLabel, widget);
        painter->fillRect(label, box->palette.window());   // the line breaks for the caption
        drawItemText(painter, label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                     box->palette, box->state & State_Enabled, box->text, QPalette::WindowText);
    }
}

QIcon TVorlanStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                                 const QWidget* widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton || icon == SP_ToolBarVerticalExtensionButton)
        return extensionIcon(icon == SP_ToolBarVerticalExtensionButton);
    return QProxyStyle::standardIcon(icon, option, widget);
}
