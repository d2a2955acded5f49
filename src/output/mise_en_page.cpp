#include "output/mise_en_page.h"

#include "store/cp1252.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QTextLayout>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

// The glyph and advance of every character a card's text can hold (Windows-1252 decodes
// to Latin-1 and 27 more characters), looked up once per font size. A listing line is then
// placed glyph by glyph without going through text shaping, and blanks cost nothing on the
// page: only visible glyphs are drawn.
struct MiseEnPage::Glyphes {
    QRawFont brute;
    std::array<quint32, 256> latin{};
    std::array<qreal, 256> avanceLatin{};
    QHash<char16_t, std::pair<quint32, qreal>> autres;
    qreal ascent = 0;

    // Room reused from line to line.
    struct Place {
        quint32 glyphe;  // 0 for a blank: nothing to draw
        qreal x;         // from the start of the text
        qreal avance;
    };
    std::vector<Place> places;
    QList<quint32> indices;
    QList<QPointF> positions;

    explicit Glyphes(const QFont &police)
        : brute(QRawFont::fromFont(police))
    {
        if (!brute.isValid())
            return;
        ascent = brute.ascent();
        QString tous;
        for (int c = 0; c < 256; ++c)
            tous += QChar(char16_t(c));
        for (unsigned char o = 0x80; o < 0xA0; ++o)
            if (cp1252::versUnicode(o) != o)
                tous += QChar(cp1252::versUnicode(o));
        QList<quint32> trouves(tous.size());
        int n = int(trouves.size());
        if (!brute.glyphIndexesForChars(tous.constData(), int(tous.size()), trouves.data(), &n) || n != tous.size())
            return;
        QList<QPointF> avances(n);
        brute.advancesForGlyphIndexes(trouves.constData(), avances.data(), n);
        for (int i = 0; i < n; ++i) {
            const char16_t c = tous.at(i).unicode();
            if (c < 256) {
                latin[c] = trouves[i];
                avanceLatin[c] = avances[i].x();
            } else {
                autres.insert(c, {trouves[i], avances[i].x()});
            }
        }
    }
    // False for a character the table does not hold or the font has no glyph for.
    bool trouver(char16_t c, quint32 *glyphe, qreal *avance) const
    {
        if (c < 256) {
            *glyphe = latin[c];
            *avance = avanceLatin[c];
        } else {
            const auto it = autres.constFind(c);
            if (it == autres.constEnd())
                return false;
            *glyphe = it->first;
            *avance = it->second;
        }
        return *glyphe != 0;
    }
};

MiseEnPage::MiseEnPage(QPagedPaintDevice &support) : m_support(support) {}

MiseEnPage::~MiseEnPage() = default;

bool MiseEnPage::commencer()
{
    m_peintre = std::make_unique<QPainter>();
    if (!m_peintre->begin(&m_support)) {
        m_peintre.reset();
        return false;
    }
    choisirPolice(m_peintre->font());
    m_y = 0;
    m_pages = 1;
    return true;
}

bool MiseEnPage::actif() const { return m_peintre != nullptr; }

void MiseEnPage::choisirPolice(const QFont &police)
{
    m_police = police;
    m_peintre->setFont(m_police);
    m_interligne = QFontMetricsF(m_police, &m_support).lineSpacing();
    m_glyphes = std::make_unique<Glyphes>(QFont(m_police, &m_support));
}

void MiseEnPage::ecrire(const QString &texte) { m_ligne += texte; }

void MiseEnPage::finLigne()
{
    if (m_peintre)
        poserLigne(std::exchange(m_ligne, QString()));
}

void MiseEnPage::taillePolice(int points)
{
    if (!m_peintre || points <= 0)
        return;
    QFont f = m_police;
    f.setPointSize(points);
    choisirPolice(f);
}

bool MiseEnPage::terminer()
{
    if (!m_peintre)
        return false;
    if (!m_ligne.isEmpty())
        finLigne();
    const bool ok = m_peintre->end();
    m_peintre.reset();
    return ok;
}

// Moves down one line, onto a new page when this one is full.
void MiseEnPage::avancer()
{
    if (m_y > 0 && m_y + m_interligne > m_support.height()) {
        m_support.newPage();
        ++m_pages;
        m_y = 0;
    }
    m_y += m_interligne;
}

void MiseEnPage::poserLigne(const QString &texte)
{
    if (texte.isEmpty()) {
        avancer();
        return;
    }
    if (!poserGlyphes(texte))
        poserMiseEnForme(texte);
}

// The common case: every character in the table. A line too long for the page breaks
// after its last blank that fits (inside a word when a word alone is too long); a line
// break typed in a text starts a new line. Returns false, having drawn nothing, when a
// character is not in the table.
bool MiseEnPage::poserGlyphes(const QString &texte)
{
    Glyphes &g = *m_glyphes;
    if (!g.brute.isValid())
        return false;
    const qsizetype n = texte.size();
    const QChar *c = texte.constData();
    std::vector<Glyphes::Place> &places = g.places;
    places.resize(size_t(n));
    qreal x = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = c[i].unicode();
        quint32 glyphe = 0;
        qreal avance = 0;
        if (u == u' ' || u == u'\t') {
            avance = g.avanceLatin[u' '];
        } else if (u >= 0x20 && !g.trouver(u, &glyphe, &avance)) {
            return false;
        }
        places[size_t(i)] = {glyphe, x, avance};
        x += avance;
    }

    const qreal largeur = m_support.width();
    QList<quint32> &indices = g.indices;
    QList<QPointF> &positions = g.positions;
    auto poser = [&](qsizetype debut, qsizetype fin) {
        avancer();
        indices.clear();
        positions.clear();
        const qreal origine = debut < n ? places[size_t(debut)].x : 0;
        for (qsizetype i = debut; i < fin; ++i)
            if (places[size_t(i)].glyphe != 0) {
                indices.append(places[size_t(i)].glyphe);
                positions.append(QPointF(places[size_t(i)].x - origine, 0));
            }
        if (indices.isEmpty())
            return;
        QGlyphRun run;
        run.setRawFont(g.brute);
        run.setGlyphIndexes(indices);
        run.setPositions(positions);
        m_peintre->drawGlyphRun(QPointF(0, m_y - m_interligne + g.ascent), run);
    };
    auto blanc = [&](qsizetype i) { return c[i] == u' ' || c[i] == u'\t'; };
    auto saut = [&](qsizetype i) { return c[i] == u'\r' || c[i] == u'\n'; };

    qsizetype debut = 0;
    while (true) {
        // The longest piece from `debut` that fits, up to a typed line break.
        qsizetype fin = debut, coupure = -1;
        const qreal origine = debut < n ? places[size_t(debut)].x : 0;
        while (fin < n && !saut(fin)) {
            if (!blanc(fin) && places[size_t(fin)].x + places[size_t(fin)].avance - origine > largeur && fin > debut)
                break;
            if (blanc(fin))
                coupure = fin;
            ++fin;
        }
        if (fin < n && !saut(fin)) {
            // Too long: break after the last blank that fits, else inside the word.
            if (coupure > debut)
                fin = coupure;
            poser(debut, fin);
            debut = fin;
            while (debut < n && blanc(debut))
                ++debut;
            if (debut >= n)
                return true;
            continue;
        }
        poser(debut, fin);
        if (fin >= n)
            return true;
        debut = fin + (c[fin] == u'\r' && fin + 1 < n && c[fin + 1] == u'\n' ? 2 : 1);
        if (debut >= n) {
            avancer();  // a text ending on a line break ends on an empty line
            return true;
        }
    }
}

// Any other text: Qt lays it out, with its fonts' fallbacks.
void MiseEnPage::poserMiseEnForme(const QString &texte)
{
    QString t = texte;
    t.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    t.replace(u'\r', QChar::LineSeparator);
    t.replace(u'\n', QChar::LineSeparator);
    QTextLayout mise(t, m_police, &m_support);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    mise.setTextOption(option);
    mise.beginLayout();
    for (QTextLine l = mise.createLine(); l.isValid(); l = mise.createLine())
        l.setLineWidth(m_support.width());
    mise.endLayout();
    for (int i = 0; i < mise.lineCount(); ++i) {
        QTextLine l = mise.lineAt(i);
        avancer();
        l.setPosition(QPointF(0, 0));
        l.draw(m_peintre.get(), QPointF(0, m_y - m_interligne));
    }
}

struct SortiePdf::Prive {
    explicit Prive(const QString &fichier) : ecrivain(fichier), page(ecrivain) {}
    QPdfWriter ecrivain;
    MiseEnPage page;
};

SortiePdf::SortiePdf(const QString &fichier) : m_fichier(fichier) {}

SortiePdf::~SortiePdf()
{
    if (d && d->page.actif())
        d->page.terminer();
}

Resultat SortiePdf::commencer()
{
    // Opened here first, for a reason in words when the file cannot be written.
    const int fd = ::open(QFile::encodeName(m_fichier).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1 : %2.")
                                   .arg(m_fichier, raisonSysteme(errno)));
    ::close(fd);
    d = std::make_unique<Prive>(m_fichier);
    d->ecrivain.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                          QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    d->ecrivain.setCreator(QStringLiteral("Orbelin"));
    if (!d->page.commencer()) {
        d.reset();
        QFile::remove(m_fichier);
        return Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1.").arg(m_fichier));
    }
    return Resultat::succes();
}

void SortiePdf::ligne(const QString &texte)
{
    if (!d)
        return;
    d->page.ecrire(texte);
    d->page.finLigne();
}

void SortiePdf::taillePolice(int points)
{
    if (d)
        d->page.taillePolice(points);
}

Resultat SortiePdf::terminer()
{
    if (!d || !d->page.terminer())
        return Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1.").arg(m_fichier));
    d.reset();
    return Resultat::succes();
}

void SortiePdf::abandonner()
{
    if (d && d->page.actif())
        d->page.terminer();
    d.reset();
    QFile::remove(m_fichier);
}

listing::ResultatListing imprimerEnPdf(const QString &fichierPdf, const QString &chemin, const QString &nomFichier,
                                       listing::Forme forme, Selection selection, const Progression &progression)
{
    listing::ResultatListing r;
    SortiePdf pdf(fichierPdf);
    if (r.resultat = pdf.commencer(); !r.resultat)
        return r;
    r = listing::imprimer(chemin, nomFichier, forme, selection, pdf, progression);
    if (!r.resultat || r.annule) {
        pdf.abandonner();
        return r;
    }
    r.resultat = pdf.terminer();
    return r;
}
