#pragma once
#include <QObject>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QModelIndex;
class QTreeView;

namespace owb {

class DocumentSession;
class DomTreeModel;

// The tree page's value frame: a click on a node shows its path and value; Accept writes the
// value into the current document; Cancel does nothing.
class TreeValuePanel : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QTreeView *tree;
        DomTreeModel *model;   // the tree's
        QLabel *path;        // lblPath
        QLineEdit *value;    // txtValue
        QPushButton *accept; // "Command1"
        QPushButton *cancel; // "Command2"
    };

    // edited runs after Accept changed the document (the window shows its new text).
    TreeValuePanel(const Widgets &widgets, DocumentSession &session, std::function<void()> edited,
                   QObject *parent = nullptr);

    // Asked before Accept changes anything; false keeps document and text as they are.
    void setRewriteGuard(std::function<bool()> mayRewrite) { m_mayRewrite = std::move(mayRewrite); }

    void nodeClicked(const QModelIndex &index);
    void accept();

private:
    Widgets m_w;
    DocumentSession &m_session;
    std::function<void()> m_edited;
    std::function<bool()> m_mayRewrite;
};

} // namespace owb
