#pragma once
#include <QSet>
#include <QString>
#include <QStringList>

#include <Qsci/qscilexercustom.h>

namespace owb {

// The "XSL-FO" language of the stylesheet editor: element names are keywords, attribute names
// operators, with comments, strings and tags; matching is case-sensitive.
class XslFoLexer : public QsciLexerCustom {
    Q_OBJECT
public:
    enum Style { Default = 0, Comment, String, Tag, Keyword, Operator };

    // What the text just before the caret ends in, as tag tracking sees it.
    struct Token {
        enum Kind { Other, ScopeOpener, ScopeCloser, KeywordWord };
        Kind kind = Other;
        QString word;   // the opener, the closer or the keyword
    };

    XslFoLexer(const QStringList &elements, const QStringList &attributes, QObject *parent = nullptr);

    const char *language() const override { return "XSL-FO"; }
    QString description(int style) const override;
    const char *wordCharacters() const override;
    bool caseSensitive() const override { return true; }
    QColor defaultColor(int style) const override;
    void styleText(int start, int end) override;

    bool isKeyword(const QString &word) const { return m_keywords.contains(word); }
    bool isOperator(const QString &word) const { return m_operators.contains(word); }
    Token classify(const QString &beforeCaret) const;
    static bool isWordChar(QChar c);

private:
    QSet<QString> m_keywords;
    QSet<QString> m_operators;
};

} // namespace owb
