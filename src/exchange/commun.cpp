#include "exchange/formats.h"
#include "store/disque.h"
#include "store/fichierquestions.h"
#include "store/nommedia.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>

namespace echanges {

// ---------------------------------------------------------------------------
// Formats

QString nomFormat(Format f)
{
    switch (f) {
    case Format::Gift: return QStringLiteral("GIFT");
    case Format::MoodleXml: return QStringLiteral("Moodle XML");
    case Format::Qti: return QStringLiteral("IMS QTI 2.1");
    case Format::Csv: return QStringLiteral("CSV");
    }
    return {};
}

QString cleFormat(Format f)
{
    switch (f) {
    case Format::Gift: return QStringLiteral("gift");
    case Format::MoodleXml: return QStringLiteral("moodle-xml");
    case Format::Qti: return QStringLiteral("qti");
    case Format::Csv: return QStringLiteral("csv");
    }
    return {};
}

std::optional<Format> formatDepuisCle(const QString &cle)
{
    for (Format f : {Format::Gift, Format::MoodleXml, Format::Qti, Format::Csv})
        if (cle.compare(cleFormat(f), Qt::CaseInsensitive) == 0)
            return f;
    return std::nullopt;
}

QString extension(Format f)
{
    switch (f) {
    case Format::Gift: return QStringLiteral("gift");
    case Format::MoodleXml: return QStringLiteral("xml");
    case Format::Qti: return QStringLiteral("zip");
    case Format::Csv: return QStringLiteral("csv");
    }
    return {};
}

CheminsBanque CheminsBanque::pres(const QString &cheminBanque)
{
    const QFileInfo info(cheminBanque);
    const QDir dossier = info.dir();
    const QString nom = info.fileName();
    return {cheminBanque, dossier.filePath(nomFichierThemes(nom)),
            dossier.filePath(nom.left(qMax<qsizetype>(0, nom.size() - 4)))};
}

QString CheminsBanque::nom() const { return QFileInfo(banque).fileName(); }

std::optional<Format> deviner(const QByteArray &contenu, const QString &nomFichier)
{
    QByteArrayView v(contenu);
    if ((v.startsWith("\xFF\xFE") || v.startsWith("\xFE\xFF")) && !v.sliced(2, qMin<qsizetype>(2, v.size() - 2)).contains('<')) {
        const TexteLu t = decoderTexte(contenu.left(4096 & ~1));
        return deviner(t.texte.toUtf8(), nomFichier);
    }
    if (v.startsWith("PK\x03\x04") || v.startsWith("PK\x05\x06"))
        return Format::Qti;
    if (v.startsWith("\xEF\xBB\xBF"))
        v = v.sliced(3);
    qsizetype i = 0;
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t' || v[i] == '\r' || v[i] == '\n'))
        ++i;
    if (i < v.size() && v[i] == '<')
        return Format::MoodleXml;
    const qsizetype finLigne = v.indexOf('\n');
    const QByteArray premiere = v.first(finLigne < 0 ? v.size() : finLigne).toByteArray().toLower();
    if (premiere.contains("question") && (premiere.contains(';') || premiere.contains(',')) && !premiere.contains('{'))
        return Format::Csv;
    if (v.indexOf('{') >= 0 && v.indexOf('}') >= 0)
        return Format::Gift;
    const QString ext = QFileInfo(nomFichier).suffix().toLower();
    if (ext == QLatin1String("gift") || ext == QLatin1String("txt"))
        return Format::Gift;
    if (ext == QLatin1String("xml"))
        return Format::MoodleXml;
    if (ext == QLatin1String("zip"))
        return Format::Qti;
    if (ext == QLatin1String("csv"))
        return Format::Csv;
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Reports

QStringList Rapport::lignes(Remarque::Genre genre) const
{
    QStringList l;
    for (const Remarque &r : remarques)
        if (r.genre == genre)
            l << r.ligne();
    return l;
}

QString Rapport::texte() const
{
    QString t = titre + u'\n';
    for (const QString &l : resume)
        t += l + u'\n';
    const std::pair<Remarque::Genre, const char *> sections[] = {
        {Remarque::Genre::Ignoree, "Questions non importées"},
        {Remarque::Genre::Coupee, "Textes coupés à la largeur de leur champ"},
        {Remarque::Genre::Remplacee, "Caractères remplacés par « ? »"},
        {Remarque::Genre::Theme, "Thèmes"},
        {Remarque::Genre::Media, "Images et sons"},
        {Remarque::Genre::Perte, "Ce que le format ne garde pas"},
        {Remarque::Genre::Note, "Remarques"},
    };
    for (const auto &[genre, titreSection] : sections) {
        const QStringList l = lignes(genre);
        if (l.isEmpty())
            continue;
        t += u'\n' + QString::fromUtf8(titreSection) + QStringLiteral(" (%1) :\n").arg(l.size());
        for (const QString &x : l)
            t += QStringLiteral("  ") + x + u'\n';
    }
    return t;
}

bool Lecture::pleine(const QString &lieu)
{
    constexpr int kMax = 32767;
    if (questions.size() < kMax)
        return false;
    remarques.append({Remarque::Genre::Note, lieu,
                      QStringLiteral("lecture arrêtée : %1 questions lues, autant qu'une banque peut en tenir ; la suite "
                                     "du fichier n'est pas lue")
                          .arg(kMax)});
    return true;
}

namespace {

// "3", "3 et 4", "3, 4 et 5": answer numbers from places.
QString numerosReponses(const QList<int> &places)
{
    QStringList l;
    for (int p : places)
        l << QString::number(p + 1);
    const QString dernier = l.takeLast();
    return l.isEmpty() ? dernier : l.join(QLatin1String(", ")) + QStringLiteral(" et ") + dernier;
}

} // namespace

ChoixReponses choisirReponses(const QList<double> &fractions, const OptionsImport &options, const QString &lieu)
{
    ChoixReponses c;
    const int n = int(fractions.size());
    QList<int> justes, pleines;
    for (int k = 0; k < n; ++k) {
        if (fractions[k] > 0)
            justes << k;
        if (fractions[k] >= 100)
            pleines << k;
    }
    if (n < 3 || (n > 3 && !options.troisReponses)) {
        c.refus = QStringLiteral("%1 réponses au lieu de 3").arg(n);
        return c;
    }
    // One answer gives the whole grade: it is the right one, those that give a part are wrong.
    int bonne = -1;
    if (justes.size() == 1)
        bonne = justes.first();
    else if (pleines.size() == 1)
        bonne = pleines.first();
    if (justes.isEmpty())
        c.refus = QStringLiteral("aucune bonne réponse");
    else if (bonne < 0)
        c.refus = QStringLiteral("%1 bonnes réponses au lieu d'une").arg(justes.size());
    if (!c.refus.isEmpty())
        return c;
    QList<int> mauvaises;
    for (int k = 0; k < n; ++k)
        if (k != bonne)
            mauvaises << k;
    if (n > 3) {
        const auto choisies = options.mauvaises.constFind(lieu);
        const bool valables = choisies != options.mauvaises.constEnd() && (*choisies)[0] != (*choisies)[1]
                              && std::all_of(choisies->begin(), choisies->end(),
                                             [&](int k) { return k >= 0 && k < n && k != bonne; });
        QList<int> gardees = valables ? QList<int>{(*choisies)[0], (*choisies)[1]} : mauvaises.first(2);
        gardees << bonne;
        std::sort(gardees.begin(), gardees.end());
        QList<int> laissees;
        for (int k : mauvaises)
            if (!gardees.contains(k))
                laissees << k;
        c.notes << (laissees.size() == 1 ? QStringLiteral("réduite : réponse %1 laissée")
                                         : QStringLiteral("réduite : réponses %1 laissées"))
                       .arg(numerosReponses(laissees));
        std::copy(gardees.begin(), gardees.end(), c.gardees.begin());
    }
    c.bonne = int(std::find(c.gardees.begin(), c.gardees.end(), bonne) - c.gardees.begin()) + 1;
    QStringList partielles;
    for (int k : justes)
        if (k != bonne)
            partielles << QStringLiteral("réponse %1 (%2 %)").arg(k + 1).arg(QLocale(QLocale::French).toString(fractions[k]));
    if (!partielles.isEmpty())
        c.notes << QStringLiteral("crédit partiel mis de côté, compté faux : %1").arg(partielles.join(QLatin1String(", ")));
    return c;
}

void noterLongue(const OptionsImport &options, const QString &lieu, const QList<double> &fractions,
                 const std::function<QString()> &question, const std::function<QString(int)> &texte)
{
    if (!options.longues || fractions.size() <= 3)
        return;
    QuestionLongue l;
    l.lieu = lieu;
    l.question = question();
    for (int k = 0; k < fractions.size(); ++k) {
        l.reponses << texte(k);
        if (fractions[k] >= 100)
            l.bonne = l.bonne < 0 ? k : -2;
    }
    if (l.bonne < 0)
        l.bonne = -1;
    options.longues->append(l);
}

QString refusMedia(const QString &nom, const Carte &carte)
{
    if (codePourFichier(nom) == 0)
        return QStringLiteral("%1 n'est pas gardé : l'éditeur montre les images BMP et JPEG et les sons MID, WAV et MP3")
            .arg(nomLisible(nom));
    if (!carte.media.isEmpty())
        return QStringLiteral("%1 n'est pas gardé : une fiche n'a qu'une image ou qu'un son").arg(nomLisible(nom));
    return {};
}

void BilanExport::rapporter(Rapport &r, int fiches) const
{
    r.fiches = fiches;
    r.resume << QStringLiteral("%1 fiche(s) exportée(s).").arg(fiches);
    const std::pair<const QList<int> *, const char *> pertes[] = {
        {&medias, "leur image ou leur son"}, {&themes, "leur thème"}, {&marques, "leur marque"},
        {&initiales, "les initiales de leur auteur"}, {&videos, "leur vidéo"},
        {&tailles, "la taille d'affichage de leur image"}};
    for (const auto &[liste, quoi] : pertes)
        if (!liste->isEmpty())
            r.ajouter(Remarque::Genre::Perte, {},
                      QStringLiteral("%1 fiche(s) perdent %2 : %3").arg(liste->size()).arg(QString::fromUtf8(quoi), listeNumeros(*liste)));
    if (!introuvables.isEmpty())
        r.ajouter(Remarque::Genre::Media, {},
                  QStringLiteral("%1 fiche(s) dont l'image ou le son manque au dossier des médias, exportées sans : %2")
                      .arg(introuvables.size())
                      .arg(listeNumeros(introuvables)));
    const std::pair<const QList<int> *, const char *> notes[] = {
        {&sansBonne, "sans bonne réponse, exportées sans réponse juste"},
        {&questionVide, "sans texte de question"},
        {&reponseVide, "avec une réponse vide, qu'une plateforme peut ignorer"}};
    for (const auto &[liste, quoi] : notes)
        if (!liste->isEmpty())
            r.ajouter(Remarque::Genre::Note, {},
                      QStringLiteral("%1 fiche(s) %2 : %3").arg(liste->size()).arg(QString::fromUtf8(quoi), listeNumeros(*liste)));
}

// ---------------------------------------------------------------------------
// The bank as an export reads it

Resultat SourceBanque::ouvrir(const CheminsBanque &chemins)
{
    m_nomBanque = chemins.nom();
    m_dossierMedias = chemins.medias;
    m_fichier.setFileName(chemins.banque);
    if (!m_fichier.open(QIODevice::ReadOnly))
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2")
                                   .arg(QDir::toNativeSeparators(chemins.banque), m_fichier.errorString()));
    m_longueur = m_fichier.size();
    m_donnees = nullptr;
    if (m_longueur > 0) {
        if (uchar *p = m_fichier.map(0, m_longueur)) {
            m_donnees = reinterpret_cast<const char *>(p);
        } else {
            m_copie = m_fichier.readAll();
            if (m_copie.size() != m_longueur)
                return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2")
                                           .arg(QDir::toNativeSeparators(chemins.banque), m_fichier.errorString()));
            m_donnees = m_copie.constData();
        }
    }
    m_nombre = nombreDeFiches(m_longueur);

    TableThemes table;
    if (Resultat r = lireThemes(chemins.themes, table, false); !r)
        return r;
    for (int i = 0; i < 9; ++i)
        m_themes[size_t(i)] = table.estBlanc(i) ? QString() : texte::sansEspaces(texte::brut(table.NomTheme[i], TableThemes::Largeur));
    return Resultat::succes();
}

void SourceBanque::depuisOctets(const QByteArray &enregistrements, const TableThemes &themes,
                                const QString &dossierMedias)
{
    m_copie = enregistrements;
    m_donnees = m_copie.constData();
    m_longueur = m_copie.size();
    m_nombre = nombreDeFiches(m_longueur);
    m_dossierMedias = dossierMedias;
    for (int i = 0; i < 9; ++i)
        m_themes[size_t(i)] = themes.estBlanc(i) ? QString() : texte::sansEspaces(texte::brut(themes.NomTheme[i], TableThemes::Largeur));
}

FicheQuestion SourceBanque::fiche(int numero) const
{
    if (numero < 1 || numero > m_nombre)
        return {};
    const qint64 debut = qint64(numero - 1) * FicheQuestion::Taille;
    return FicheQuestion::depuisOctets(m_donnees + debut, qMin<qint64>(FicheQuestion::Taille, m_longueur - debut));
}

int SourceBanque::theme(int numero) const
{
    const qint64 position = qint64(numero - 1) * FicheQuestion::Taille + offsets::NumTheme;
    return numero >= 1 && position < m_longueur ? quint8(m_donnees[position]) : 0;
}

QString SourceBanque::nomTheme(int index) const
{
    return index >= 0 && index < 9 ? m_themes[size_t(index)] : QString();
}

Carte SourceBanque::carte(int numero) const
{
    const FicheQuestion f = fiche(numero);
    Carte c;
    c.question = texteDeChamp(f.Question, sizeof f.Question);
    for (int k = 0; k < 3; ++k)
        c.reponses[size_t(k)] = texteDeChamp(f.Reponse[k], sizeof f.Reponse[k]);
    c.bonne = bonneReponse(f);
    c.commentaire = texteDeChamp(f.Commentaire, sizeof f.Commentaire);
    c.categorie = nomTheme(f.NumTheme);
    c.marque = f.Marque != 0;
    c.auteur = texte::affiche(f.Auteur);
    c.media = texte::affiche(f.FichierMedia);
    c.codeMedia = c.media.isEmpty() ? 0 : f.TailleImage;
    return c;
}

bool SourceBanque::lireMedia(const QString &nom, QByteArray &octets) const
{
    return disque::lireMedia(m_dossierMedias, nom, octets);
}

// ---------------------------------------------------------------------------
// Texts

QString texteDeChamp(const char *champ, int largeur)
{
    QString t = texte::affiche(champ, largeur);
    if (t.contains(u'\r')) {
        t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        t.replace(u'\r', u'\n');
    }
    return t;
}

QString sautsEnCrLf(const QString &texte)
{
    if (!texte.contains(u'\n'))
        return texte;
    QString t = texte;
    return t.replace(u'\n', QLatin1String("\r\n"));
}

int bonneReponse(const FicheQuestion &f)
{
    int bonne = 0;
    for (int k = 0; k < 3; ++k)
        if (f.BonneReponse[k] != 0)
            bonne = k + 1;
    return bonne;
}

QString numeroQuestion(int numero) { return QStringLiteral("Q%1").arg(numero, 4, 10, QLatin1Char('0')); }

QString titreQuestion(int numero, const QString &question)
{
    QString titre = numeroQuestion(numero);
    const qsizetype n = question.size();
    for (qsizetype i = 0; i < n;) {
        while (i < n && (question[i] == u' ' || question[i] == u'\n'))
            ++i;
        qsizetype fin = i;
        while (fin < n && question[fin] != u' ' && question[fin] != u'\n')
            ++fin;
        if (fin == i || titre.size() + 1 + (fin - i) > 60)
            break;
        titre += u' ';
        titre += QStringView(question).sliced(i, fin - i);
        i = fin;
    }
    return titre;
}

int codePourFichier(const QString &nom)
{
    const QString ext = QFileInfo(nom).suffix().toLower();
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg") || ext == QLatin1String("bmp"))
        return media::Image;
    if (ext == QLatin1String("mid") || ext == QLatin1String("midi"))
        return media::Mid;
    if (ext == QLatin1String("wav"))
        return media::Wav;
    if (ext == QLatin1String("mp3"))
        return media::Mp3;
    return 0;
}

QString typeMime(const QString &nom)
{
    const QString ext = QFileInfo(nom).suffix().toLower();
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return QStringLiteral("image/jpeg");
    if (ext == QLatin1String("bmp"))
        return QStringLiteral("image/bmp");
    if (ext == QLatin1String("png"))
        return QStringLiteral("image/png");
    if (ext == QLatin1String("gif"))
        return QStringLiteral("image/gif");
    if (ext == QLatin1String("mid") || ext == QLatin1String("midi"))
        return QStringLiteral("audio/midi");
    if (ext == QLatin1String("wav"))
        return QStringLiteral("audio/wav");
    if (ext == QLatin1String("mp3"))
        return QStringLiteral("audio/mpeg");
    if (ext == QLatin1String("avi"))
        return QStringLiteral("video/x-msvideo");
    return QStringLiteral("application/octet-stream");
}

QString themeDeCategorie(const QString &chemin)
{
    // Levels are split on single slashes; "//" stands for a slash inside a name.
    QStringList niveaux{QString()};
    for (qsizetype i = 0; i < chemin.size(); ++i) {
        if (chemin[i] == u'/') {
            if (i + 1 < chemin.size() && chemin[i + 1] == u'/') {
                niveaux.last() += u'/';
                ++i;
            } else {
                niveaux << QString();
            }
        } else {
            niveaux.last() += chemin[i];
        }
    }
    for (QString &n : niveaux)
        n = n.trimmed();
    // "$course$/top/Name": the context and the top level are the platform's, not a theme.
    if (niveaux.size() > 1 && niveaux.first().size() >= 2 && niveaux.first().startsWith(u'$')
        && niveaux.first().endsWith(u'$'))
        niveaux.removeFirst();
    if (niveaux.size() > 1 && niveaux.first() == QLatin1String("top"))
        niveaux.removeFirst();
    while (niveaux.size() > 1 && niveaux.last().isEmpty())
        niveaux.removeLast();
    const QString nom = niveaux.last();
    return nom == QLatin1String("top") ? QString() : nom;
}

QString categorieDeTheme(const QString &nom)
{
    QString n = nom;
    return n.replace(u'/', QLatin1String("//"));
}

QString nettoyer(const QString &texte)
{
    bool propre = true;
    for (QChar c : texte)
        if (c.unicode() < 0x20 ? c != u'\n' && c != u'\t' : c.unicode() == 0xA0) {
            propre = false;
            break;
        }
    if (propre)
        return texte.trimmed();
    QString t;
    t.reserve(texte.size());
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const char16_t c = texte[i].unicode();
        if (c == u'\r') {
            t += u'\n';
            if (i + 1 < texte.size() && texte[i + 1] == u'\n')
                ++i;
        } else if (c == 0xA0) {
            t += u' ';
        } else if (c >= 0x20 || c == u'\n' || c == u'\t') {
            t += texte[i];
        }
    }
    return t.trimmed();
}

QString pourXml(const QString &texte)
{
    const auto interdit = [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\n' && c != u'\t' && c != u'\r') || c.unicode() >= 0xFFFE;
    };
    if (std::none_of(texte.begin(), texte.end(), interdit))
        return texte;
    QString t;
    for (QChar c : texte)
        if (!interdit(c))
            t += c;
    return t;
}

// ---------------------------------------------------------------------------
// HTML

void TexteVisible::texte(QStringView t)
{
    // Written in place: at most one character a character, and the blank pending from before.
    qsizetype k = m_texte.size();
    m_texte.resize(k + t.size() + 1);
    QChar *d = m_texte.data();
    for (QChar c : t) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            if (k > 0 && d[k - 1] != u'\n')
                m_blancEnAttente = true;
        } else {
            if (m_blancEnAttente)
                d[k++] = u' ';
            m_blancEnAttente = false;
            d[k++] = c;
        }
    }
    m_texte.resize(k);
}

void TexteVisible::dur(QStringView t)
{
    if (m_blancEnAttente)
        m_texte += u' ';
    m_blancEnAttente = false;
    for (QChar c : t)
        m_texte += c.unicode() == 0xA0 ? QChar(u' ') : c;
}

void TexteVisible::saut()
{
    m_blancEnAttente = false;
    m_texte += u'\n';
}

void TexteVisible::bloc()
{
    m_blancEnAttente = false;
    if (!m_texte.isEmpty() && !m_texte.endsWith(u'\n'))
        m_texte += u'\n';
}

QString TexteVisible::resultat() const
{
    QString t = m_texte;
    while (t.endsWith(u'\n'))
        t.chop(1);
    return t;
}

namespace {

const QHash<QString, char16_t> &entites()
{
    static const QHash<QString, char16_t> table = [] {
        QHash<QString, char16_t> t;
        // Latin-1, from 160 to 255 in order.
        const char *latin1[] = {
            "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect", "uml", "copy", "ordf", "laquo",
            "not", "shy", "reg", "macr", "deg", "plusmn", "sup2", "sup3", "acute", "micro", "para", "middot",
            "cedil", "sup1", "ordm", "raquo", "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",
            "Atilde", "Auml", "Aring", "AElig", "Ccedil", "Egrave", "Eacute", "Ecirc", "Euml", "Igrave", "Iacute",
            "Icirc", "Iuml", "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc", "Otilde", "Ouml", "times", "Oslash",
            "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN", "szlig", "agrave", "aacute", "acirc", "atilde",
            "auml", "aring", "aelig", "ccedil", "egrave", "eacute", "ecirc", "euml", "igrave", "iacute", "icirc",
            "iuml", "eth", "ntilde", "ograve", "oacute", "ocirc", "otilde", "ouml", "divide", "oslash", "ugrave",
            "uacute", "ucirc", "uuml", "yacute", "thorn", "yuml"};
        for (int i = 0; i < 96; ++i)
            t.insert(QString::fromLatin1(latin1[i]), char16_t(160 + i));
        const std::pair<const char *, char16_t> autres[] = {
            {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}, {"euro", 0x20AC},
            {"hellip", 0x2026}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019},
            {"sbquo", 0x201A}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"oelig", 0x0153},
            {"OElig", 0x0152}, {"Scaron", 0x0160}, {"scaron", 0x0161}, {"Yuml", 0x0178}, {"bull", 0x2022},
            {"trade", 0x2122}, {"dagger", 0x2020}, {"Dagger", 0x2021}, {"permil", 0x2030}, {"lsaquo", 0x2039},
            {"rsaquo", 0x203A}, {"circ", 0x02C6}, {"tilde", 0x02DC}, {"fnof", 0x0192}, {"thinsp", 0x2009},
            {"ensp", 0x2002}, {"emsp", 0x2003}};
        for (const auto &[nom, c] : autres)
            t.insert(QString::fromLatin1(nom), c);
        return t;
    }();
    return table;
}

bool entite(const QString &html, qsizetype i, qsizetype pv, QString &texte, qsizetype &fin);

// The character of "&...;" starting at i, and where it ends; nothing for a lone "&".
bool entite(const QString &html, qsizetype i, QString &texte, qsizetype &fin)
{
    // Looked for among the next few characters only: a text of lone "&" stays linear.
    const qsizetype pv = QStringView(html).sliced(i + 1, qMin<qsizetype>(12, html.size() - i - 1)).indexOf(u';');
    if (pv < 0)
        return false;
    return entite(html, i, i + 1 + pv, texte, fin);
}

bool entite(const QString &html, qsizetype i, qsizetype pv, QString &texte, qsizetype &fin)
{
    const QString nom = html.mid(i + 1, pv - i - 1);
    char32_t c = 0;
    if (nom.startsWith(u'#')) {
        bool ok = false;
        const uint v = nom.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? nom.mid(2).toUInt(&ok, 16)
                                                                                : nom.mid(1).toUInt(&ok, 10);
        if (!ok || v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
            return false;
        c = v;
    } else {
        const auto it = entites().constFind(nom);
        if (it == entites().constEnd())
            return false;
        c = *it;
    }
    texte = QString::fromUcs4(&c, 1);
    fin = pv + 1;
    return true;
}

template <typename Nom> bool estBloc(Nom nom)
{
    static const char *const blocs[] = {"p", "div", "li", "ul", "ol", "h1", "h2", "h3", "h4", "h5", "h6", "tr",
                                        "table", "blockquote", "pre", "dd", "dt", "dl", "section", "article",
                                        "header", "footer", "figure", "figcaption", "hr"};
    for (const char *b : blocs)
        if (nom == QLatin1String(b))
            return true;
    return false;
}

} // namespace

QString texteDeHtml(const QString &html)
{
    TexteVisible sortie;
    const qsizetype n = html.size();
    qsizetype i = 0, debutTexte = 0;
    auto viderTexte = [&](qsizetype jusque) {
        if (jusque > debutTexte)
            sortie.texte(QStringView(html).sliced(debutTexte, jusque - debutTexte));
    };
    while (i < n) {
        const QChar c = html[i];
        if (c == u'&') {
            QString t;
            qsizetype fin = 0;
            if (entite(html, i, t, fin)) {
                viderTexte(i);
                sortie.dur(t);
                i = debutTexte = fin;
                continue;
            }
            ++i;
            continue;
        }
        if (c != u'<' || i + 1 >= n || !(html[i + 1].isLetter() || html[i + 1] == u'/' || html[i + 1] == u'!')) {
            ++i;
            continue;
        }
        viderTexte(i);
        if (html.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype fin = html.indexOf(QLatin1String("-->"), i + 4);
            i = debutTexte = fin < 0 ? n : fin + 3;
            continue;
        }
        // The tag's end, skipping quoted attribute values.
        qsizetype j = i + 1;
        QChar guillemet;
        for (; j < n; ++j) {
            if (!guillemet.isNull()) {
                if (html[j] == guillemet)
                    guillemet = QChar();
            } else if (html[j] == u'"' || html[j] == u'\'') {
                guillemet = html[j];
            } else if (html[j] == u'>') {
                break;
            }
        }
        const bool fermante = html[i + 1] == u'/';
        qsizetype k = i + (fermante ? 2 : 1);
        const qsizetype debutNom = k;
        while (k < n && (html[k].isLetterOrNumber()))
            ++k;
        // Most names are short and ASCII: lowered in place, without a string.
        char bas[16];
        bool ascii = k - debutNom < qsizetype(sizeof bas);
        for (qsizetype m = debutNom; ascii && m < k; ++m) {
            const char16_t u = html[m].unicode();
            ascii = u < 0x80;
            bas[m - debutNom] = char(u >= u'A' && u <= u'Z' ? u + 32 : u);
        }
        const QString nom = ascii ? QString() : html.mid(debutNom, k - debutNom).toLower();
        const QLatin1StringView nomBas(bas, ascii ? k - debutNom : 0);
        auto est = [&](QLatin1StringView x) { return ascii ? nomBas == x : nom == x; };
        i = debutTexte = j < n ? j + 1 : n;
        if (est(QLatin1StringView("br"))) {
            sortie.saut();
        } else if (ascii ? estBloc(nomBas) : estBloc(nom)) {
            sortie.bloc();
        } else if (!fermante && (est(QLatin1StringView("script")) || est(QLatin1StringView("style")))) {
            const qsizetype fin = html.indexOf(QStringLiteral("</") + QString(nomBas), i, Qt::CaseInsensitive);
            const qsizetype finBalise = fin < 0 ? -1 : html.indexOf(u'>', fin);
            i = debutTexte = finBalise < 0 ? n : finBalise + 1;
        }
    }
    viderTexte(n);
    return sortie.resultat();
}

QString htmlDeTexte(const QString &texte)
{
    QString h;
    h.reserve(texte.size() + texte.size() / 8);
    const qsizetype n = texte.size();
    qsizetype simple = 0;  // the start of a run of characters written as they are
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = texte[i];
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != u'&' && u != u'<' && u != u'>' && u != u'"' && u != u' ')
            continue;
        // A browser collapses a blank next to another, a line's end or the text's ends: only a
        // lone blank between two words stays as it is.
        if (u == u' ' && i > 0 && texte[i - 1] != u' ' && texte[i - 1] != u'\n' && i + 1 < n && texte[i + 1] != u' '
            && texte[i + 1] != u'\n')
            continue;
        h += QStringView(texte).sliced(simple, i - simple);
        simple = i + 1;
        switch (u) {
        case u'&': h += QLatin1String("&amp;"); break;
        case u'<': h += QLatin1String("&lt;"); break;
        case u'>': h += QLatin1String("&gt;"); break;
        case u'"': h += QLatin1String("&quot;"); break;
        case u'\n': h += QLatin1String("<br>"); break;
        case u'\t': h += QLatin1String("&#9;"); break;
        case u' ': h += QLatin1String("&nbsp;"); break;
        default: break;  // other control characters are dropped
        }
    }
    h += QStringView(texte).sliced(simple);
    return h;
}

// ---------------------------------------------------------------------------
// Dispatch

Lecture lire(Format format, const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options)
{
    switch (format) {
    case Format::Gift: return lireGift(contenu, nomFichier, options);
    case Format::MoodleXml: return lireMoodle(contenu, nomFichier, options);
    case Format::Qti: return lireQti(contenu, nomFichier, options);
    case Format::Csv: return lireCsv(contenu, nomFichier);
    }
    return {};
}

Resultat ecrire(const SourceBanque &src, QIODevice &sortie, const OptionsExport &o, Rapport &rapport,
                const Progression &progression)
{
    switch (o.format) {
    case Format::Gift: return ecrireGift(src, sortie, rapport, progression);
    case Format::MoodleXml: return ecrireMoodle(src, sortie, o.melanger, rapport, progression);
    case Format::Qti: return ecrireQti(src, sortie, o.melanger, rapport, progression);
    case Format::Csv: return ecrireCsv(src, sortie, o.separateur, rapport, progression);
    }
    return Resultat::succes();
}

Resultat exporter(const CheminsBanque &banque, const QString &fichier, const OptionsExport &options,
                  Rapport &rapport, const Progression &progression)
{
    SourceBanque src;
    if (Resultat r = src.ouvrir(banque); !r)
        return r;
    // The bank, its themes, and the temporary files and journal a write of either puts beside
    // it, by the names given and by those their links lead to: a rewrite would delete the export.
    QStringList fichiersBanque;
    for (const QString &f : {banque.banque, banque.themes, disque::cheminReel(banque.banque), disque::cheminReel(banque.themes)})
        for (const char *suffixe : {"", ".nouveau", ".import", ".jnl"})
            fichiersBanque << f + QLatin1String(suffixe);
    for (const QString &fichierBanque : std::as_const(fichiersBanque)) {
        const QFileInfo a(fichierBanque), b(fichier);
        if (a.absoluteFilePath() == b.absoluteFilePath()
            || (a.exists() && b.exists() && a.canonicalFilePath() == b.canonicalFilePath()))
            return Resultat::echec(QStringLiteral("Le fichier %1 appartient à la banque %2 : choisissez un autre nom pour "
                                                  "l'exportation.")
                                       .arg(nomLisible(QDir::toNativeSeparators(fichier)), nomLisible(banque.nom())));
    }
    rapport.titre = QStringLiteral("Exportation de la banque %1 au format %2 dans %3")
                        .arg(nomLisible(banque.nom()), nomFormat(options.format), nomLisible(QDir::toNativeSeparators(fichier)));
    QSaveFile f(fichier);
    if (!f.open(QIODevice::WriteOnly))
        return echecEcriture(f, errno, fichier);
    if (Resultat r = ecrire(src, f, options, rapport, progression); !r) {
        f.cancelWriting();
        return r;
    }
    if (!f.commit())
        return echecEcriture(f, errno, fichier);
    return Resultat::succes();
}

ResultatImport importer(const CheminsBanque &banque, const QString &fichier, std::optional<Format> format,
                        const Progression &progression)
{
    OptionsImport options;
    options.format = format;
    return importer(banque, fichier, options, progression);
}

namespace {

// A file to import, read whole, with its format (guessed when not given).
struct Fichier {
    Resultat resultat;
    QString nom;  // as messages name it
    QByteArray contenu;
    Format format = Format::Gift;
};

Fichier lireFichier(const QString &chemin, std::optional<Format> format)
{
    Fichier f;
    f.nom = nomLisible(QFileInfo(chemin).fileName());
    QFile fichier(chemin);
    if (fichier.open(QIODevice::ReadOnly))
        f.contenu = fichier.readAll();
    if (!fichier.isOpen() || fichier.error() != QFileDevice::NoError) {
        f.resultat = Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2")
                                         .arg(nomLisible(QDir::toNativeSeparators(chemin)), fichier.errorString()));
        return f;
    }
    if (!format)
        format = deviner(f.contenu, f.nom);
    if (!format) {
        f.resultat = Resultat::echec(QStringLiteral("Le format du fichier %1 n'est pas reconnu : un fichier GIFT, "
                                                    "Moodle XML, CSV ou un paquet IMS QTI 2.1 (zip) est attendu.")
                                         .arg(f.nom));
        return f;
    }
    f.format = *format;
    return f;
}

} // namespace

ResultatImport importer(const CheminsBanque &banque, const QString &fichier, const OptionsImport &options,
                        const Progression &progression)
{
    ResultatImport res;
    const Fichier f = lireFichier(fichier, options.format);
    if (!f.resultat) {
        res.resultat = f.resultat;
        return res;
    }
    const Lecture lecture = lire(f.format, f.contenu, f.nom, options);
    if (!lecture.resultat) {
        res.resultat = lecture.resultat;
        return res;
    }
    res = ajouter(banque, lecture, progression);
    res.rapport.titre = QStringLiteral("Importation de %1 (%2) dans la banque %3")
                            .arg(f.nom, nomFormat(f.format), nomLisible(banque.nom()));
    return res;
}

QList<QuestionLongue> questionsLongues(const QString &fichier, OptionsImport options)
{
    QList<QuestionLongue> longues;
    const Fichier f = lireFichier(fichier, options.format);
    if (!f.resultat)
        return longues;
    options.troisReponses = false;
    options.longues = &longues;
    lire(f.format, f.contenu, f.nom, options);
    return longues;
}

} // namespace echanges

namespace echanges {

qsizetype utf8Invalide(QByteArrayView o)
{
    const qsizetype n = o.size();
    for (qsizetype i = 0; i < n;) {
        const uchar c = uchar(o[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int suite = 0;
        char32_t v = 0, minimum = 0;
        if ((c & 0xE0) == 0xC0) {
            suite = 1, v = c & 0x1F, minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            suite = 2, v = c & 0x0F, minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            suite = 3, v = c & 0x07, minimum = 0x10000;
        } else {
            return i;
        }
        for (int k = 1; k <= suite; ++k) {
            if (i + k >= n || (uchar(o[i + k]) & 0xC0) != 0x80)
                return i;
            v = (v << 6) | (uchar(o[i + k]) & 0x3F);
        }
        if (v < minimum || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
            return i;
        i += suite + 1;
    }
    return -1;
}

TexteLu decoderTexte(const QByteArray &contenu)
{
    TexteLu t;
    const QByteArrayView v(contenu);
    const bool le = v.startsWith("\xFF\xFE"), be = v.startsWith("\xFE\xFF");
    if (!le && !be) {
        if (const qsizetype mauvais = utf8Invalide(contenu); mauvais >= 0) {
            t.ligneInvalide = ligneDe(contenu, mauvais);
            return t;
        }
        t.texte = QString::fromUtf8(contenu);
        if (t.texte.startsWith(QChar(0xFEFF)))
            t.texte.remove(0, 1);
        return t;
    }
    t.utf16 = true;
    const qsizetype n = (v.size() - 2) / 2;
    t.texte.resize(n);
    char16_t *d = reinterpret_cast<char16_t *>(t.texte.data());
    int ligne = 1;
    for (qsizetype i = 0; i < n; ++i) {
        const uchar a = uchar(v[2 + 2 * i]), b = uchar(v[3 + 2 * i]);
        d[i] = le ? char16_t(a | b << 8) : char16_t(a << 8 | b);
        if (d[i] == u'\n')
            ++ligne;
    }
    // Half of a surrogate pair alone, or a byte left over, is no character.
    int ligneCourante = 1;
    for (qsizetype i = 0; i < n && t.ligneInvalide == 0; ++i) {
        if (QChar::isHighSurrogate(d[i]) && i + 1 < n && QChar::isLowSurrogate(d[i + 1]))
            ++i;
        else if (QChar::isSurrogate(d[i]))
            t.ligneInvalide = ligneCourante;
        else if (d[i] == u'\n')
            ++ligneCourante;
    }
    if (t.ligneInvalide == 0 && v.size() % 2 != 0)
        t.ligneInvalide = ligne;
    return t;
}

int ligneDe(QByteArrayView octets, qsizetype position)
{
    return int(octets.first(qBound<qsizetype>(0, position, octets.size())).count('\n')) + 1;
}

QString listeNumeros(const QList<int> &numeros)
{
    QStringList l;
    for (qsizetype i = 0; i < numeros.size() && i < 20; ++i)
        l << QString::number(numeros[i]);
    QString t = l.join(QLatin1String(", "));
    if (numeros.size() > 20)
        t += QStringLiteral(", …");
    return t;
}

Resultat echecEcriture(const QIODevice &sortie, int erreur, const QString &fichier)
{
    const bool systeme = erreur == ENOSPC || erreur == EDQUOT || erreur == EFBIG || erreur == EIO || erreur == EROFS;
    const QString raison = systeme || sortie.errorString().isEmpty() ? disque::raison(erreur) : sortie.errorString();
    return Resultat::echec(fichier.isEmpty() ? QStringLiteral("Impossible d'écrire le fichier : %1").arg(raison)
                                             : QStringLiteral("Impossible d'écrire le fichier %1 : %2")
                                                   .arg(nomLisible(QDir::toNativeSeparators(fichier)), raison));
}

QString nomLisible(const QString &nom)
{
    QString l;
    l.reserve(nom.size());
    for (QChar c : nom) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            l += QLatin1String("\\n");
        else if (u == u'\t')
            l += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            l += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("\\X"), QLatin1String("\\x"));
        else
            l += c;
    }
    return l;
}

void TamponSortie::ajouter(const QString &texte)
{
    m_octets += texte.toUtf8();
    if (m_octets.size() >= (1 << 20))
        vider();
}

void TamponSortie::ajouterOctets(QByteArrayView octets)
{
    m_octets += octets;
    if (m_octets.size() >= (1 << 20))
        vider();
}

bool TamponSortie::vider()
{
    if (m_ok && !m_octets.isEmpty() && m_sortie.write(m_octets) != m_octets.size()) {
        m_erreur = errno;
        m_ok = false;
    }
    m_octets.truncate(0);
    return m_ok;
}

} // namespace echanges
