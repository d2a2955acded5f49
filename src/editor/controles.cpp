#include "editor/controles.h"

#include <QPainter>
#include <QTextBlock>

BoiteTexte::BoiteTexte(int limite, QWidget *parent) : QPlainTextEdit(parent), m_limite(limite)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &BoiteTexte::surChangement);
}

QString BoiteTexte::texte() const
{
    // Line breaks are kept as CR LF, as the banks made on Windows hold them. A text left as
    // given keeps its own (a lone LF from another program would grow by a byte each).
    QString t = document()->toRawText();
    if (t == m_montre)
        return m_donne;
    t.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    t.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return t;
}

void BoiteTexte::fixerTexte(const QString &texte)
{
    m_parProgramme = true;
    if (texte != m_precedent) {
        QString t = texte;
        m_montre.clear();
        setPlainText(t.replace(QLatin1String("\r\n"), QLatin1String("\n")));
        m_donne = texte;
        m_montre = document()->toRawText();
    }
    m_precedent = this->texte();
    m_parProgramme = false;
}

void BoiteTexte::surChangement()
{
    if (m_parProgramme)
        return;
    const QString t = texte();
    const qsizetype plafond = qMax<qsizetype>(m_limite, m_precedent.size());
    if (m_limite > 0 && t.size() > plafond) {
        // Take back what was just typed or pasted beyond the limit, just before the cursor
        // (a line break counts as the two characters it is stored as).
        QTextCursor c = textCursor();
        m_parProgramme = true;
        while (texte().size() > plafond && c.position() > 0)
            c.deletePreviousChar();
        m_parProgramme = false;
        setTextCursor(c);
    }
    m_precedent = texte();
}
