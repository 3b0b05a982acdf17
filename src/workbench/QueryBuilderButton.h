#pragma once
#include "common/AppContext.h"
#include "xpath/frmXPathQryBuilder.h"

#include <QObject>
#include <QPointer>

class QLineEdit;
class QPushButton;

namespace owb {

class DocumentSession;

// The query builder button ("Command3"): opens the query builder over the document shown, starting from the query box's
// filter. The builder makes root[filter]; the query box takes the filter alone, so Accept hands
// over what stands between the brackets and refuses, saying why, what the box cannot express.
class QueryBuilderButton : public QObject {
    Q_OBJECT
public:
    QueryBuilderButton(QPushButton *button, QLineEdit *queryBox, DocumentSession &session,
                       const AppContext &ctx, QObject *parent = nullptr);

    // Without a document shown, says in the status line that one must be selected first.
    void open();
    // The builder opened from here, while it is open.
    frmXPathQryBuilder *builder() const { return m_builder; }
    void closeBuilder();

private:
    QLineEdit *m_queryBox;
    DocumentSession &m_session;
    AppContext m_ctx;
    QPointer<frmXPathQryBuilder> m_builder;
};

} // namespace owb
