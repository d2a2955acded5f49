#include "classroom/page_quiz.h"
#include "store/disque.h"

#include "store/fichequestion.h"
#include "store/json.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <optional>

namespace classe {

extern const char kStyleQuiz[];
extern const char kScriptQuiz[];

namespace {

// The kind of a media file from its first bytes; the name's extension only when they say nothing.
QString typeMime(const QByteArray &octets, const QString &nom)
{
    const QByteArrayView v(octets);
    if (v.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (v.startsWith("\x89PNG"))
        return QStringLiteral("image/png");
    if (v.startsWith("GIF8"))
        return QStringLiteral("image/gif");
    if (v.startsWith("BM"))
        return QStringLiteral("image/bmp");
    if (v.startsWith("RIFF") && v.size() >= 12 && v.sliced(8, 4) == "WAVE")
        return QStringLiteral("audio/wav");
    if (v.startsWith("MThd"))
        return QStringLiteral("audio/midi");
    if (v.startsWith("ID3") || (v.size() >= 2 && quint8(v[0]) == 0xFF && (quint8(v[1]) & 0xE0) == 0xE0))
        return QStringLiteral("audio/mpeg");
    const QString ext = QFileInfo(nom).suffix().toLower();
    if (ext == QLatin1String("mp3"))
        return QStringLiteral("audio/mpeg");
    if (ext == QLatin1String("wav"))
        return QStringLiteral("audio/wav");
    return {};
}

// The media of the cards, each file once in the page however many cards show it.
class Medias {
public:
    explicit Medias(QString dossier) : m_dossier(std::move(dossier)) {}

    // The JSON object that tells the page what to show for this card, or "null".
    QString pour(const Question &q, QStringList *remarques)
    {
        if (q.media.isEmpty() || q.codeMedia == media::Aucun)
            return QStringLiteral("null");
        const QString lieu = QStringLiteral("fiche %1 : ").arg(q.fiche);
        auto note = [&](const QString &texte, bool remarque) {
            if (remarque && remarques)
                *remarques << lieu + texte;
            return QStringLiteral("{\"k\":\"note\",\"texte\":") + chaineJson(texte, LieuJson::Script) + u'}';
        };
        const bool image = media::estImage(q.codeMedia);
        if (!image && !media::estSon(q.codeMedia))
            return q.codeMedia == media::Video
                       ? note(QStringLiteral("La vidéo « %1 » n'est pas incluse dans la page.").arg(q.media), true)
                       : QStringLiteral("null");
        Fichier *f = fichier(q.media);
        if (!f)
            return note((image ? QStringLiteral("Image introuvable : %1") : QStringLiteral("Son introuvable : %1"))
                            .arg(q.media), true);
        if (f->mime.isEmpty() || image != f->mime.startsWith(QLatin1String("image/"))
            || f->mime == QLatin1String("audio/midi")) {
            if (f->mime == QLatin1String("audio/midi"))
                return note(QStringLiteral("Le son « %1 » est un fichier MIDI, que les navigateurs ne lisent pas.")
                                .arg(q.media), true);
            return note((image ? QStringLiteral("Le fichier « %1 » n'est pas une image lisible.")
                               : QStringLiteral("Le fichier « %1 » n'est pas un son lisible."))
                            .arg(q.media), true);
        }
        if (!image)
            return QStringLiteral("{\"k\":\"son\",\"i\":%1}").arg(indice(*f));
        static const char *const facteurs[] = {"1", "1.5", "2", "3"};
        const int option = q.codeMedia - media::Image;
        // A code beyond the four sizes (never written by the editor) shows the picture as it is.
        const char *facteur = option >= 0 && option < 4 ? facteurs[option] : "1";
        return QStringLiteral("{\"k\":\"image\",\"i\":%1,\"x\":%2}").arg(indice(*f)).arg(QLatin1String(facteur));
    }

    // The "medias" array: one data: URI per file.
    void ecrireTableau(QByteArray &sortie) const
    {
        sortie += '[';
        for (qsizetype i = 0; i < m_uris.size(); ++i) {
            if (i > 0)
                sortie += ",\n";
            sortie += '"';
            sortie += m_uris[i];
            sortie += '"';
        }
        sortie += ']';
    }

private:
    struct Fichier {
        int index = -1;  // in the page's array, once a card shows it
        QString mime;
        QByteArray octets;
    };
    Fichier *fichier(const QString &nom)
    {
        auto it = m_fichiers.find(nom);
        if (it == m_fichiers.end()) {
            std::optional<Fichier> f;
            QByteArray octets;
            if (disque::lireMedia(m_dossier, nom, octets))
                f = Fichier{-1, typeMime(octets, nom), std::move(octets)};
            it = m_fichiers.insert(nom, std::move(f));
        }
        return it->has_value() ? &**it : nullptr;
    }
    // The file goes into the page the first time a card shows it.
    int indice(Fichier &f)
    {
        if (f.index < 0) {
            f.index = int(m_uris.size());
            // Base64 holds no character that needs escaping in JSON or HTML.
            m_uris << "data:" + f.mime.toLatin1() + ";base64," + f.octets.toBase64();
            f.octets.clear();
        }
        return f.index;
    }

    QString m_dossier;
    QHash<QString, std::optional<Fichier>> m_fichiers;
    QList<QByteArray> m_uris;
};

} // namespace

QString echapperHtml(const QString &texte)
{
    QString s;
    s.reserve(texte.size());
    for (QChar c : texte) {
        switch (c.unicode()) {
        case u'&': s += QLatin1String("&amp;"); break;
        case u'<': s += QLatin1String("&lt;"); break;
        case u'>': s += QLatin1String("&gt;"); break;
        case u'"': s += QLatin1String("&quot;"); break;
        case u'\'': s += QLatin1String("&#39;"); break;
        default: s += c;
        }
    }
    return s;
}

QByteArray pageQuiz(const QList<Question> &questions, const QString &dossierMedias, const QString &titre,
                    bool melanger, quint64 graine, QStringList *remarques)
{
    Medias medias(dossierMedias);
    // The page's identity, written into every set of answers saved from it: the same title, seed
    // and cards give the same one.
    QByteArray empreinte = titre.toUtf8() + '\n' + QByteArray::number(graine) + '\n';
    QString liste;
    liste.reserve(questions.size() * 400);
    for (qsizetype i = 0; i < questions.size(); ++i) {
        const Question &q = questions[i];
        empreinte += QByteArray::number(q.fiche) + ',';
        if (i > 0)
            liste += QLatin1String(",\n");
        liste += QLatin1String("{\"f\":") + QString::number(q.fiche) + QLatin1String(",\"q\":") + chaineJson(q.texte, LieuJson::Script)
            + QLatin1String(",\"r\":[");
        for (qsizetype k = 0; k < q.reponses.size(); ++k) {
            if (k > 0)
                liste += u',';
            liste += chaineJson(q.reponses[k], LieuJson::Script);
        }
        liste += QLatin1String("],\"o\":[");
        for (qsizetype k = 0; k < q.reponses.size(); ++k)
            liste += (k > 0 ? QStringLiteral(",") : QString()) + QString::number(q.origines.value(k, int(k + 1)));
        liste += QLatin1String("],\"b\":") + QString::number(q.bonne) + QLatin1String(",\"c\":")
            + chaineJson(q.commentaire, LieuJson::Script) + QLatin1String(",\"t\":") + chaineJson(q.theme, LieuJson::Script)
            + QLatin1String(",\"m\":") + medias.pour(q, remarques) + u'}';
    }

    const QString t = echapperHtml(titre);
    QByteArray page;
    page.reserve(liste.size() * 2 + 40000);
    page += "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            // Nothing outside the page may be asked for: every picture and sound is inside it.
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; "
            "media-src data:; style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
            "<meta name=\"generator\" content=\"Orbelin\">\n<title>";
    page += t.toUtf8();
    page += "</title>\n<style>\n";
    page += kStyleQuiz;
    page += "</style>\n</head>\n<body>\n<main>\n<h1 id=\"titre\">";
    page += t.toUtf8();
    page += "</h1>\n<noscript><p>Cette page a besoin de JavaScript pour poser les questions.</p></noscript>\n"
            "<div id=\"app\"></div>\n</main>\n<script type=\"application/json\" id=\"donnees\">\n{\"id\":\"";
    page += QCryptographicHash::hash(empreinte, QCryptographicHash::Sha256).toHex().left(12);
    page += "\",\"titre\":";
    page += chaineJson(titre, LieuJson::Script).toUtf8();
    page += ",\"melanger\":";
    page += melanger ? "true" : "false";
    page += ",\"graine\":";
    page += QByteArray::number(quint32(deriver(graine, 7)));
    page += ",\"questions\":[\n";
    page += liste.toUtf8();
    page += "],\n\"medias\":";
    medias.ecrireTableau(page);
    page += "}\n</script>\n<script>\n";
    page += kScriptQuiz;
    page += "</script>\n</body>\n</html>\n";
    return page;
}

QString texteEcritureImpossible(const QString &fichier, const QString &raison)
{
    const QFileInfo info(fichier);
    QString pourquoi = raison;
    if (!info.absoluteDir().exists())
        pourquoi = QStringLiteral("le dossier n'existe pas");
    else if (info.isDir())
        pourquoi = QStringLiteral("c'est un dossier");
    else if (!QFileInfo(info.absolutePath()).isWritable() || (info.exists() && !info.isWritable()))
        pourquoi = QStringLiteral("accès refusé");
    return QStringLiteral("Impossible d'écrire le fichier %1 : %2.").arg(QDir::toNativeSeparators(fichier), pourquoi);
}

QString titreParDefaut(const echanges::CheminsBanque &banque)
{
    const QString nom = banque.nom();
    return nom.left(qMax<qsizetype>(0, texte::sansEspaces(nom).size() - 4));
}

ResultatSortie ecrireQuiz(const echanges::CheminsBanque &banque, const Choix &choix, const OptionsQuiz &options,
                          const QString &fichier, const Progression &progression)
{
    ResultatSortie r;
    Tirage tirage = tirer(banque, choix);
    r.remarques = tirage.remarques;
    if (!tirage.resultat) {
        r.resultat = tirage.resultat;
        return r;
    }
    if (tirage.questions.isEmpty()) {
        r.resultat = Resultat::echec(texteAucuneFiche());
        return r;
    }
    if (progression && !progression(0, 2)) {
        r.annule = true;
        r.resultat = Resultat::echec(QString());
        return r;
    }
    QList<Question> questions =
        options.melanger ? melanger(std::move(tirage.questions), deriver(choix.graine, 2)) : std::move(tirage.questions);
    const QString titre = options.titre.trimmed().isEmpty() ? titreParDefaut(banque) : options.titre.trimmed();
    const QByteArray page = pageQuiz(questions, banque.medias, titre, options.melanger, choix.graine, &r.remarques);
    if (progression && !progression(1, 2)) {
        r.annule = true;
        r.resultat = Resultat::echec(QString());
        return r;
    }

    QSaveFile f(fichier);
    if (!f.open(QIODevice::WriteOnly) || f.write(page) != page.size() || !f.commit()) {
        r.resultat = Resultat::echec(texteEcritureImpossible(fichier, f.errorString()));
        return r;
    }
    if (progression)
        progression(2, 2);
    r.questions = int(questions.size());
    return r;
}

} // namespace classe
