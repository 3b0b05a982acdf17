#include "workbench/TreeValuePanel.h"

#include "common/OstrelError.h"
#include "workbench/DocumentSession.h"
#include "xml/NodeEdit.h"
#include "xml/DomTreeModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace owb {

namespace {
// The caption lblPath has until a node is clicked.
const QString kNoPath = QStringLiteral("Path: ");
}

TreeValuePanel::TreeValuePanel(const Widgets &widgets, DocumentSession &session, std::function<void()> edited,
                               QObject *parent)
    : QObject(parent), m_w(widgets), m_session(session), m_edited(std::move(edited))
{
    connect(m_w.tree, &QTreeView::clicked, this, [this](const QModelIndex &index) { nodeClicked(index); });
    connect(m_w.accept, &QPushButton::clicked, this, &TreeValuePanel::accept);
}

void TreeValuePanel::nodeClicked(const QModelIndex &index)
{
    if (!index.isValid() || !m_session.hasCurrentElement())
        return;
    const QString path = m_w.model->NodeXPath(index);
    if (path.isEmpty())
        return;
    m_session.reporter().run(
        [&] {
            const QString value = nodeValueAt(m_session.CurrentElement(), path);
            m_w.path->setText(path);
            m_w.value->setText(value);
        },
        [](const OstrelError &e) { return Outcome().withLog(e.description()); });
}

void TreeValuePanel::accept()
{
    if (!m_session.hasCurrentElement() || m_w.path->text() == kNoPath)
        return;
    m_session.reporter().run(
        [&] {
            QString target = m_w.path->text();
            target.remove(QStringLiteral("/text()"));
            // A path that selects nothing writes nothing: nothing to ask about either.
            if (target.isEmpty() || m_session.CurrentElement().selectSingleNode(target).isNull())
                return;
            if (m_mayRewrite && !m_mayRewrite())
                return;
            if (setNodeValueAt(m_session.CurrentElement(), m_w.path->text(), m_w.value->text()))
                m_edited();
        },
        [](const OstrelError &e) { return Outcome().withLog(e.description()).withStatus(e.description()); });
}

} // namespace owb
