#pragma once
#include <QRegularExpression>
#include <QWidget>
#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace owb {

struct FindQuery {
    QString text;
    bool regExp = false;
    bool matchCase = false;
    bool wholeWord = false;
};

// The expression a query stands for: the text taken literally unless it is a regular expression.
QRegularExpression findExpression(const FindQuery &query);

// One kind of text the find bar can search. A search starts after the selection (forward) or
// before it (backward), wraps around the ends, and selects and shows the hit.
class FindTarget {
public:
    virtual ~FindTarget() = default;
    virtual bool find(const FindQuery &query, bool forward) = 0;
    virtual QWidget *textWidget() const = 0;
};

class PlainTextFind : public FindTarget {
public:
    explicit PlainTextFind(QPlainTextEdit *edit) : m_edit(edit) {}
    bool find(const FindQuery &query, bool forward) override;
    QWidget *textWidget() const override;

private:
    QPlainTextEdit *m_edit;
};

// The bar below a text: what to look for, how, and where the last search ended. Hidden until
// Ctrl+F; a miss is said in the bar itself so typing goes on undisturbed.
class FindBar : public QWidget {
    Q_OBJECT
public:
    // target gives the text searched now (a window with several texts answers the current
    // one), or null when none can be searched.
    explicit FindBar(std::function<FindTarget *()> target, QWidget *parent = nullptr);

    // Ctrl+F, F3 and Shift+F3 for the texts of window, answering only while the focus is in it.
    void attachKeys(QWidget *window);

    FindQuery query() const;
    QString status() const;

public slots:
    void open();
    bool findNext();
    bool findPrevious();
    void close();

signals:
    void shownChanged(bool shown);

private:
    bool search(bool forward);
    void showStatus(const QString &text);
    QAction *addKey(QWidget *owner, const char *name, const QKeySequence &key);

    std::function<FindTarget *()> m_target;
    QLineEdit *m_text;
    QCheckBox *m_regExp;
    QCheckBox *m_case;
    QCheckBox *m_word;
    QLabel *m_status;
};

} // namespace owb
