#include "shell/frmHelp.h"

#include "common/AppPaths.h"

#include <QAction>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace owb {

frmHelp::frmHelp(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(4, 4, 4, 4);
    resize(900, 640);
}

QUrl frmHelp::indexUrl()
{
    return QUrl::fromLocalFile(AppPaths::dataFile(QStringLiteral("documentation/index.htm")));
}

void frmHelp::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (wbHelp)
        return;
    wbHelp = new QWebEngineView(this);
    wbHelp->setObjectName(QStringLiteral("wbHelp"));
    // The layout keeps the browser at a valid size however small the window gets.
    wbHelp->setMinimumSize(1, 1);
    m_layout->addWidget(wbHelp);
    // The keys of a web browser for going back and forward through the pages read.
    auto *back = new QAction(QStringLiteral("Back"), this);
    back->setObjectName(QStringLiteral("actHelpBack"));
    back->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Back)});
    back->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(back, &QAction::triggered, wbHelp, &QWebEngineView::back);
    auto *forward = new QAction(QStringLiteral("Forward"), this);
    forward->setObjectName(QStringLiteral("actHelpForward"));
    forward->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::Key_Forward)});
    forward->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(forward, &QAction::triggered, wbHelp, &QWebEngineView::forward);
    addAction(back);
    addAction(forward);
    wbHelp->load(indexUrl());
}

} // namespace owb
