#include "editor/controles.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBlock>

BoiteTexte::BoiteTexte(int limite, QWidget *parent) : QPlainTextEdit(parent), m_limite(limite)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &BoiteTexte::surChangement);
}

QString BoiteTexte::texte() const
{
    QString t = document()->toRawText();
    t.replace(QChar::ParagraphSeparator, u'\n');
    t.replace(QChar::LineSeparator, u'\n');
    return t;
}

void BoiteTexte::fixerTexte(const QString &texte)
{
    QString t = texte;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_parProgramme = true;
    if (t != m_precedent)
        setPlainText(t);
    m_precedent = t;
    m_parProgramme = false;
}

void BoiteTexte::surChangement()
{
    if (m_parProgramme)
        return;
    const QString t = texte();
    const qsizetype plafond = qMax<qsizetype>(m_limite, m_precedent.size());
    if (m_limite > 0 && t.size() > plafond) {
        // Take back what was just typed or pasted beyond the limit, just before the cursor.
        QTextCursor c = textCursor();
        const int enTrop = int(t.size() - plafond);
        const int fin = c.position();
        c.setPosition(qMax(0, fin - enTrop));
        c.setPosition(fin, QTextCursor::KeepAnchor);
        m_parProgramme = true;
        c.removeSelectedText();
        m_parProgramme = false;
        setTextCursor(c);
    }
    m_precedent = texte();
}

void BoutonSymbole::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const bool son = text() == QLatin1String("U");
    option.text.clear();
    option.icon = style()->standardIcon(son ? QStyle::SP_MediaVolume : QStyle::SP_FileDialogContentsView);
    option.iconSize = QSize(18, 18);
    p.drawControl(QStyle::CE_PushButton, option);
}
