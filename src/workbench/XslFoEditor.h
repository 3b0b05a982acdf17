#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QsciScintilla;

namespace owb {

class clsCodeInsight;
class clsFileHandler;
class ILogMessage;
class XslFoLexer;

// Editor assistance for XSL-FO on an existing stylesheet editor: the "XSL-FO" colouring and
// completion of element and attribute names while a tag is typed. Owned by the editor.
class XslFoEditor : public QObject {
    Q_OBJECT
public:
    static constexpr int kListId = 1;

    XslFoEditor(QsciScintilla *editor, ILogMessage *log);
    ~XslFoEditor() override;

    // Reads elements.dat, attributes.dat and CodeInsight.dat from folder. What cannot be read
    // is logged with its file (and line), saying what the editor goes without; the result
    // says that in one line for the status bar, empty when all was read.
    QString load(const clsFileHandler &files, const QString &folder);
    // Selects the "XSL-FO" language built from the two word lists.
    void setLanguage(const QStringList &elements, const QStringList &attributes);
    // Completion is offered only with a table; null switches it off.
    void setCodeInsight(std::unique_ptr<clsCodeInsight> table);

    bool TagOpen() const { return m_tagOpen; }
    bool PrefixOnly() const { return m_prefixOnly; }
    QString CurrentTagName() const { return m_currentTagName; }
    XslFoLexer *lexer() const { return m_lexer; }
    bool hasCodeInsight() const { return m_table != nullptr; }
    static QString TipText() { return QStringLiteral("Type anything you want"); }

private:
    void onTextChanged();
    void onCharAdded(int ch);
    void onListChosen(int id, const QString &text);
    void trackTag();
    void showCompletion();
    int caretPos() const;
    QString lineBeforeCaret() const;
    void log(const QString &line);

    QPointer<QsciScintilla> m_editor;
    ILogMessage *m_log;
    XslFoLexer *m_lexer = nullptr;     // owned by the editor once set
    std::unique_ptr<clsCodeInsight> m_table;
    bool m_tagOpen = false;
    bool m_prefixOnly = false;
    QString m_currentTagName;
    bool m_trackPending = false;
    int m_listPos = -1;                // caret position when the list opened
    QString m_listName;                // the name the open list was filled for
};

} // namespace owb
