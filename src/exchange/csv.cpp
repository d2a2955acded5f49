#include "exchange/formats.h"

#include <QHash>
#include <QIODevice>

namespace echanges {

namespace {

const char *const kEnTete[] = {"Numéro",  "Question",    "Réponse 1",   "Réponse 2", "Réponse 3",
                               "Bonne réponse", "Commentaire", "N° de thème", "Thème",     "Marque",
                               "Initiales", "Média", "Code média"};

// A cell a spreadsheet would run as a formula.
bool commeFormule(const QString &valeur)
{
    return !valeur.isEmpty() && QStringView(u"=+-@\t\r").contains(valeur.front());
}

} // namespace

void champCsv(QString &ligne, const QString &texte, QChar separateur)
{
    // A quote first makes it text; the import takes it off again.
    const QString valeur = commeFormule(texte) ? u'\'' + texte : texte;
    bool guillemets = valeur.startsWith(u' ') || valeur.endsWith(u' ');
    for (QChar c : valeur)
        if (c == separateur || c == u'"' || c == u'\n' || c == u'\r') {
            guillemets = true;
            break;
        }
    if (!guillemets) {
        ligne += valeur;
        return;
    }
    ligne += u'"';
    for (QChar c : valeur) {
        if (c == u'"')
            ligne += QLatin1String("\"\"");
        else if (c == u'\n')
            ligne += QLatin1String("\r\n");
        else
            ligne += c;
    }
    ligne += u'"';
}

QStringList champsCsv(QStringView ligne, QChar separateur)
{
    if (!ligne.contains(u'"'))
        return ligne.toString().split(separateur);
    QStringList l;
    QString champ;
    bool cite = false;
    for (qsizetype i = 0; i < ligne.size(); ++i) {
        const QChar c = ligne[i];
        if (cite) {
            if (c == u'"' && i + 1 < ligne.size() && ligne[i + 1] == u'"')
                champ += c, ++i;
            else if (c == u'"')
                cite = false;
            else
                champ += c;
        } else if (c == u'"' && champ.isEmpty()) {
            cite = true;
        } else if (c == separateur) {
            l << champ;
            champ.clear();
        } else {
            champ += c;
        }
    }
    l << champ;
    return l;
}

Resultat ecrireCsv(const SourceBanque &src, QIODevice &sortie, QChar separateur, Rapport &rapport,
                   const Progression &progression)
{
    TamponSortie tampon(sortie);
    tampon.ajouterOctets("\xEF\xBB\xBF");
    QString ligne;
    for (const char *t : kEnTete) {
        if (!ligne.isEmpty())
            ligne += separateur;
        ligne += QString::fromUtf8(t);
    }
    tampon.ajouter(ligne + QLatin1String("\r\n"));
    QList<int> sansBonne, formules;
    for (int n = 1; n <= src.nombre(); ++n) {
        const Carte c = src.carte(n);
        const int theme = src.theme(n);
        if (c.bonne == 0)
            sansBonne << n;
        ligne.truncate(0);
        const QString champs[] = {QString::number(n),
                                  c.question,
                                  c.reponses[0],
                                  c.reponses[1],
                                  c.reponses[2],
                                  c.bonne ? QString::number(c.bonne) : QString(),
                                  c.commentaire,
                                  QString::number(theme + 1),
                                  c.categorie,
                                  c.marque ? QStringLiteral("1") : QStringLiteral("0"),
                                  c.auteur,
                                  c.media,
                                  c.media.isEmpty() ? QString() : QString::number(c.codeMedia)};
        bool formule = false;
        for (size_t k = 0; k < std::size(champs); ++k) {
            if (k)
                ligne += separateur;
            champCsv(ligne, champs[k], separateur);
            formule = formule || commeFormule(champs[k]);
        }
        if (formule)
            formules << n;
        ligne += QLatin1String("\r\n");
        tampon.ajouter(ligne);
        if (progression && n % 1024 == 0 && !progression(n, src.nombre()))
            return Resultat::echec(QStringLiteral("Exportation annulée."));
    }
    if (!tampon.vider())
        return echecEcriture(sortie, tampon.erreur());
    rapport.fiches = src.nombre();
    rapport.resume << QStringLiteral("%1 fiche(s) exportée(s).").arg(src.nombre());
    if (!sansBonne.isEmpty())
        rapport.ajouter(Remarque::Genre::Note, {},
                        QStringLiteral("%1 fiche(s) sans bonne réponse : %2").arg(sansBonne.size()).arg(listeNumeros(sansBonne)));
    if (!formules.isEmpty())
        rapport.ajouter(Remarque::Genre::Note, {},
                        QStringLiteral("%1 fiche(s) ont un texte qui commence par =, +, -, @, une tabulation ou un retour "
                                       "chariot : une apostrophe le précède, pour qu'un tableur ne l'exécute pas comme une "
                                       "formule : %2")
                            .arg(formules.size())
                            .arg(listeNumeros(formules)));
    rapport.ajouter(Remarque::Genre::Note, {},
                    QStringLiteral("Les fichiers des images et des sons ne sont pas dans le CSV : seuls leurs noms y sont."));
    return Resultat::succes();
}

namespace {

// "N° de thème" -> "ndetheme": lower case, accents and everything but letters and digits dropped.
QString cle(const QString &nom)
{
    QString k;
    for (QChar c : nom.normalized(QString::NormalizationForm_D).toLower())
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            k += c;
    return k;
}

// The quote the export puts before a cell that looks like a formula, taken off.
QString sansApostrophe(const QString &cellule)
{
    return cellule.startsWith(u'\'') && commeFormule(cellule.mid(1)) ? cellule.mid(1) : cellule;
}

enum Colonne { Question_, Rep1, Rep2, Rep3, Bonne, Commentaire, NomTheme, Marque, Initiales, Media, CodeMedia, NbColonnes };

int colonne(const QString &k)
{
    static const QHash<QString, int> noms = {
        {QStringLiteral("question"), Question_},   {QStringLiteral("reponse1"), Rep1},
        {QStringLiteral("reponse2"), Rep2},        {QStringLiteral("reponse3"), Rep3},
        {QStringLiteral("bonnereponse"), Bonne},   {QStringLiteral("commentaire"), Commentaire},
        {QStringLiteral("theme"), NomTheme},       {QStringLiteral("marque"), Marque},
        {QStringLiteral("initiales"), Initiales},  {QStringLiteral("auteur"), Initiales},
        {QStringLiteral("media"), Media},          {QStringLiteral("codemedia"), CodeMedia}};
    return noms.value(k, -1);
}

struct Enregistrement {
    QStringList champs;
    int ligne = 0;
    qsizetype enTrop = 0;  // fields past kChampsMax
};

constexpr qsizetype kChampsMax = 256;

} // namespace

Lecture lireCsv(const QByteArray &contenu, const QString &nomFichier, QChar separateur)
{
    Lecture lecture;
    auto echec = [&](const QString &texte) {
        lecture.resultat = Resultat::echec(texte);
        return lecture;
    };
    TexteLu lu = decoderTexte(contenu);
    if (lu.ligneInvalide > 0)
        return echec(lu.utf16 ? QStringLiteral("Le fichier %1 n'est pas de l'UTF-16 valide (ligne %2) : la moitié d'une paire "
                                               "de substitution s'y trouve seule.")
                                    .arg(nomFichier)
                                    .arg(lu.ligneInvalide)
                              : QStringLiteral("Le fichier %1 n'est pas écrit en UTF-8 (ligne %2) : enregistrez-le au format "
                                               "« CSV UTF-8 ».")
                                    .arg(nomFichier)
                                    .arg(lu.ligneInvalide));
    const QString texte = std::move(lu.texte);

    if (separateur.isNull()) {
        // The header's separator: the one of ";" and "," found more often outside quotes.
        int pv = 0, virgules = 0;
        bool entre = false;
        for (QChar c : texte) {
            if (c == u'"')
                entre = !entre;
            else if (!entre && (c == u'\n' || c == u'\r'))
                break;
            else if (!entre && c == u';')
                ++pv;
            else if (!entre && c == u',')
                ++virgules;
        }
        separateur = virgules > pv ? u',' : u';';
    }

    // RFC 4180 records: quoted fields may hold separators, quotes doubled and line breaks.
    QList<Enregistrement> enregistrements;
    {
        Enregistrement e{{}, 1};
        int ligne = 1;
        const QChar *d = texte.constData();
        const qsizetype n = texte.size();
        for (qsizetype i = 0;;) {
            QString champ;
            if (i < n && d[i] == u'"') {
                const int ligneGuillemet = ligne;
                qsizetype j = i + 1, debut = j;
                for (;; ++j) {
                    if (j >= n)
                        return echec(QStringLiteral("Le fichier %1 est incomplet : le guillemet ouvert ligne %2 n'est "
                                                    "jamais fermé.")
                                         .arg(nomFichier)
                                         .arg(ligneGuillemet));
                    if (d[j] == u'\n')
                        ++ligne;
                    if (d[j] != u'"')
                        continue;
                    champ += QStringView(d + debut, j + 1 - debut);  // up to and with the quote
                    if (j + 1 < n && d[j + 1] == u'"') {
                        debut = ++j + 1;  // a doubled quote stands for one
                        continue;
                    }
                    champ.chop(1);
                    break;
                }
                i = j + 1;
            }
            qsizetype j = i;  // unquoted, or what follows a closing quote
            while (j < n && d[j] != separateur && d[j] != u'\r' && d[j] != u'\n')
                ++j;
            champ += QStringView(d + i, j - i);
            // Columns past the last one read are counted, not kept: a line of separators alone
            // would otherwise cost a string each.
            if (e.champs.size() < kChampsMax)
                e.champs << champ;
            else
                ++e.enTrop;
            if (j < n && d[j] == separateur) {
                i = j + 1;
                continue;
            }
            if (j + 1 < n && d[j] == u'\r' && d[j + 1] == u'\n')
                ++j;
            if (e.champs.size() > 1 || e.enTrop > 0 || !e.champs.first().isEmpty() || j < n)
                enregistrements << e;
            if (j + 1 >= n)
                break;
            e = {{}, ++ligne};
            i = j + 1;
        }
        // A last line without its line break, or an empty line at the end, adds no record.
        if (!enregistrements.isEmpty() && enregistrements.last().champs.size() == 1
            && enregistrements.last().champs.first().isEmpty())
            enregistrements.removeLast();
    }
    if (enregistrements.isEmpty())
        return echec(QStringLiteral("Le fichier %1 est vide.").arg(nomFichier));

    std::array<int, NbColonnes> place;
    place.fill(-1);
    const QStringList &entete = enregistrements.first().champs;
    for (qsizetype k = 0; k < entete.size(); ++k) {
        const int c = colonne(cle(entete[k]));
        if (c >= 0 && place[size_t(c)] < 0)
            place[size_t(c)] = int(k);
    }
    QStringList manquantes;
    for (int c : {Question_, Rep1, Rep2, Rep3, Bonne})
        if (place[size_t(c)] < 0)
            manquantes << QString::fromUtf8(kEnTete[c + 1]);
    if (!manquantes.isEmpty())
        return echec(QStringLiteral("Le fichier %1 n'a pas l'en-tête attendu (ligne 1) : il y manque les colonnes %2.")
                         .arg(nomFichier, manquantes.join(QStringLiteral(", "))));

    for (qsizetype r = 1; r < enregistrements.size(); ++r) {
        const Enregistrement &e = enregistrements[r];
        if (std::all_of(e.champs.begin(), e.champs.end(), [](const QString &s) { return s.trimmed().isEmpty(); }))
            continue;
        const QString lieu = QStringLiteral("ligne %1").arg(e.ligne);
        if (lecture.pleine(lieu))
            break;
        auto valeur = [&](int c) { return place[size_t(c)] < 0 ? QString() : nettoyer(sansApostrophe(e.champs.value(place[size_t(c)]))); };
        auto ignorer = [&](const QString &raison) { lecture.remarques.append({Remarque::Genre::Ignoree, lieu, raison}); };

        Question q;
        q.lieu = lieu;
        q.question = valeur(Question_);
        q.reponses = {valeur(Rep1), valeur(Rep2), valeur(Rep3)};
        const QString bonne = valeur(Bonne);
        if (q.question.isEmpty()) {
            ignorer(QStringLiteral("question sans texte"));
            continue;
        }
        const int vides = int(std::count_if(q.reponses.begin(), q.reponses.end(), [](const QString &s) { return s.isEmpty(); }));
        if (vides > 0) {
            ignorer(QStringLiteral("%1 réponse(s) au lieu de 3").arg(3 - vides));
            continue;
        }
        if (bonne.isEmpty() || bonne == QLatin1String("0")) {
            ignorer(QStringLiteral("aucune bonne réponse"));
            continue;
        }
        if (bonne != QLatin1String("1") && bonne != QLatin1String("2") && bonne != QLatin1String("3")) {
            ignorer(QStringLiteral("bonne réponse « %1 » : 1, 2 ou 3 attendu").arg(bonne));
            continue;
        }
        q.bonne = bonne.toInt();
        q.commentaire = valeur(Commentaire);
        q.categorie = valeur(NomTheme);
        const QString marque = valeur(Marque).toLower();
        q.marque = !marque.isEmpty() && marque != QLatin1String("0") && marque != QLatin1String("non")
                   && marque != QLatin1String("faux") && marque != QLatin1String("false");
        q.auteur = place[Initiales] < 0 ? QString() : sansApostrophe(e.champs.value(place[Initiales])).trimmed();
        const QString media = valeur(Media);
        if (!media.isEmpty()) {
            const QString codeTexte = valeur(CodeMedia);
            bool ok = true;
            const int code = codeTexte.isEmpty() ? codePourFichier(media) : codeTexte.toInt(&ok);
            const bool valide = ok && ((code >= 1 && code <= 4) || (code >= 10 && code <= 13));
            if (!valide)
                lecture.remarques.append({Remarque::Genre::Media, lieu,
                                          QStringLiteral("%1 n'est pas attaché : code de média « %2 » inconnu")
                                              .arg(media, codeTexte)});
            else if (media.size() > 12 || media.contains(u'/') || media.contains(u'\\'))
                lecture.remarques.append({Remarque::Genre::Media, lieu,
                                          QStringLiteral("%1 n'est pas attaché : un nom de média a au plus 12 caractères, "
                                                         "sans dossier")
                                              .arg(media)});
            else {
                q.media = media;
                q.codeMedia = code;
            }
        }
        lecture.questions << q;
    }
    return lecture;
}

} // namespace echanges
