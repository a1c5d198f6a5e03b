#include "TAboutForm.h"

#include "Version.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>

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

void TAboutForm::OKClick()
{
    accept();
}
