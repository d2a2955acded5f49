#include "exchange/zip.h"

#include <QDir>
#include <zip.h>

namespace echanges {

namespace {

// libzip's error in French words.
QString raisonZip(zip_error_t *e)
{
    switch (zip_error_code_zip(e)) {
    case ZIP_ER_MULTIDISK: return QStringLiteral("une archive en plusieurs volumes n'est pas prise en charge");
    case ZIP_ER_SEEK:
    case ZIP_ER_READ:
    case ZIP_ER_TELL: return QStringLiteral("erreur de lecture");
    case ZIP_ER_WRITE: return QStringLiteral("erreur d'écriture");
    case ZIP_ER_CRC: return QStringLiteral("une somme de contrôle ne correspond pas à son contenu");
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA: return QStringLiteral("des données compressées sont endommagées");
    case ZIP_ER_MEMORY: return QStringLiteral("la mémoire est insuffisante");
    case ZIP_ER_COMPNOTSUPP: return QStringLiteral("une méthode de compression n'est pas prise en charge");
    case ZIP_ER_EOF: return QStringLiteral("l'archive s'arrête avant sa fin");
    case ZIP_ER_NOZIP: return QStringLiteral("ce n'est pas une archive zip");
    case ZIP_ER_INCONS: return QStringLiteral("son sommaire ne correspond pas à son contenu");
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD: return QStringLiteral("elle est chiffrée");
    default: return QStringLiteral("erreur n° %1 de l'archive").arg(zip_error_code_zip(e));
    }
}

} // namespace

QString cheminDansPaquet(const QString &chemin)
{
    QString c = chemin;
    c.replace(u'\\', u'/');
    if (c.isEmpty() || c.startsWith(u'/') || (c.size() >= 2 && c[1] == u':'))
        return {};
    QStringList parties;
    for (const QString &p : c.split(u'/')) {
        if (p.isEmpty() || p == QLatin1String("."))
            continue;
        if (p == QLatin1String("..")) {
            if (parties.isEmpty())
                return {};
            parties.removeLast();
            continue;
        }
        parties << p;
    }
    return parties.join(u'/');
}

ArchiveLue::~ArchiveLue()
{
    if (m_zip)
        zip_discard(m_zip);
}

bool ArchiveLue::ouvrir(const QByteArray &octets, const QString &nomFichier, Resultat &resultat)
{
    m_octets = octets;
    m_nomFichier = nomFichier;
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *source = zip_source_buffer_create(m_octets.constData(), zip_uint64_t(m_octets.size()), 0, &err);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!m_zip) {
        const bool pasZip = zip_error_code_zip(&err) == ZIP_ER_NOZIP;
        resultat = Resultat::echec(
            pasZip ? QStringLiteral("Le fichier %1 n'est pas un paquet zip lisible : il est incomplet ou ce n'est pas "
                                    "une archive zip.")
                         .arg(nomFichier)
                   : QStringLiteral("Le paquet %1 est endommagé : %2.").arg(nomFichier, raisonZip(&err)));
        zip_error_fini(&err);
        if (source)
            zip_source_free(source);
        return false;
    }
    zip_error_fini(&err);
    const zip_int64_t n = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *nom = zip_get_name(m_zip, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString brut = nom ? QString::fromUtf8(nom) : QString();
        if (brut.endsWith(u'/'))
            continue;
        const QString propre = cheminDansPaquet(brut);
        if (propre.isEmpty()) {
            resultat = Resultat::echec(QStringLiteral("Le paquet %1 est refusé : son entrée %2 (n° %3) désigne un "
                                                      "chemin qui sort du paquet.")
                                           .arg(nomFichier, brut)
                                           .arg(i + 1));
            return false;
        }
        if (m_index.contains(propre))
            continue;  // the first of two entries of the same name is the one read
        m_noms << propre;
        m_index.insert(propre, i);
    }
    return true;
}

bool ArchiveLue::lire(const QString &nom, QByteArray &octets, Resultat &resultat) const
{
    const auto k = m_index.constFind(nom);
    if (k == m_index.constEnd() || !m_zip) {
        resultat = Resultat::echec(QStringLiteral("Le paquet %1 ne contient pas %2.").arg(m_nomFichier, nom));
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, zip_uint64_t(*k), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        resultat = Resultat::echec(QStringLiteral("Le paquet %1 est endommagé : l'entrée %2 est illisible.").arg(m_nomFichier, nom));
        return false;
    }
    if (st.size > zip_uint64_t(TailleMax)) {
        resultat = Resultat::echec(QStringLiteral("Le paquet %1 est refusé : l'entrée %2 dépasse %3 Mo.")
                                       .arg(m_nomFichier, nom)
                                       .arg(TailleMax >> 20));
        return false;
    }
    zip_file_t *f = zip_fopen_index(m_zip, zip_uint64_t(*k), 0);
    octets.resize(qsizetype(st.size));
    zip_int64_t lu = f ? zip_fread(f, octets.data(), st.size) : -1;
    // One byte more must not come: the stated size is the real one.
    char encore;
    if (f && lu == zip_int64_t(st.size) && zip_fread(f, &encore, 1) != 0)
        lu = -1;
    if (f)
        zip_fclose(f);
    if (lu != zip_int64_t(st.size)) {
        octets.clear();
        resultat = Resultat::echec(QStringLiteral("Le paquet %1 est endommagé : l'entrée %2 ne se décompresse pas.")
                                       .arg(m_nomFichier, nom));
        return false;
    }
    return true;
}

void ArchiveEcrite::ajouter(const QString &nom, const QByteArray &octets, bool compresser)
{
    m_entrees.append({nom, octets});
    m_compresser << compresser;
}

bool ArchiveEcrite::terminer(QByteArray &sortie, QString &erreur)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *source = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_t *z = source ? zip_open_from_source(source, ZIP_TRUNCATE, &err) : nullptr;
    if (!z) {
        erreur = raisonZip(&err);
        zip_error_fini(&err);
        if (source)
            zip_source_free(source);
        return false;
    }
    zip_error_fini(&err);
    zip_source_keep(source);
    auto echec = [&](zip_error_t *e) {
        erreur = raisonZip(e);
        zip_discard(z);
        zip_source_free(source);
        return false;
    };
    for (qsizetype i = 0; i < m_entrees.size(); ++i) {
        const QByteArray &o = m_entrees[i].second;
        zip_source_t *s = zip_source_buffer(z, o.constData(), zip_uint64_t(o.size()), 0);
        const QByteArray nom = m_entrees[i].first.toUtf8();
        const zip_int64_t index = s ? zip_file_add(z, nom.constData(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
        if (index < 0) {
            if (s)
                zip_source_free(s);
            return echec(zip_get_error(z));
        }
        zip_set_file_compression(z, zip_uint64_t(index), m_compresser[i] ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    if (zip_close(z) != 0)
        return echec(zip_get_error(z));
    bool ok = zip_source_open(source) == 0;
    if (ok) {
        ok = zip_source_seek(source, 0, SEEK_END) == 0;
        const zip_int64_t taille = ok ? zip_source_tell(source) : -1;
        ok = ok && taille >= 0 && zip_source_seek(source, 0, SEEK_SET) == 0;
        if (ok) {
            sortie.resize(qsizetype(taille));
            ok = zip_source_read(source, sortie.data(), zip_uint64_t(taille)) == taille;
        }
        zip_source_close(source);
    }
    if (!ok)
        erreur = raisonZip(zip_source_error(source));
    zip_source_free(source);
    return ok;
}

} // namespace echanges
