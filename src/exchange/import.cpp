#include "exchange/formats.h"
#include "store/cp1252.h"
#include "store/disque.h"
#include "store/fichierquestions.h"
#include "store/reecriture.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <cstring>

namespace echanges {

namespace {

constexpr int kMaxFiches = 32767;
const QString kReponses[3] = {QStringLiteral("réponse 1"), QStringLiteral("réponse 2"), QStringLiteral("réponse 3")};

// Characters Windows-1252 cannot hold, each once, in the order met.
QString irrepresentables(const QString &texte, const QByteArray &octets)
{
    if (!octets.contains('?') || octets.count('?') == texte.count(u'?'))
        return {};
    QString l;
    for (qsizetype i = 0; i < texte.size(); ++i) {
        qsizetype n = 1;
        if (texte[i].isHighSurrogate() && i + 1 < texte.size())
            n = 2;
        const QString c = texte.mid(i, n);
        if (c != QLatin1String("?") && cp1252::encode(c) == "?" && !l.contains(c))
            l += c;
        i += n - 1;
    }
    return l;
}

class Stockage {
public:
    Stockage(Rapport &r) : m_rapport(r) {}

    // Stores a text in a field, saying what was cut or replaced. One pass, as texte::stocker
    // would store sautsEnCrLf(valeur): line breaks as CR LF, Windows-1252 bytes into the field
    // while they fit, the rest only counted.
    void texte(char *champ, int largeur, const QString &valeur, const QString &lieu, const QString &quoi)
    {
        const QChar *s = valeur.constData();
        const qsizetype n = valeur.size();
        qsizetype total = 0;
        bool remplace = false;
        auto poser = [&](char o) {
            if (total < largeur)
                champ[total] = o;
            ++total;
        };
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = s[i].unicode();
            if (c == u'\n') {
                poser('\r');
                poser('\n');
                continue;
            }
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                poser(char(c));
                continue;
            }
            if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(s[i], s[i + 1]);
                ++i;
            }
            const int o = cp1252::versOctet(c);
            remplace = remplace || o < 0;
            poser(o < 0 ? '?' : char(o));
        }
        if (remplace) {
            const QString t = sautsEnCrLf(valeur);
            if (const QString mauvais = irrepresentables(t, cp1252::encode(t)); !mauvais.isEmpty())
                m_rapport.ajouter(Remarque::Genre::Remplacee, lieu, QStringLiteral("%1 : « %2 »").arg(quoi, mauvais));
        }
        if (total > largeur)
            m_rapport.ajouter(Remarque::Genre::Coupee, lieu,
                              QStringLiteral("%1 : %2 caractères gardés sur %3").arg(quoi).arg(largeur).arg(total));
        if (total < largeur)
            std::memset(champ + total, ' ', size_t(largeur - total));
    }

private:
    Rapport &m_rapport;
};

QString cleTheme(const QString &nom)
{
    const QByteArray o = cp1252::encode(nom).left(TableThemes::Largeur);
    return texte::sansEspaces(cp1252::decode(o)).toCaseFolded();
}

// A file name of at most 12 characters that Windows-1252 holds and a folder accepts.
QString nomPropre(const QString &nom, int numero)
{
    QString n;
    for (QChar c : nom) {
        const bool interdit = c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)
                              || cp1252::encode(QString(c)) == "?";
        n += interdit ? QChar(u'_') : c;
    }
    while (n.startsWith(u'.'))
        n.remove(0, 1);
    const qsizetype point = n.lastIndexOf(u'.');
    QString base = point < 0 ? n : n.left(point);
    const QString ext = point < 0 ? QString() : n.mid(point);
    if (base.isEmpty())
        base = QStringLiteral("media");
    const QString suffixe = numero > 0 ? QString::number(numero) : QString();
    const qsizetype place = qMax<qsizetype>(1, 12 - ext.size() - suffixe.size());
    return (base.left(place) + suffixe + ext).left(12);
}

// Whether two files hold the same bytes; those a reader shared between questions at once.
bool memes(const QByteArray &a, const QByteArray &b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

struct MediaPrevu {
    QString nom;
    QByteArray octets;
};

class Medias {
public:
    Medias(const QString &dossier, Rapport &r) : m_dossier(dossier), m_rapport(r) {}

    // The name a media file carried by the imported file takes in the media folder: its own
    // (made fit) when free, the same when the folder already holds the same bytes under it,
    // a numbered one otherwise. Nothing on disk is overwritten.
    QString placer(const QString &original, const QByteArray &octets, const QString &lieu)
    {
        for (int numero = 0; numero < 10000; ++numero) {
            const QString nom = nomPropre(original, numero);
            const QString cle = nom.toCaseFolded();
            if (const auto prevu = m_prevus.constFind(cle); prevu != m_prevus.constEnd()) {
                if (memes(m_aEcrire[*prevu].octets, octets)) {
                    noter(original, nom, lieu, numero);
                    return m_aEcrire[*prevu].nom;
                }
                continue;
            }
            // A link, even one that leads nowhere, takes its name: nothing is written through it,
            // nor does a card name it.
            const QString chemin = QDir(m_dossier).filePath(nom);
            const QFileInfo info(chemin);
            if (info.exists() || info.isSymLink() || existeSansCasse(nom)) {
                // A file on disk is read once; a picture many questions show matches it once.
                if (!info.isSymLink() && info.isFile() && info.size() == octets.size()) {
                    auto present = m_presents.find(cle);
                    if (present == m_presents.end()) {
                        QByteArray lu;
                        present = m_presents.insert(cle, disque::lireMedia(m_dossier, nom, lu) ? lu : QByteArray());
                    }
                    if (memes(*present, octets)) {
                        *present = octets;  // the same bytes from now on: the next match is immediate
                        noter(original, nom, lieu, numero);
                        return nom;
                    }
                }
                continue;
            }
            m_prevus.insert(cle, m_aEcrire.size());
            m_aEcrire.append({nom, octets});
            noter(original, nom, lieu, numero);
            return nom;
        }
        m_rapport.ajouter(Remarque::Genre::Media, lieu, QStringLiteral("%1 n'a pas trouvé de nom libre").arg(original));
        return {};
    }

    const QList<MediaPrevu> &aEcrire() const { return m_aEcrire; }

private:
    void noter(const QString &original, const QString &nom, const QString &lieu, int numero)
    {
        if (numero > 0)
            m_rapport.ajouter(Remarque::Genre::Media, lieu,
                              QStringLiteral("%1 enregistré sous %2 : un autre fichier porte déjà ce nom")
                                  .arg(nomLisible(original), nom));
        else if (nom != original)
            m_rapport.ajouter(Remarque::Genre::Media, lieu,
                              QStringLiteral("%1 enregistré sous %2 (12 caractères au plus, sans caractère spécial)")
                                  .arg(nomLisible(original), nom));
    }

    // A name that differs only by case is another file here but the same on some disks.
    bool existeSansCasse(const QString &nom)
    {
        if (!m_listeFaite) {
            for (const QString &n : QDir(m_dossier).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden))
                m_dansDossier.insert(n.toCaseFolded());
            m_listeFaite = true;
        }
        return m_dansDossier.contains(nom.toCaseFolded());
    }

    QString m_dossier;
    Rapport &m_rapport;
    QHash<QString, qsizetype> m_prevus;
    QList<MediaPrevu> m_aEcrire;
    QSet<QString> m_dansDossier;
    QHash<QString, QByteArray> m_presents;  // the bytes of the folder's files read so far
    bool m_listeFaite = false;
};

QByteArray lireTout(const QString &chemin, bool *existe)
{
    QFile f(chemin);
    *existe = f.exists();
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool ecrireFichier(const QString &chemin, const QByteArray &octets, QString &erreur)
{
    QSaveFile f(chemin);
    if (f.open(QIODevice::WriteOnly) && f.write(octets) == octets.size() && f.commit())
        return true;
    erreur = echecEcriture(f, errno, chemin).erreur;
    return false;
}

} // namespace

ResultatImport ajouter(const CheminsBanque &banque, const Lecture &lecture, const Progression &progression)
{
    ResultatImport res;
    Rapport &rapport = res.rapport;
    rapport.remarques = lecture.remarques;
    auto echec = [&](const QString &texte) {
        res.resultat = Resultat::echec(texte);
        return res;
    };

    // The bank as it stands.
    ComptesThemes comptes;
    int nombre = 0;
    if (QFileInfo::exists(banque.banque)) {
        FichierQuestions f;
        if (Resultat r = f.ouvrir(banque.banque, FichierQuestions::Mode::Lecture); !r)
            return echec(r.erreur);
        nombre = f.nombre();
        comptes = f.compterThemes();
    }
    TableThemes table;
    if (Resultat r = lireThemes(banque.themes, table, false); !r)
        return echec(r.erreur);

    // Categories become themes: a name the bank has is reused, a new one takes the first
    // slot that has neither a name nor cards, and past the ninth they all go to the ninth.
    const bool sansCategorie = std::any_of(lecture.questions.begin(), lecture.questions.end(),
                                           [](const Question &q) { return q.categorie.isEmpty(); });
    std::array<bool, 9> libre;
    QHash<QString, int> parNom;
    for (int i = 0; i < 9; ++i) {
        libre[size_t(i)] = table.estBlanc(i) && comptes.parTheme[size_t(i)] == 0 && !(i == 0 && sansCategorie);
        if (!table.estBlanc(i) && !parNom.contains(cleTheme(table.nom(i))))
            parNom.insert(cleTheme(table.nom(i)), i);
    }
    bool themesChanges = false;
    Stockage stockage(rapport);
    QSet<QString> dejaDit;
    auto nouveauTheme = [&](const QString &categorie, const QString &cle) -> int {
        for (int i = 0; i < 9; ++i) {
            if (!libre[size_t(i)])
                continue;
            libre[size_t(i)] = false;
            // Blanks of any kind as single spaces, and none left at the end of a name cut short.
            char nom[TableThemes::Largeur];
            stockage.texte(nom, TableThemes::Largeur, categorie.simplified(), QStringLiteral("thème « %1 »").arg(categorie),
                           QStringLiteral("nom du thème"));
            table.fixerNom(i, texte::sansEspaces(cp1252::decode(nom, TableThemes::Largeur)));
            themesChanges = true;
            parNom.insert(cle, i);
            dejaDit.insert(cle);
            rapport.ajouter(Remarque::Genre::Theme, {}, QStringLiteral("« %1 » : nouveau thème %2").arg(categorie).arg(i + 1));
            return i;
        }
        parNom.insert(cle, 8);
        dejaDit.insert(cle);
        rapport.ajouter(Remarque::Genre::Theme, {},
                        QStringLiteral("« %1 » : plus de place parmi les neuf thèmes, ses questions vont au thème 9 « %2 »")
                            .arg(categorie, texte::sansEspaces(table.nom(8))));
        return 8;
    };
    QHash<QString, int> parCategorie;  // the slot of each category met, as the file writes it
    auto themePour = [&](const Question &q) -> int {
        if (q.categorie.isEmpty())
            return 0;
        if (const auto dejaVue = parCategorie.constFind(q.categorie); dejaVue != parCategorie.constEnd())
            return *dejaVue;
        const QString cle = cleTheme(q.categorie);
        int slot = 0;
        if (const auto it = parNom.constFind(cle); it != parNom.constEnd()) {
            slot = *it;
            if (!dejaDit.contains(cle)) {
                dejaDit.insert(cle);
                rapport.ajouter(Remarque::Genre::Theme, {},
                                QStringLiteral("« %1 » : thème %2 de la banque").arg(q.categorie).arg(slot + 1));
            }
        } else {
            slot = nouveauTheme(q.categorie, cle);
        }
        parCategorie.insert(q.categorie, slot);
        return slot;
    };

    Medias medias(banque.medias, rapport);
    QByteArray enregistrements;
    enregistrements.reserve(qsizetype(qMin<qsizetype>(lecture.questions.size(), kMaxFiches)) * FicheQuestion::Taille);
    int ajoutees = 0, sansTheme = 0;
    char octets[FicheQuestion::Taille];
    for (qsizetype k = 0; k < lecture.questions.size(); ++k) {
        const Question &q = lecture.questions[k];
        if (nombre + ajoutees >= kMaxFiches) {
            rapport.ajouter(Remarque::Genre::Ignoree, q.lieu,
                            QStringLiteral("la banque est pleine (%1 fiches au plus)").arg(kMaxFiches));
            continue;
        }
        FicheQuestion f;
        stockage.texte(f.Question, sizeof f.Question, q.question, q.lieu, QStringLiteral("question"));
        for (int r = 0; r < 3; ++r)
            stockage.texte(f.Reponse[r], sizeof f.Reponse[r], q.reponses[size_t(r)], q.lieu, kReponses[r]);
        stockage.texte(f.Commentaire, sizeof f.Commentaire, q.commentaire, q.lieu, QStringLiteral("commentaire"));
        stockage.texte(f.Auteur, sizeof f.Auteur, q.auteur, q.lieu, QStringLiteral("initiales"));
        for (int r = 0; r < 3; ++r)
            f.BonneReponse[r] = q.bonne == r + 1 ? -1 : 0;
        f.Marque = q.marque ? 1 : 0;
        f.NumTheme = quint8(themePour(q));
        if (q.categorie.isEmpty())
            ++sansTheme;
        QString nomMedia = q.media;
        if (!nomMedia.isEmpty() && q.mediaEmbarque)
            nomMedia = medias.placer(q.media, q.octetsMedia, q.lieu);
        else if (!nomMedia.isEmpty() && !QFileInfo(QDir(banque.medias).filePath(nomMedia)).isFile())
            rapport.ajouter(Remarque::Genre::Media, q.lieu,
                            QStringLiteral("%1 n'est pas dans le dossier des médias %2 : copiez-l'y")
                                .arg(nomMedia, QDir::toNativeSeparators(banque.medias)));
        if (!nomMedia.isEmpty()) {
            stockage.texte(f.FichierMedia, sizeof f.FichierMedia, nomMedia, q.lieu, QStringLiteral("nom du média"));
            f.TailleImage = qint16(q.codeMedia);
        } else {
            texte::stocker(f.FichierMedia, QString());
        }
        f.versOctets(octets);
        enregistrements.append(octets, FicheQuestion::Taille);
        ++ajoutees;
        if (progression && k % 1024 == 1023 && !progression(int(k + 1), int(lecture.questions.size())))
            return echec(QStringLiteral("Importation annulée : la banque n'a pas changé."));
    }
    if (sansTheme > 0 && ajoutees > 0)
        rapport.ajouter(Remarque::Genre::Theme, {},
                        QStringLiteral("%1 question(s) sans catégorie : thème 1%2")
                            .arg(sansTheme)
                            .arg(table.estBlanc(0) ? QString() : QStringLiteral(" « %1 »").arg(texte::sansEspaces(table.nom(0)))));

    const int ignorees = int(rapport.lignes(Remarque::Genre::Ignoree).size());
    rapport.fiches = ajoutees;
    res.premiere = nombre + 1;
    rapport.resume << (ajoutees == 0 ? QStringLiteral("Aucune question importée : la banque n'a pas changé.")
                       : ajoutees == 1 ? QStringLiteral("1 question importée : fiche %1.").arg(nombre + 1)
                                       : QStringLiteral("%1 questions importées : fiches %2 à %3.")
                                             .arg(ajoutees)
                                             .arg(nombre + 1)
                                             .arg(nombre + ajoutees));
    if (ignorees > 0)
        rapport.resume << QStringLiteral("%1 question(s) non importée(s) : voir ci-dessous.").arg(ignorees);
    if (ajoutees == 0)
        return res;

    // Written in this order, each whole or not at all: the media files (new names only), the
    // theme file, then the bank. A failure undoes what was written before it.
    QStringList ecrits;
    const QFileInfo dossier(banque.medias);
    const bool dossierCree = !medias.aEcrire().isEmpty() && !dossier.exists() && !dossier.isSymLink();
    auto defaire = [&] {
        for (const QString &c : ecrits)
            QFile::remove(c);
        if (dossierCree)  // a bank left as it was has no new empty folder beside it
            QDir().rmdir(banque.medias);
    };
    if (!medias.aEcrire().isEmpty() && !QDir().mkpath(banque.medias))
        return echec(QStringLiteral("Impossible de créer le dossier des médias %1.").arg(QDir::toNativeSeparators(banque.medias)));
    for (const MediaPrevu &m : medias.aEcrire()) {
        const QString chemin = QDir(banque.medias).filePath(m.nom);
        QString erreur;
        if (!ecrireFichier(chemin, m.octets, erreur)) {
            defaire();
            return echec(erreur + QStringLiteral(" La banque n'a pas changé."));
        }
        ecrits << chemin;
    }
    bool themesExistaient = false;
    const QByteArray anciensThemes = lireTout(banque.themes, &themesExistaient);
    if (themesChanges) {
        if (Resultat r = ecrireThemes(banque.themes, table); !r) {
            defaire();
            return echec(r.erreur + QStringLiteral(". La banque n'a pas changé."));
        }
    }
    if (Resultat r = ajouterFiches(banque.banque, banque.banque + QStringLiteral(".import"), enregistrements); !r) {
        defaire();
        if (themesChanges) {
            QString ignore;
            if (themesExistaient)
                ecrireFichier(banque.themes, anciensThemes, ignore);
            else
                QFile::remove(banque.themes);
        }
        return echec(r.erreur + QStringLiteral(". La banque n'a pas changé."));
    }
    return res;
}

} // namespace echanges
