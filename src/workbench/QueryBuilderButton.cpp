#include "workbench/QueryBuilderButton.h"

#include "common/MainWindowApi.h"
#include "log/Outcome.h"
#include "workbench/DocumentSession.h"
#include "xpath/QueryFilter.h"
#include "xpath/frmXPathQryBuilder.h"

#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

namespace owb {

QueryBuilderButton::QueryBuilderButton(QPushButton *button, QLineEdit *queryBox,
                                       DocumentSession &session, const AppContext &ctx,
                                       QObject *parent)
    : QObject(parent), m_queryBox(queryBox), m_session(session), m_ctx(ctx)
{
    connect(button, &QPushButton::clicked, this, &QueryBuilderButton::open);
}

void QueryBuilderButton::open()
{
    // One builder per document window: a second press brings it forward.
    if (m_builder) {
        if (m_ctx.mainWindow)
            m_ctx.mainWindow->activateChild(m_builder);
        return;
    }
    if (!m_ctx.ui)
        return;
    if (!m_session.hasCurrentElement()) {
        m_session.reporter().report(Outcome().withStatus(
            QStringLiteral("A document must be selected first to start the XPath Query Builder")));
        return;
    }
    m_builder = new frmXPathQryBuilder(*m_ctx.ui);
    m_builder->setXMLDocument(m_session.CurrentElement());
    const QString root = m_builder->rootName();
    m_builder->setExpression(QueryFilter::expressionFor(root, m_queryBox->text()));
    m_builder->setAcceptCheck([root](const QString &expression) {
        return QueryFilter::filterFor(root, expression).reason;
    });
    QPointer<QLineEdit> box = m_queryBox;
    connect(m_builder, &frmXPathQryBuilder::accepted, this, [box, root](const QString &expression) {
        if (box)
            box->setText(QueryFilter::filterFor(root, expression).filter);
    });
    if (m_ctx.mainWindow)
        m_ctx.mainWindow->showChild(m_builder);
    else
        m_builder->show();
}

void QueryBuilderButton::closeBuilder()
{
    if (!m_builder)
        return;
    if (auto *frame = qobject_cast<QMdiSubWindow *>(m_builder->parentWidget()))
        frame->close();
    else
        m_builder->close();
}

} // namespace owb
