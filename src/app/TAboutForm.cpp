#include "TAboutForm.h"

#include "Version.h"

#include <QLabel>
#include <QMoveEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>

namespace {

// Where a frame of the given size goes to be centred on the owner's frame.
QPoint centredTopLeft(const QRect& owner, const QSize& frame)
{
    return owner.topLeft() +
           QPoint((owner.width() - frame.width()) / 2, (owner.height() - frame.height()) / 2);
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutForm");
    setWindowTitle("About");
    setFixedSize(180, 302);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* picture = new QLabel(this);
    picture->setObjectName("ProgramIcon");
    picture->setGeometry(10, 10, 160, 120);
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(QSize(160, 120) * ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        QSvgRenderer(QStringLiteral(":/about.svg")).render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    picture->setPixmap(pixmap);
    picture->setFrameShape(QFrame::StyledPanel);

    const struct {
        const char* name;
        const char* text;
        int top;
        int height;
        bool bold;
    } lines[] = {
        {"ProductName", "3D-Vorlan", 140, 18, true},
        {"Version", "Version " VORLAN_VERSION, 160, 16, false},
        {"Comments", "A small modeller and viewer for objects made of triangles and quads, "
                     "lit, shadowed and textured.", 180, 64, false},
        {"Copyright", "The 3D-Vorlan team", 246, 16, false},
    };
    for (const auto& line : lines) {
        auto* label = new QLabel(QString::fromLatin1(line.text), this);
        label->setObjectName(QString::fromLatin1(line.name));
        label->setGeometry(10, line.top, 160, line.height);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        if (line.bold) {
            QFont f = label->font();
            f.setBold(true);
            f.setPointSize(f.pointSize() + 2);
            label->setFont(f);
        }
    }

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setGeometry(52, 268, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TAboutForm::OKClick);
}

int TAboutForm::execCentredOn(const QWidget* owner)
{
    ownerFrame_ = owner->frameGeometry();
    // Until the window manager has framed the dialog once, the owner's frame stands in for
    // its own: the same window manager draws both. A top-level move() places the frame.
    settling_ = !frameKnown();
    QSize frame = frameGeometry().size();
    if (settling_)
        frame += owner->frameGeometry().size() - owner->geometry().size();
    move(centredTopLeft(ownerFrame_, frame));
    return exec();
}

void TAboutForm::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    // Once the real frame is known, a guess that was off is put right, once: a dialog's frame
    // may differ from the main window's (no resize border, for one), and any later move is
    // the user's.
    if (!settling_ || !isVisible() || !frameKnown())
        return;
    settling_ = false;
    const QPoint wanted = centredTopLeft(ownerFrame_, frameGeometry().size());
    if (frameGeometry().topLeft() != wanted)
        move(wanted);
}

void TAboutForm::OKClick()
{
    accept();
}
