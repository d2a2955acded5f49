#include "exchange/formats.h"

#include <QIODevice>
#include <vector>

namespace echanges {

// ---------------------------------------------------------------------------
// Writing

namespace {

void echapper(QString &sortie, const QString &texte, bool sansMarqueur = true)
{
    // A text that starts like a format marker, "[html]", gets one of its own first: GIFT has no
    // escape for "[" that readers know, and they take the first marker only.
    if (sansMarqueur && texte.startsWith(u'['))
        sortie += QLatin1String("[plain]");
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte[i];
        switch (c.unicode()) {
        case u'\\':
        case u'~':
        case u'=':
        case u'#':
        case u'{':
        case u'}':
        case u':':
            sortie += u'\\';
            sortie += c;
            break;
        case u'\n': sortie += QLatin1String("\\n"); break;
        default: sortie += c;
        }
    }
}

// A theme's name on the line of its category: a line break in it would start a question.
QString ligneCategorie(const QString &nom)
{
    QString n = categorieDeTheme(nom);
    for (QChar &c : n)
        if (c.unicode() < 0x20)
            c = u' ';
    return QStringLiteral("$CATEGORY: ") + n.simplified() + QStringLiteral("\n\n");
}

} // namespace

Resultat ecrireGift(const SourceBanque &src, QIODevice &sortie, Rapport &rapport, const Progression &progression)
{
    // One block per theme used, in the order of the themes; cards of a theme without a name
    // come first, before any category, since a category holds until the next one.
    std::array<std::vector<int>, 10> groupes;
    for (int n = 1; n <= src.nombre(); ++n) {
        const int t = src.theme(n);
        groupes[size_t(t <= 8 && !src.nomTheme(t).isEmpty() ? t + 1 : 0)].push_back(n);
    }
    TamponSortie tampon(sortie);
    BilanExport bilan;
    int fait = 0;
    QString q;
    for (size_t g = 0; g < groupes.size(); ++g) {
        if (groupes[g].empty())
            continue;
        if (g > 0)
            tampon.ajouter(ligneCategorie(src.nomTheme(int(g) - 1)));
        for (int n : groupes[g]) {
            const Carte c = src.carte(n);
            if (c.bonne == 0)
                bilan.sansBonne << n;
            if (c.question.isEmpty())
                bilan.questionVide << n;
            if (std::any_of(c.reponses.begin(), c.reponses.end(), [](const QString &r) { return r.isEmpty(); }))
                bilan.reponseVide << n;
            if (!c.media.isEmpty() && c.codeMedia != 0)
                bilan.medias << n;
            if (c.marque)
                bilan.marques << n;
            if (!c.auteur.isEmpty())
                bilan.initiales << n;
            q.truncate(0);
            q += QLatin1String("::") + numeroQuestion(n) + QLatin1String("::[plain]");
            echapper(q, c.question, false);
            q += QLatin1String("{\n");
            for (int k = 0; k < 3; ++k) {
                q += k + 1 == c.bonne ? QLatin1String("\t=") : QLatin1String("\t~");
                // An answer that starts like a weight ("%50%...") gets its own weight written first.
                if (c.reponses[size_t(k)].startsWith(u'%'))
                    q += k + 1 == c.bonne ? QLatin1String("%100%") : QLatin1String("%0%");
                echapper(q, c.reponses[size_t(k)]);
                q += u'\n';
            }
            if (!c.commentaire.isEmpty()) {
                q += QLatin1String("\t####");
                echapper(q, c.commentaire);
                q += u'\n';
            }
            q += QLatin1String("}\n\n");
            tampon.ajouter(q);
            if (progression && ++fait % 1024 == 0 && !progression(fait, src.nombre()))
                return Resultat::echec(QStringLiteral("Exportation annulée."));
        }
    }
    if (!tampon.vider())
        return echecEcriture(sortie, tampon.erreur());

    bilan.rapporter(rapport, src.nombre());
    return Resultat::succes();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

constexpr char16_t kSpeciaux[] = u"~=#{}:\\";

bool estSpecial(QChar c)
{
    for (char16_t s : kSpeciaux)
        if (s && c == s)
            return true;
    return false;
}

QString deseschapper(QStringView t)
{
    QString r;
    r.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == u'\\' && i + 1 < t.size()) {
            const QChar s = t[i + 1];
            if (estSpecial(s)) {
                r += s;
                ++i;
                continue;
            }
            if (s == u'n') {
                r += u'\n';
                ++i;
                continue;
            }
        }
        r += t[i];
    }
    return r;
}

// The first unescaped occurrence of one of one or two characters from position i, or -1.
qsizetype chercher(QStringView t, qsizetype i, QStringView caracteres)
{
    const QChar a = caracteres[0], b = caracteres.size() > 1 ? caracteres[1] : caracteres[0];
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'\\') {
            ++i;
            continue;
        }
        if (c == a || c == b)
            return i;
    }
    return -1;
}

qsizetype chercherChaine(QStringView t, qsizetype i, QStringView motif)
{
    for (; i + motif.size() <= t.size(); ++i) {
        if (t[i] == u'\\') {
            ++i;
            continue;
        }
        if (t[i] == motif[0] && t.sliced(i).startsWith(motif))
            return i;
    }
    return -1;
}

struct Bloc {
    QString texte;          // its lines joined with '\n' when it had to be copied
    qsizetype debut = 0, fin = 0;  // otherwise, its range in the file's text
    int ligne = 0;          // of its first line
};

struct Reponse {
    bool juste = false;
    double poids = 0;  // %n%, or 100 for "=" without weight
    QString texte;
    QString format;  // the question's, or its own marker's
    bool avecCommentaire = false;
};

// The text of a question part in its format: HTML, which is also what a text without marker
// may hold, reduced to what it shows.
QString texteEnFormat(QStringView brut, const QString &format)
{
    const QString t = deseschapper(brut);
    return nettoyer(format == QLatin1String("html") || format == QLatin1String("moodle") ? texteDeHtml(t) : t);
}

// "[html]", "[moodle]", "[plain]" or "[markdown]" before a text: taken off, its format given.
// A bracket that opens anything else is text.
QStringView sansMarqueur(QStringView t, QString &format)
{
    const QStringView d = t.trimmed();
    if (!d.startsWith(u'['))
        return t;
    for (const char *m : {"html", "moodle", "plain", "markdown"}) {
        const QLatin1StringView nom(m);
        if (d.size() > nom.size() + 1 && d[nom.size() + 1] == u']'
            && d.sliced(1, nom.size()).compare(nom, Qt::CaseInsensitive) == 0) {
            format = nom;
            return d.sliced(nom.size() + 2);
        }
    }
    return t;
}

} // namespace

Lecture lireGift(const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options)
{
    Lecture lecture;
    TexteLu lu = decoderTexte(contenu);
    if (lu.ligneInvalide > 0) {
        lecture.resultat = Resultat::echec(
            lu.utf16 ? QStringLiteral("Le fichier %1 n'est pas de l'UTF-16 valide (ligne %2) : la moitié d'une paire de "
                                      "substitution s'y trouve seule.")
                           .arg(nomFichier)
                           .arg(lu.ligneInvalide)
                     : QStringLiteral("Le fichier %1 n'est pas écrit en UTF-8 (ligne %2) : un fichier GIFT doit l'être.")
                           .arg(nomFichier)
                           .arg(lu.ligneInvalide));
        return lecture;
    }
    QString texte = std::move(lu.texte);
    if (texte.contains(u'\r'))  // CR alone ends lines too
        texte.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');

    // Questions are separated by blank lines outside braces; comment lines are dropped. A block
    // is a range of the text, copied only when a comment line stands inside it.
    QList<Bloc> blocs;
    {
        Bloc courant;
        bool ouvert = false;
        int profondeur = 0, ligneAccolade = 0, ligne = 0;
        const qsizetype n = texte.size();
        for (qsizetype debut = 0; debut <= n;) {
            qsizetype fin = texte.indexOf(u'\n', debut);
            if (fin < 0)
                fin = n;
            ++ligne;
            qsizetype finTexte = fin;
            if (finTexte > debut && texte[finTexte - 1] == u'\r')
                --finTexte;
            const QStringView l = QStringView(texte).sliced(debut, finTexte - debut);
            const QStringView nue = l.trimmed();
            const qsizetype suivante = fin + 1;
            if (nue.startsWith(QLatin1String("//"))) {
                if (ouvert && courant.texte.isNull())
                    courant.texte = QStringView(texte).sliced(courant.debut, courant.fin - courant.debut).toString();
            } else if (nue.isEmpty() && profondeur == 0) {
                if (ouvert)
                    blocs << courant;
                courant = {};
                ouvert = false;
            } else {
                if (!ouvert) {
                    courant = {QString(), debut, finTexte, ligne};
                    ouvert = true;
                } else if (!courant.texte.isNull()) {
                    courant.texte += u'\n';
                    courant.texte += l;
                } else {
                    courant.fin = finTexte;
                }
                for (qsizetype k = 0; k < l.size(); ++k) {
                    if (l[k] == u'\\') {
                        ++k;
                    } else if (l[k] == u'{') {
                        if (profondeur++ == 0)
                            ligneAccolade = ligne;
                    } else if (l[k] == u'}' && profondeur > 0) {
                        --profondeur;
                    }
                }
            }
            debut = suivante;
        }
        if (profondeur > 0) {
            lecture.resultat = Resultat::echec(QStringLiteral("Le fichier %1 est incomplet ou n'est pas un fichier GIFT : "
                                                              "l'accolade « { » de la ligne %2 n'est jamais fermée.")
                                                   .arg(nomFichier)
                                                   .arg(ligneAccolade));
            return lecture;
        }
        if (ouvert)
            blocs << courant;
    }

    QString categorie;
    for (Bloc &b : blocs) {
        QString lieu = QStringLiteral("ligne %1").arg(b.ligne);
        if (lecture.pleine(lieu))
            break;
        auto ignorer = [&](const QString &raison) { lecture.remarques.append({Remarque::Genre::Ignoree, lieu, raison}); };

        QStringView t = (b.texte.isNull() ? QStringView(texte).sliced(b.debut, b.fin - b.debut) : QStringView(b.texte)).trimmed();
        if (t.startsWith(QLatin1String("$CATEGORY:"))) {
            const qsizetype fin = t.indexOf(u'\n');
            categorie = themeDeCategorie(t.sliced(10, (fin < 0 ? t.size() : fin) - 10).toString().trimmed());
            if (fin < 0)
                continue;
            t = t.sliced(fin + 1).trimmed();
            lieu = QStringLiteral("ligne %1").arg(b.ligne + 1);
        }
        // ::title::
        if (t.startsWith(QLatin1String("::"))) {
            const qsizetype fin = chercherChaine(t, 2, u"::");
            if (fin >= 0)
                t = t.sliced(fin + 2).trimmed();
        }
        QString format = QStringLiteral("moodle");
        t = sansMarqueur(t, format);
        const qsizetype ouvre = chercher(t, 0, u"{");
        if (ouvre < 0) {
            ignorer(QStringLiteral("texte sans réponses (description)"));
            continue;
        }
        qsizetype ferme = -1;
        for (qsizetype k = ouvre + 1, profondeur = 1; k < t.size(); ++k) {
            if (t[k] == u'\\') {
                ++k;
            } else if (t[k] == u'{') {
                ++profondeur;
            } else if (t[k] == u'}' && --profondeur == 0) {
                ferme = k;
                break;
            }
        }
        if (ferme < 0) {  // cannot happen after the count above; kept for safety
            ignorer(QStringLiteral("accolade jamais fermée"));
            continue;
        }
        const QStringView avant = t.first(ouvre);
        const QStringView apres = t.sliced(ferme + 1).trimmed();
        QStringView reponses = t.sliced(ouvre + 1, ferme - ouvre - 1).trimmed();

        // General feedback: "####" to the end of the answers.
        QString commentaire;
        if (const qsizetype g = chercherChaine(reponses, 0, u"####"); g >= 0) {
            QString formatCommentaire = format;
            const QStringView brut = sansMarqueur(reponses.sliced(g + 4), formatCommentaire);
            commentaire = texteEnFormat(brut, formatCommentaire);
            reponses = reponses.first(g).trimmed();
        }
        if (reponses.isEmpty()) {
            ignorer(QStringLiteral("question ouverte, sans réponses proposées"));
            continue;
        }
        if (reponses.startsWith(u'#')) {
            ignorer(QStringLiteral("question numérique"));
            continue;
        }
        {
            const qsizetype diese = chercher(reponses, 0, u"#");
            const QStringView mot = reponses.first(diese < 0 ? reponses.size() : diese).trimmed();
            const auto est = [&](const char *m) { return mot.compare(QLatin1String(m), Qt::CaseInsensitive) == 0; };
            if (est("T") || est("F") || est("TRUE") || est("FALSE")) {
                ignorer(QStringLiteral("question vrai/faux"));
                continue;
            }
        }
        // The answers, each from its "=" or "~" to the next.
        QList<Reponse> liste;
        bool sansMarque = false;
        for (qsizetype k = 0; k < reponses.size();) {
            qsizetype debut = chercher(reponses, k, u"=~");
            if (debut < 0)
                break;
            if (debut > k && !reponses.sliced(k, debut - k).trimmed().isEmpty() && liste.isEmpty())
                sansMarque = true;
            // "~=" opens one right answer, not an empty wrong one before it.
            if (reponses[debut] == u'~' && debut + 1 < reponses.size() && reponses[debut + 1] == u'=')
                ++debut;
            const qsizetype fin = chercher(reponses, debut + 1, u"=~");
            const QStringView morceau = reponses.sliced(debut + 1, (fin < 0 ? reponses.size() : fin) - debut - 1);
            Reponse r;
            r.juste = reponses[debut] == u'=';
            r.poids = r.juste ? 100 : 0;
            QStringView corps = morceau.trimmed();
            if (corps.startsWith(u'%')) {
                const qsizetype p = corps.indexOf(u'%', 1);
                if (p > 0) {
                    bool ok = false;
                    const double v = corps.sliced(1, p - 1).toString().toDouble(&ok);
                    if (ok)
                        r.poids = v;
                    corps = corps.sliced(p + 1);
                }
            }
            if (const qsizetype diese = chercher(corps, 0, u"#"); diese >= 0) {
                r.avecCommentaire = !corps.sliced(diese + 1).trimmed().isEmpty();
                corps = corps.first(diese);
            }
            r.format = format;
            r.texte = sansMarqueur(corps, r.format).toString();
            liste << r;
            k = fin < 0 ? reponses.size() : fin;
        }
        if (sansMarque || liste.isEmpty()) {
            ignorer(QStringLiteral("réponses illisibles (ni « = » ni « ~ »)"));
            continue;
        }
        // "->" pairs the answers of a matching question; one wrong answer, "~", makes the question
        // a multiple-choice one whatever its answers hold, as platforms read it.
        bool association = false;
        for (const Reponse &r : liste)
            if (chercherChaine(r.texte, 0, u"->") >= 0)
                association = true;
        if (std::any_of(liste.begin(), liste.end(), [](const Reponse &r) { return !r.juste; }))
            association = false;
        if (association) {
            ignorer(QStringLiteral("question d'association"));
            continue;
        }
        if (std::all_of(liste.begin(), liste.end(), [](const Reponse &r) { return r.juste; })) {
            ignorer(QStringLiteral("question à réponse courte"));
            continue;
        }
        QList<double> fractions;
        for (const Reponse &r : liste)
            fractions << r.poids;
        const ChoixReponses choix = choisirReponses(fractions, options, lieu);
        noterLongue(options, lieu, fractions, [&] { return texteEnFormat(avant, format); },
                    [&](int k) { return texteEnFormat(liste[k].texte, liste[k].format); });
        if (!choix.refus.isEmpty()) {
            ignorer(choix.refus);
            continue;
        }
        Question q;
        q.lieu = lieu;
        q.categorie = categorie;
        QString question = texteEnFormat(avant, format);
        if (!apres.isEmpty())  // a missing word: the gap stands where the answers were
            question = nettoyer(question + QStringLiteral(" _____ ") + texteEnFormat(apres, format));
        q.question = question;
        bool vide = false, commentaires = false;
        for (size_t k = 0; k < 3; ++k) {
            const Reponse &r = liste[choix.gardees[k]];
            q.reponses[k] = texteEnFormat(r.texte, r.format);
            vide = vide || q.reponses[k].isEmpty();
            commentaires = commentaires || r.avecCommentaire;
        }
        q.bonne = choix.bonne;
        if (q.question.isEmpty()) {
            ignorer(QStringLiteral("question sans texte"));
            continue;
        }
        if (vide) {
            ignorer(QStringLiteral("une des réponses est vide"));
            continue;
        }
        q.commentaire = commentaire;
        for (const QString &note : choix.notes)
            lecture.remarques.append({Remarque::Genre::Perte, lieu, note});
        if (commentaires)
            lecture.remarques.append({Remarque::Genre::Perte, lieu,
                                      QStringLiteral("les commentaires propres à chaque réponse ne sont pas gardés")});
        lecture.questions << q;
    }
    return lecture;
}

} // namespace echanges
