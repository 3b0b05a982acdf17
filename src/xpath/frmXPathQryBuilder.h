#pragma once
#include "xml/DomDocument.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QModelIndex;
class QTreeView;

namespace owb {

class DomTreeModel;
class FunctionList;
class UserInteraction;

// Builds root[filter] from the tree of a sample document: node clicks add paths, "and"/"or"
// go in at the caret, functions wrap the selection. Deletes itself when closed.
class frmXPathQryBuilder : public QWidget {
    Q_OBJECT
public:
    explicit frmXPathQryBuilder(UserInteraction &ui, QWidget *parent = nullptr);
    ~frmXPathQryBuilder() override;

    // The sample document's element: shown as the tree, and its name is the root of every
    // expression built here.
    void setXMLDocument(const DomNode &element);
    // Receives the expression on Accept through its user property (a line edit's text).
    void setTextControl(QObject *control);

    QString rootName() const { return m_root; }
    QString expression() const;
    // The expression to start from.
    void setExpression(const QString &text);
    // Asked on Accept with the box's whole text: empty lets it through; any other text says
    // why it cannot be taken, and the window stays open with the expression as it is.
    using AcceptCheck = std::function<QString(const QString &)>;
    void setAcceptCheck(AcceptCheck check) { m_acceptCheck = std::move(check); }

    // The function list's entries and the axis names, in the order shown.
    static const QStringList &functionEntries();
    static const QStringList &axisNames();

signals:
    // Also emitted without a text control, with the box's whole text.
    void accepted(const QString &expression);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void nodeClicked(const QModelIndex &index);
    void insertOperator(const QString &op);
    void functionChosen(int index);
    void accept();
    void closeWindow();

    UserInteraction &m_ui;
    DomNode m_element;
    QString m_root;
    QPointer<QObject> m_textControl;
    AcceptCheck m_acceptCheck;
    DomTreeModel *m_tree;   // owned by tvDocument

    QTreeView *tvDocument;
    QLineEdit *txtExpression;
    QPushButton *Command1;
    QPushButton *Command2;
    FunctionList *cboXPathFunc;
    QComboBox *cboAxis;
    QPushButton *Command8;
    QPushButton *Command9;
};

} // namespace owb
