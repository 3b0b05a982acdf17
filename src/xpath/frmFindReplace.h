#pragma once
#include "common/AppContext.h"
#include "xpath/ReplaceRun.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace owb {

class OutcomeReporter;
class ReplaceTarget;
class ServerClient;

// "XML Find & Replace": an XPath to find, a value or an XML fragment to put in, in the shown
// document (one edit of its page, undone by the editor's undo) or in every listed document
// (stored back, with before-images to restore). Find lists the matches and changes nothing.
// Deletes itself when closed.
class frmFindReplace : public QWidget {
    Q_OBJECT
public:
    // The context must hold the HTTP client, the connection registry, the form encoder and
    // the user interaction; target must outlive the window (its opener closes it first).
    frmFindReplace(const AppContext &ctx, ReplaceTarget &target, QWidget *parent = nullptr);
    ~frmFindReplace() override;

    // The opener goes: the window closes and works on nothing any more, also when a run it
    // started is still going.
    void detachTarget();

    // The before-image folder of the last run from here (empty before one).
    QString lastRun() const { return m_lastRun; }

    void find();
    void replaceFirst() { replace(true); }
    void replaceAll() { replace(false); }
    void restore();

private:
    void buildControls();
    void updateStates();
    // The request as the controls give it; the user has been told when it cannot be used.
    std::optional<XPathReplace> request(bool firstOnly);
    void replace(bool firstOnly);
    void inShownDocument(const XPathReplace &replace, bool change);
    void inListedDocuments(const XPathReplace &replace, bool change);
    void addRows(const DocumentOutcome &outcome);
    void report(const QString &text, bool failed = false);
    void nothingFound();
    // Whether there is a document window to work on; says so when not.
    bool attached();
    // Closes the window, or its frame in the main window.
    void closeFrame();

    AppContext m_ctx;
    ReplaceTarget *m_target;   // null once detached
    std::unique_ptr<ServerClient> m_server;
    std::unique_ptr<OutcomeReporter> m_reporter;
    QString m_lastRun;

    QLineEdit *txtFind;
    QPlainTextEdit *txtReplace;
    QRadioButton *optValue;
    QRadioButton *optFragment;
    QRadioButton *optDocument;
    QRadioButton *optAllListed;
    QCheckBox *chkBeforeImage;
    QTreeWidget *lstMatches;
    QLabel *lblResult;
    QPushButton *cmdFind;
    QPushButton *cmdReplaceFirst;
    QPushButton *cmdReplaceAll;
    QPushButton *cmdRestore;
    QPushButton *cmdClose;
};

} // namespace owb
