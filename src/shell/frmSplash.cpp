#include "shell/frmSplash.h"

#include "shell/AppInfo.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace owb {

frmSplash::frmSplash(QWidget *parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    setFrameStyle(QFrame::Box | QFrame::Raised);
    setLineWidth(2);
    setFocusPolicy(Qt::StrongFocus);

    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(AppInfo::logo(128));
    imgLogo->setAlignment(Qt::AlignCenter);

    auto *title = new QLabel(AppInfo::title(), this);
    title->setObjectName(QStringLiteral("lblProductName"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);

    lblVersion = new QLabel(QStringLiteral("version 1.3.11"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignCenter);
    lblVersion->setText(AppInfo::versionText());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 28, 40, 28);
    layout->setSpacing(12);
    layout->addWidget(imgLogo);
    layout->addWidget(title);
    layout->addWidget(lblVersion);
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &QWidget::close);
}

void frmSplash::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    if (!Timer1->isActive()) {
        if (QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        Timer1->start();
    }
    activateWindow();
    setFocus();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    close();
}

} // namespace owb
