#pragma once
#include <QPlainTextEdit>

// A multi-line text box whose typing stops at a number of characters (a line break counts two).
// A text set by the program is shown whole: a stored text is never cut by showing it.
class BoiteTexte : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit BoiteTexte(int limite = 0, QWidget *parent = nullptr);

    QString texte() const;                 // the text exactly as held (no space conversion)
    void fixerTexte(const QString &texte); // set by the program
    int limite() const { return m_limite; }
    // The width of the field the text is stored in: what it would lose there is told.
    void fixerLargeur(int largeur) { m_largeur = largeur; }
    // Why storing the text would change it, in words; "" when it would not.
    QString avertissement() const { return m_avertissement; }

signals:
    void avertissementChange(const QString &texte);

private:
    void surChangement();

    void verifierPerte();

    int m_limite;           // 0 = no limit
    int m_largeur = 0;      // 0 = not checked
    QString m_avertissement;
    QString m_precedent;    // the text before the last change
    bool m_parProgramme = false;
    // The text as the program gave it and as the box then held it: while the box is left
    // alone, the text given comes back as it was, whatever its line breaks.
    QString m_donne, m_montre;
};
