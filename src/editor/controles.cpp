#include "editor/controles.h"

#include "store/fichequestion.h"

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
    verifierPerte();
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
    verifierPerte();
}

// A character the bank cannot hold is underlined as it is typed, and named in the tooltip and
// the help line; so is the end of a text that will be cut.
void BoiteTexte::verifierPerte()
{
    if (m_largeur <= 0)
        return;
    const QString t = texte();
    const texte::Perte p = texte::perte(t, m_largeur);
    QStringList mots;
    if (!p.horsPage.isEmpty()) {
        QStringList caracteres;
        for (qsizetype i = 0; i < p.horsPage.size(); ++i)
            caracteres << (p.horsPage.at(i).isHighSurrogate() ? p.horsPage.mid(i++, 2) : p.horsPage.mid(i, 1));
        mots << QStringLiteral("La banque ne peut pas garder %1 : %2 deviendra « ? » à l'enregistrement.")
                    .arg(caracteres.size() == 1 ? QStringLiteral("ce caractère") : QStringLiteral("ces caractères"),
                         caracteres.join(u' '));
    }
    if (p.coupes > 0)
        mots << QStringLiteral("Le texte dépasse de %1 caractère%2 les %3 que la fiche garde : la fin sera coupée.")
                    .arg(p.coupes)
                    .arg(p.coupes > 1 ? QStringLiteral("s") : QString())
                    .arg(m_largeur);
    const QString avertissement = mots.join(u' ');

    QList<QTextEdit::ExtraSelection> marques;
    if (!p.vide()) {
        QTextCharFormat format;
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        format.setUnderlineColor(Qt::red);
        const QString brut = document()->toRawText();
        for (qsizetype i = 0; i < brut.size(); ++i) {
            const bool double_ = brut.at(i).isHighSurrogate() && i + 1 < brut.size();
            const QString c = brut.mid(i, double_ ? 2 : 1);
            if (!p.horsPage.isEmpty() && p.horsPage.contains(c)) {
                QTextCursor curseur(document());
                curseur.setPosition(int(i));
                curseur.setPosition(int(i + c.size()), QTextCursor::KeepAnchor);
                marques.append({curseur, format});
            }
            if (double_)
                ++i;
        }
    }
    setExtraSelections(marques);
    if (avertissement == m_avertissement)
        return;
    m_avertissement = avertissement;
    setToolTip(avertissement);
    emit avertissementChange(avertissement);
}
