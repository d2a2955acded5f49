#include "classroom/sujets_pdf.h"

#include "store/disque.h"
#include "store/fichequestion.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QBuffer>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSet>
#include <QTextLayout>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <functional>
#include <memory>
#include <tuple>

namespace classe {

namespace {

using Trace = std::function<void(QPainter &, qreal y)>;  // draws at a distance y from the page's top

struct Page {
    QList<Trace> traces;
    QString groupe;  // "Sujet 2", "Corrigé du sujet 2": pages are counted within their group
    int rang = 0, total = 0;
    bool feuille = false;  // an answer sheet: its foot keeps away from the corner marks
};

// The answer sheet, in millimetres from the paper's edges. The reader finds the four marks
// first: nothing else dark comes within a few millimetres of them.
constexpr double kBordRepere = 10, kRepere = 7, kAutourRepere = 7;
constexpr double kCoteQr = 22;     // the code without its quiet zone of four modules
constexpr double kCase = 5, kRangee = 8, kColonnes = 4;
constexpr double kCaseChiffre = 4.5, kRangeeChiffre = 6.5, kColonneChiffre = 10;

// A text broken into lines for a width, ready to be drawn anywhere.
struct Paragraphe {
    std::shared_ptr<QTextLayout> mise;
    qreal hauteur = 0;
    void dessiner(QPainter &p, qreal x, qreal y) const { mise->draw(&p, QPointF(x, y)); }
};

Paragraphe disposer(QString texte, const QFont &police, qreal largeur, const QPaintDevice *support)
{
    texte.replace(u'\n', QChar::LineSeparator);
    Paragraphe r;
    r.mise = std::make_shared<QTextLayout>(texte, police, support);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    r.mise->setTextOption(option);
    r.mise->setCacheEnabled(true);
    r.mise->beginLayout();
    for (QTextLine l = r.mise->createLine(); l.isValid(); l = r.mise->createLine()) {
        l.setLineWidth(largeur);
        l.setPosition(QPointF(0, r.hauteur));
        r.hauteur += l.height();
    }
    r.mise->endLayout();
    return r;
}

// A picture of a card, read once for every version.
struct Image {
    QImage image;
    QString absence;  // why there is no picture to show
};

class Composition {
public:
    Composition(QPagedPaintDevice &support, const Sujets &sujets) : m_support(support), m_sujets(sujets)
    {
        m_base = QFont(QStringLiteral("DejaVu Sans"));
        m_base.setStyleHint(QFont::SansSerif);
        m_base.setPointSizeF(10.5);
        // Ligatures off (any letter spacing turns them off): "fi" stays two letters that a
        // search in the PDF finds.
        m_base.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
        m_largeur = support.width();
        m_hauteur = support.height() - mm(9);  // the foot of the page below
        const QPageLayout mise = support.pageLayout();
        m_zone = mise.paintRect(QPageLayout::Millimeter);
        m_papier = mise.fullRect(QPageLayout::Millimeter).size();
    }

    qreal mm(qreal v) const { return v * m_support.logicalDpiY() / 25.4; }
    qreal enMm(qreal v) const { return v * 25.4 / m_support.logicalDpiY(); }
    // A point of the paper, in millimetres from its top-left corner, where the painter draws it.
    QPointF ici(qreal x, qreal y) const { return {mm(x - m_zone.left()), mm(y - m_zone.top())}; }
    QRectF ici(const RectMm &r) const { return {ici(r.x, r.y), QSizeF(mm(r.l), mm(r.h))}; }
    QFont police(qreal points, bool gras = false, bool italique = false) const
    {
        QFont f = m_base;
        f.setPointSizeF(points);
        f.setBold(gras);
        f.setItalic(italique);
        return f;
    }
    Paragraphe texte(const QString &t, const QFont &f, qreal largeur) const { return disposer(t, f, largeur, &m_support); }

    QList<Page> pages;
    QStringList remarques;
    QList<PageFeuille> feuilles;

    void nouvellePage(const QString &groupe)
    {
        pages.append(Page{{}, groupe});
        m_y = 0;
    }
    qreal reste() const { return m_hauteur - m_y; }
    qreal hauteurUtile() const { return m_hauteur; }
    qreal largeur() const { return m_largeur; }
    void poser(qreal hauteur, Trace trace)
    {
        const qreal y = m_y;
        pages.last().traces.append([trace = std::move(trace), y](QPainter &p, qreal) { trace(p, y); });
        m_y += hauteur;
    }
    void sauter(qreal hauteur) { m_y += hauteur; }

    void entete(int version);
    void question(int numero, const Question &q, const QString &groupe);
    void grille(int version, const QList<Question> &questions);
    void feuille(int version, const QList<Question> &questions);
    void corrige(int version, const QList<Question> &questions);

private:
    const Image &image(const Question &q);
    Trace ligneASaisir(const QString &etiquette, qreal x, qreal fin, qreal hauteur, const QString &valeur = {});

    QPagedPaintDevice &m_support;
    const Sujets &m_sujets;
    QFont m_base;
    qreal m_largeur = 0, m_hauteur = 0, m_y = 0;
    QRectF m_zone;   // where the pages are laid out, in millimetres of the paper
    QSizeF m_papier;
    QHash<QString, Image> m_images;
    QSet<int> m_fichesSignalees;
};

// "Nom :" and the line to write on, or a label and its value.
Trace Composition::ligneASaisir(const QString &etiquette, qreal x, qreal fin, qreal hauteur, const QString &valeur)
{
    const QFont f = police(10.5, true);
    const QFont fv = police(10.5);
    return [=, this](QPainter &p, qreal y) {
        const QFontMetricsF m(f, &m_support);
        const qreal base = y + hauteur - mm(2.5);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QPointF(x, base), etiquette);
        const qreal debut = x + m.horizontalAdvance(etiquette) + mm(2);
        if (!valeur.isEmpty()) {
            p.setFont(fv);
            p.drawText(QPointF(debut, base), valeur);
            return;
        }
        p.setPen(QPen(QColor(120, 120, 120), mm(0.2), Qt::DotLine));
        p.drawLine(QPointF(debut, base + mm(0.8)), QPointF(fin, base + mm(0.8)));
    };
}

void Composition::entete(int version)
{
    const QString sujet = QStringLiteral("Sujet %1").arg(version);
    const qreal cadre = mm(32);
    const Paragraphe titre = texte(m_sujets.titre, police(16, true), m_largeur - cadre - mm(6));
    const qreal hauteurTitre = qMax(titre.hauteur, mm(11));
    const QFont fs = police(14, true);
    poser(hauteurTitre + mm(4), [=, this](QPainter &p, qreal y) {
        p.setPen(Qt::black);
        titre.dessiner(p, 0, y);
        const QRectF boite(m_largeur - cadre, y, cadre, mm(11));
        p.setPen(QPen(Qt::black, mm(0.4)));
        p.setBrush(QColor(235, 240, 246));
        p.drawRoundedRect(boite, mm(1.5), mm(1.5));
        p.setFont(fs);
        p.drawText(boite, Qt::AlignCenter, sujet);
        p.setBrush(Qt::NoBrush);
    });
    const qreal rangee = mm(9);
    const qreal milieu = m_largeur / 2;
    for (const auto &[gauche, droite, valeur] :
         {std::tuple{QStringLiteral("Nom :"), QStringLiteral("Prénom :"), QString()},
          std::tuple{QStringLiteral("Classe :"), QStringLiteral("Date :"), m_sujets.date}}) {
        const Trace a = ligneASaisir(gauche, 0, milieu - mm(6), rangee);
        const Trace b = ligneASaisir(droite, milieu, m_largeur, rangee, valeur);
        poser(rangee, [a, b](QPainter &p, qreal y) {
            a(p, y);
            b(p, y);
        });
    }
    const Paragraphe consigne =
        texte(m_sujets.feuilleReponses
                  ? QStringLiteral("Pour chaque question, une seule réponse est juste : noircissez sa case sur la "
                                   "feuille de réponses, à la fin du sujet. Seule cette feuille est corrigée.")
                  : QStringLiteral("Pour chaque question, une seule réponse est juste : cochez sa case dans la grille "
                                   "de réponses, à la fin du sujet."),
              police(9.5, false, true), m_largeur);
    sauter(mm(2));
    poser(consigne.hauteur + mm(3), [=, this](QPainter &p, qreal y) {
        p.setPen(QColor(60, 60, 60));
        consigne.dessiner(p, 0, y);
        p.setPen(QPen(Qt::black, mm(0.3)));
        p.drawLine(QPointF(0, y + consigne.hauteur + mm(1.5)), QPointF(m_largeur, y + consigne.hauteur + mm(1.5)));
    });
    sauter(mm(4));
}

const Image &Composition::image(const Question &q)
{
    auto it = m_images.find(q.media);
    if (it != m_images.end())
        return *it;
    Image im;
    // A regular file of the media folder only: a symbolic link there is a missing picture.
    QByteArray octets;
    if (!disque::lireMedia(m_sujets.dossierMedias, q.media, octets)) {
        im.absence = QStringLiteral("Image introuvable : %1").arg(q.media);
    } else {
        QBuffer tampon(&octets);
        QImageReader lecteur(&tampon);
        lecteur.setAutoTransform(true);
        im.image = lecteur.read();
        if (im.image.isNull())
            im.absence = QStringLiteral("Image illisible : %1").arg(q.media);
    }
    return *m_images.insert(q.media, im);
}

void Composition::question(int numero, const Question &q, const QString &groupe)
{
    const qreal retrait = mm(9), retraitReponse = mm(8);
    const QFont normal = police(10.5), gras = police(10.5, true);
    const QString etiquette = QString::number(numero) + u'.';
    const Paragraphe enonce = texte(q.texte, normal, m_largeur - retrait);
    qreal h = enonce.hauteur + mm(2.5);

    // What stands between the question and its answers: a picture, or a line about the media.
    QImage dessin;
    QSizeF taille;
    Paragraphe note;
    const bool image = media::estImage(q.codeMedia) && !q.media.isEmpty();
    if (image) {
        const Image &im = this->image(q);
        if (!im.image.isNull()) {
            dessin = im.image;
        } else {
            note = texte(im.absence, police(9.5, false, true), m_largeur - retrait - mm(4));
            if (!m_fichesSignalees.contains(q.fiche)) {
                m_fichesSignalees.insert(q.fiche);
                remarques << QStringLiteral("fiche %1 : %2").arg(q.fiche).arg(im.absence);
            }
        }
    } else if (!q.media.isEmpty() && (media::estSon(q.codeMedia) || q.codeMedia == media::Video)) {
        const QString quoi = q.codeMedia == media::Video ? QStringLiteral("d'une vidéo") : QStringLiteral("d'un son");
        note = texte(QStringLiteral("(Cette question s'accompagne %1 : « %2 ».)").arg(quoi, q.media),
                     police(9.5, false, true), m_largeur - retrait);
    }

    QList<Paragraphe> reponses;
    qreal hauteurReponses = 0;
    for (const QString &r : q.reponses) {
        reponses << texte(r, normal, m_largeur - retrait - retraitReponse);
        hauteurReponses += qMax(reponses.last().hauteur, mm(5)) + mm(1.5);
    }
    const qreal hauteurNote = note.mise ? note.hauteur + (image ? mm(6) : mm(0)) + mm(2.5) : 0;

    if (!dessin.isNull()) {
        // Its own size on a 96 dpi screen, times the card's size option, within the column;
        // a small one is enlarged to be read from paper. A block never outgrows a page.
        static const qreal facteurs[] = {1, 1.5, 2, 3};
        const int option = q.codeMedia - media::Image;
        const qreal facteur = option >= 0 && option < 4 ? facteurs[option] : 1;
        taille = QSizeF(mm(dessin.width() * 25.4 / 96 * facteur), mm(dessin.height() * 25.4 / 96 * facteur));
        const qreal largeurMax = m_largeur - retrait;
        const qreal hauteurMax = qMin(mm(95), m_hauteur - mm(40) - h - hauteurReponses);
        if (taille.width() < mm(35))
            taille *= mm(35) / taille.width();
        if (taille.width() > largeurMax)
            taille *= largeurMax / taille.width();
        if (taille.height() > hauteurMax)
            taille *= qMax<qreal>(hauteurMax, mm(10)) / taille.height();
        // Drawn at the page's resolution, no finer: the file stays small.
        const QSize pixels = taille.toSize();
        if (dessin.width() > pixels.width() || dessin.height() > pixels.height())
            dessin = dessin.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        h += taille.height() + mm(2.5);
    }
    h += hauteurNote + hauteurReponses;

    if (h > reste() && reste() < m_hauteur)
        nouvellePage(groupe);
    poser(h + mm(4), [=, this](QPainter &p, qreal y) {
        p.setPen(Qt::black);
        p.setFont(gras);
        p.drawText(QPointF(0, y + QFontMetricsF(gras, &m_support).ascent()), etiquette);
        enonce.dessiner(p, retrait, y);
        qreal yy = y + enonce.hauteur + mm(2.5);
        if (!dessin.isNull()) {
            p.drawImage(QRectF(QPointF(retrait, yy), taille), dessin);
            yy += taille.height() + mm(2.5);
        }
        if (note.mise) {
            if (image) {
                // The place the picture would take, so that the sheet still shows one was meant.
                const QRectF cadre(retrait, yy, m_largeur - retrait, note.hauteur + mm(6));
                p.setPen(QPen(QColor(150, 110, 60), mm(0.3), Qt::DashLine));
                p.drawRect(cadre);
                p.setPen(QColor(100, 70, 20));
                note.dessiner(p, retrait + mm(2), yy + mm(3));
                yy += cadre.height() + mm(2.5);
            } else {
                p.setPen(QColor(60, 60, 60));
                note.dessiner(p, retrait, yy);
                yy += note.hauteur + mm(2.5);
            }
        }
        for (qsizetype i = 0; i < reponses.size(); ++i) {
            p.setPen(Qt::black);
            p.setFont(gras);
            p.drawText(QPointF(retrait, yy + QFontMetricsF(gras, &m_support).ascent()), QString(lettre(int(i))) + u'.');
            reponses[i].dessiner(p, retrait + retraitReponse, yy);
            yy += qMax(reponses[i].hauteur, mm(5)) + mm(1.5);
        }
    });
}

void Composition::grille(int version, const QList<Question> &questions)
{
    const QString groupe = QStringLiteral("Sujet %1").arg(version);
    const int colonnes = 4;
    const qreal largeurColonne = m_largeur / colonnes, rangee = mm(8), cote = mm(4.2);
    const QFont ft = police(13, true), fn = police(10, true), fl = police(10);
    const Paragraphe titre = texte(QStringLiteral("Grille de réponses — Sujet %1").arg(version), ft, m_largeur);
    const qreal hauteurTete = titre.hauteur + mm(2) + mm(9) + mm(3);

    const int n = int(questions.size());
    const int rangees = (n + colonnes - 1) / colonnes;
    // The grid stays whole on one page when a page can hold it; when not, it starts on a
    // page of its own and goes on over the next.
    sauter(mm(3));
    if (hauteurTete + rangees * rangee > reste() && reste() < m_hauteur)
        nouvellePage(groupe);
    int premiere = 0;
    while (premiere < n) {
        if (reste() < hauteurTete + rangee)
            nouvellePage(groupe);
        const Trace nom = ligneASaisir(QStringLiteral("Nom :"), 0, m_largeur / 2 - mm(6), mm(9));
        const Trace prenom = ligneASaisir(QStringLiteral("Prénom :"), m_largeur / 2, m_largeur, mm(9));
        poser(hauteurTete, [=, this](QPainter &p, qreal y) {
            p.setPen(Qt::black);
            titre.dessiner(p, 0, y);
            nom(p, y + titre.hauteur + mm(2));
            prenom(p, y + titre.hauteur + mm(2));
        });
        const int parColonne = qMin(rangees, int(reste() / rangee));
        const int ici = qMin(n - premiere, parColonne * colonnes);
        const int rangeesIci = (ici + colonnes - 1) / colonnes;
        QList<std::pair<int, int>> cases;  // question number, answers
        for (int i = premiere; i < premiere + ici; ++i)
            cases.append({i + 1, int(questions[i].reponses.size())});
        poser(rangeesIci * rangee + mm(2), [=, this](QPainter &p, qreal y) {
            const QFontMetricsF mn(fn, &m_support), ml(fl, &m_support);
            for (qsizetype k = 0; k < cases.size(); ++k) {
                const qreal x = (k / rangeesIci) * largeurColonne, yy = y + (k % rangeesIci) * rangee;
                if (k % rangeesIci % 2 == 0)
                    p.fillRect(QRectF(x, yy, largeurColonne - mm(2), rangee), QColor(242, 245, 249));
                const qreal base = yy + rangee / 2 + mn.ascent() / 2 - mn.descent() / 2;
                p.setPen(Qt::black);
                p.setFont(fn);
                const QString num = QString::number(cases[k].first);
                p.drawText(QPointF(x + mm(8) - mn.horizontalAdvance(num), base), num);
                p.setFont(fl);
                for (int r = 0; r < cases[k].second; ++r) {
                    const qreal bx = x + mm(11) + r * mm(10.5);
                    p.setPen(QPen(Qt::black, mm(0.3)));
                    p.drawRect(QRectF(bx, yy + (rangee - cote) / 2, cote, cote));
                    p.drawText(QPointF(bx + cote + mm(1.2), base), QString(lettre(r)));
                }
            }
        });
        premiere += ici;
    }
}

// The modules of the QR code, without its quiet zone, as one path: drawn in one fill, the
// squares leave no hairline between them when the page is rendered. The text holds only
// upper-case letters, digits and ':', so at the correction level chosen (about a quarter of
// the code may be lost) the code keeps 25 modules of almost a millimetre each.
QPainterPath codeQr(const QString &texte, const QRectF &cadre)
{
    const ZXing::BitMatrix m =
        ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode).setMargin(0).setEccLevel(6).encode(texte.toStdString(), 0, 0);
    const qreal module = cadre.width() / m.width();
    QPainterPath chemin;
    chemin.setFillRule(Qt::WindingFill);
    for (int y = 0; y < m.height(); ++y)
        for (int x = 0; x < m.width();) {
            if (!m.get(x, y)) {
                ++x;
                continue;
            }
            int fin = x;
            while (fin < m.width() && m.get(fin, y))
                ++fin;
            chemin.addRect(QRectF(cadre.x() + x * module, cadre.y() + y * module, (fin - x) * module, module));
            x = fin;
        }
    return chemin;
}

// One page or more after the version's questions: four corner marks, the QR code that names
// the exam, the version and the page, the student's name and number, then one row of boxes
// per question. Everything a reader looks for is also put in `feuilles`.
void Composition::feuille(int version, const QList<Question> &questions)
{
    const QString groupe = QStringLiteral("Sujet %1").arg(version);
    const qreal l = m_papier.width(), h = m_papier.height(), gauche = m_zone.left(), droite = m_zone.right();
    const qreal haut = kBordRepere + kRepere + kAutourRepere, bas = h - kBordRepere - kRepere - kAutourRepere;
    const QColor trait(60, 60, 60), gris(90, 90, 90);
    const QPen contour(trait, mm(0.3));
    const int n = int(questions.size());
    int premiere = 0;
    do {
        const bool suite = premiere > 0;
        nouvellePage(groupe);
        pages.last().feuille = true;
        PageFeuille f;
        f.version = version;
        f.page = int(pages.size());
        f.largeur = l;
        f.hauteur = h;
        const qreal r = kBordRepere, c = kRepere;
        f.reperes = {RectMm{r, r, c, c}, RectMm{l - r - c, r, c, c}, RectMm{l - r - c, h - r - c, c, c},
                     RectMm{r, h - r - c, c, c}};
        f.qr = RectMm{droite - 4 - kCoteQr, haut + 2, kCoteQr, kCoteQr};
        const QPainterPath qr = codeQr(texteQr(m_sujets.examen, version, f.page), ici(f.qr));
        // Left of the code and its quiet zone (four modules, under 4 mm).
        const qreal finTexte = f.qr.x - 4 - 3, largeurTexte = finTexte - gauche;

        QList<Trace> traces;
        qreal y = haut;
        const Paragraphe titre =
            texte(QStringLiteral("Feuille de réponses — Sujet %1").arg(version) + (suite ? QStringLiteral(" (suite)") : QString()),
                  police(15, true), mm(largeurTexte));
        const QFont fe = police(10.5);
        const QString examen = QFontMetricsF(fe, &m_support)
                                   .elidedText(m_sujets.titre + QStringLiteral(" — ") + m_sujets.date, Qt::ElideMiddle,
                                               mm(largeurTexte));
        const qreal yTitre = y;
        y += enMm(titre.hauteur) + 1.5;
        const qreal yExamen = y;
        y += 6;
        traces << [=, this](QPainter &p, qreal) {
            p.setPen(Qt::black);
            titre.dessiner(p, ici(gauche, yTitre).x(), ici(gauche, yTitre).y());
            p.setFont(fe);
            p.setPen(gris);
            p.drawText(ici(gauche, yExamen) + QPointF(0, QFontMetricsF(fe, &m_support).ascent()), examen);
        };
        // The names, written by hand on dotted lines.
        const qreal milieu = gauche + largeurTexte / 2;
        QList<std::pair<QString, QString>> lignes{{QStringLiteral("Nom :"), QStringLiteral("Prénom :")}};
        if (!suite)
            lignes.append({QStringLiteral("Classe :"), QString()});
        for (const auto &[a, b] : lignes) {
            const Trace ta = ligneASaisir(a, ici(gauche, 0).x(), ici(milieu - 4, 0).x(), mm(9));
            const Trace tb = b.isEmpty() ? Trace() : ligneASaisir(b, ici(milieu, 0).x(), ici(finTexte, 0).x(), mm(9));
            const qreal yy = ici(0, y).y();
            traces << [=](QPainter &p, qreal) {
                ta(p, yy);
                if (tb)
                    tb(p, yy);
            };
            y += 9;
        }
        y = qMax(y, f.qr.y + f.qr.h + 4) + 2;
        const qreal ySeparation = y;
        traces << [=, this](QPainter &p, qreal) {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            for (const RectMm &m : f.reperes)
                p.drawRect(ici(m));
            p.drawPath(qr);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(150, 150, 150), mm(0.3)));
            p.drawLine(ici(gauche, ySeparation), ici(droite, ySeparation));
        };
        y += 4;

        if (!suite) {
            // The student number: a box per digit to write it, and under each the ten to fill.
            qreal xConsignes = gauche, hauteurNumero = 0;
            const int chiffres = m_sujets.chiffresEleve;
            if (chiffres > 0) {
                const QFont fc = police(10, true), fv = police(8.5);
                const qreal yCases = y + 6, yGrille = yCases + 8 + 3;
                for (int d = 0; d < chiffres; ++d)
                    for (int v = 0; v < 10; ++v)
                        f.numeroEleve << CaseChiffre{d + 1, v,
                                                     RectMm{gauche + d * kColonneChiffre + 4, yGrille + v * kRangeeChiffre,
                                                            kCaseChiffre, kCaseChiffre}};
                hauteurNumero = yGrille + 10 * kRangeeChiffre - y;
                xConsignes = gauche + chiffres * kColonneChiffre + 6;
                const QList<CaseChiffre> cases = f.numeroEleve;
                const qreal y0 = y;
                traces << [=, this](QPainter &p, qreal) {
                    p.setPen(Qt::black);
                    p.setFont(fc);
                    p.drawText(ici(gauche, y0) + QPointF(0, QFontMetricsF(fc, &m_support).ascent()),
                               QStringLiteral("Numéro d'élève"));
                    p.setPen(QPen(trait, mm(0.3)));
                    for (int d = 0; d < chiffres; ++d)
                        p.drawRect(ici(RectMm{gauche + d * kColonneChiffre + 2.75, yCases, 7, 8}));
                    const QFontMetricsF m(fv, &m_support);
                    p.setFont(fv);
                    for (const CaseChiffre &k : cases) {
                        const QString t = QString::number(k.valeur);
                        const QPointF o = ici(k.rect.x - 0.8, k.rect.y + k.rect.h / 2);
                        p.setPen(gris);
                        p.drawText(o + QPointF(-m.horizontalAdvance(t), (m.ascent() - m.descent()) / 2), t);
                        p.setPen(contour);
                        p.setBrush(Qt::white);
                        p.drawRect(ici(k.rect));
                        p.setBrush(Qt::NoBrush);
                    }
                };
            }
            const qreal largeurConsignes = droite - xConsignes;
            const Paragraphe tete = texte(QStringLiteral("Comment répondre"), police(10, true), mm(largeurConsignes));
            QString t = QStringLiteral(
                "• Pour chaque question, cochez une seule case, celle de la réponse choisie, au stylo noir ou bleu "
                "foncé : noircissez-la, ou tracez-y une croix bien nette. Un point, un petit trait ou un cercle autour "
                "de la case ne suffisent pas.\n"
                "• Pour changer de réponse, effacez complètement la case cochée ou couvrez-la de correcteur blanc, "
                "puis cochez la nouvelle case.\n");
            if (chiffres > 0)
                t += QStringLiteral("• Écrivez votre numéro d'élève dans les cases du haut, un chiffre par case, puis "
                                    "noircissez sous chaque chiffre la case qui porte ce chiffre.\n");
            t += QStringLiteral("• N'écrivez rien d'autre dans les cases, ne pliez pas la feuille et ne marquez ni "
                                "les carrés noirs des coins ni le code.");
            const Paragraphe consignes = texte(t, police(9.5), mm(largeurConsignes));
            const qreal y0 = y, yExemple = y + enMm(tete.hauteur + consignes.hauteur) + 3;
            const QFont fx = police(9.5);
            traces << [=, this](QPainter &p, qreal) {
                p.setPen(Qt::black);
                tete.dessiner(p, ici(xConsignes, y0).x(), ici(xConsignes, y0).y());
                p.setPen(QColor(40, 40, 40));
                consignes.dessiner(p, ici(xConsignes, y0).x(), ici(xConsignes, y0).y() + tete.hauteur + mm(1.5));
                // Two boxes ticked as they should be, beside two that a reader may miss.
                const QFontMetricsF m(fx, &m_support);
                const qreal base = ici(0, yExemple + kCaseChiffre / 2).y() + (m.ascent() - m.descent()) / 2;
                p.setFont(fx);
                qreal x = xConsignes;
                for (const auto &[etiquette, forme] : {std::pair{QStringLiteral("Ainsi :"), 0}, std::pair{QString(), 1},
                                                       std::pair{QStringLiteral("Pas ainsi :"), 2}, std::pair{QString(), 3}}) {
                    p.setPen(QColor(40, 40, 40));
                    p.drawText(QPointF(ici(x, 0).x(), base), etiquette);
                    x += enMm(m.horizontalAdvance(etiquette)) + (etiquette.isEmpty() ? 0 : 2);
                    const QRectF k = ici(RectMm{x, yExemple, kCaseChiffre, kCaseChiffre});
                    p.setPen(contour);
                    p.setBrush(forme == 0 ? QColor(30, 30, 30) : QColor(Qt::white));
                    p.drawRect(k);
                    p.setBrush(Qt::NoBrush);
                    p.setPen(QPen(QColor(30, 30, 30), mm(0.5)));
                    if (forme == 1) {
                        p.drawLine(k.topLeft(), k.bottomRight());
                        p.drawLine(k.topRight(), k.bottomLeft());
                    } else if (forme == 2) {
                        p.drawLine(k.center() - QPointF(mm(0.6), mm(0.2)), k.center() + QPointF(mm(0.5), mm(0.2)));
                    } else if (forme == 3) {
                        p.drawEllipse(k.adjusted(-mm(0.9), -mm(0.9), mm(0.9), mm(0.9)));
                    }
                    x += kCaseChiffre + (forme == 1 ? 8 : 3);
                }
            };
            y = qMax(y + hauteurNumero, yExemple + kCaseChiffre) + 6;
        }

        // The rows, column after column; a row is shaded so lightly that a box reads white.
        const int parColonne = qMax(1, int((bas - y) / kRangee));
        const int combien = qMin(n - premiere, parColonne * int(kColonnes));
        const int rangees = (combien + int(kColonnes) - 1) / int(kColonnes);
        const qreal largeurColonne = (droite - gauche) / kColonnes;
        QList<int> reponses;
        for (int k = 0; k < combien; ++k) {
            const int q = premiere + k;
            reponses << int(questions[q].reponses.size());
            const qreal x = gauche + (k / rangees) * largeurColonne, yy = y + (k % rangees) * kRangee;
            for (int r = 0; r < reponses.last(); ++r)
                f.cases << CaseFeuille{q + 1, r, RectMm{x + 10 + r * 11, yy + (kRangee - kCase) / 2, kCase, kCase}};
        }
        const qreal y0 = y;
        const QList<CaseFeuille> cases = f.cases;
        traces << [=, this](QPainter &p, qreal) {
            const QFont fn = police(10, true), fl = police(10);
            const QFontMetricsF mn(fn, &m_support), ml(fl, &m_support);
            for (int k = 0; k < combien; ++k) {
                const qreal x = gauche + (k / rangees) * largeurColonne, yy = y0 + (k % rangees) * kRangee;
                if (k % rangees % 2 == 1)
                    p.fillRect(QRectF(ici(x, yy), QSizeF(mm(largeurColonne - 2), mm(kRangee))), QColor(246, 246, 246));
                const QString num = QString::number(premiere + k + 1);
                const QPointF base = ici(x + 8, yy + kRangee / 2) + QPointF(0, (mn.ascent() - mn.descent()) / 2);
                p.setPen(Qt::black);
                p.setFont(fn);
                p.drawText(base - QPointF(mn.horizontalAdvance(num), 0), num);
            }
            p.setFont(fl);
            for (const CaseFeuille &k : cases) {
                p.setPen(contour);
                p.setBrush(Qt::white);
                p.drawRect(ici(k.rect));
                p.setBrush(Qt::NoBrush);
                p.setPen(Qt::black);
                p.drawText(ici(k.rect.x + k.rect.l + 1.2, k.rect.y + k.rect.h / 2)
                               + QPointF(0, (ml.ascent() - ml.descent()) / 2),
                           QString(lettre(k.reponse)));
            }
        };
        pages.last().traces = traces;
        feuilles << f;
        premiere += combien;
    } while (premiere < n);
}

void Composition::corrige(int version, const QList<Question> &questions)
{
    const QString groupe = QStringLiteral("Corrigé du sujet %1").arg(version);
    const int colonnes = 4;
    const qreal largeurColonne = m_largeur / colonnes, rangee = mm(7);
    const QFont ft = police(16, true), fs = police(10), fn = police(10.5), fl = police(10.5, true), ff = police(8);
    const int n = int(questions.size());
    int premiere = 0;
    do {
        nouvellePage(groupe);
        const Paragraphe titre = texte(QStringLiteral("Corrigé — Sujet %1").arg(version)
                                           + (premiere > 0 ? QStringLiteral(" (suite)") : QString()),
                                       ft, m_largeur);
        const Paragraphe sous = texte(m_sujets.titre + QStringLiteral(" — ") + m_sujets.date, fs, m_largeur);
        poser(titre.hauteur + sous.hauteur + mm(6), [=, this](QPainter &p, qreal y) {
            p.setPen(Qt::black);
            titre.dessiner(p, 0, y);
            p.setPen(QColor(60, 60, 60));
            sous.dessiner(p, 0, y + titre.hauteur + mm(1));
            p.setPen(QPen(Qt::black, mm(0.3)));
            const qreal yl = y + titre.hauteur + sous.hauteur + mm(3);
            p.drawLine(QPointF(0, yl), QPointF(m_largeur, yl));
        });
        const int parColonne = qMax(1, int(reste() / rangee));
        const int ici = qMin(n - premiere, parColonne * colonnes);
        // A short key reads down one column; a longer one fills the columns evenly.
        const int rangeesIci = qBound(1, qMax((ici + colonnes - 1) / colonnes, qMin(ici, 15)), parColonne);
        QList<std::tuple<int, QChar, int>> lignes;  // number, letter, card
        for (int i = premiere; i < premiere + ici; ++i)
            lignes.append({i + 1, lettre(questions[i].bonne), questions[i].fiche});
        poser(rangeesIci * rangee, [=, this](QPainter &p, qreal y) {
            const QFontMetricsF mn(fn, &m_support);
            for (qsizetype k = 0; k < lignes.size(); ++k) {
                const auto &[numero, l, fiche] = lignes[k];
                const qreal x = (k / rangeesIci) * largeurColonne, base = y + (k % rangeesIci) * rangee + mn.ascent();
                const QString num = QString::number(numero);
                p.setPen(Qt::black);
                p.setFont(fn);
                p.drawText(QPointF(x + mm(8) - mn.horizontalAdvance(num), base), num);
                p.setFont(fl);
                p.drawText(QPointF(x + mm(11), base), QString(l));
                p.setFont(ff);
                p.setPen(QColor(110, 110, 110));
                p.drawText(QPointF(x + mm(18), base), QStringLiteral("fiche %1").arg(fiche));
            }
        });
        premiere += ici;
    } while (premiere < n);
}

} // namespace

Dessin dessinerSujets(QPagedPaintDevice &support, const Sujets &sujets, const Progression &progression)
{
    Dessin d;
    Composition c(support, sujets);
    qint64 total = 0;
    for (const auto &v : sujets.versions)
        total += 2 * v.size();
    qint64 fait = 0;
    auto avancer = [&](qint64 pas) {
        fait += pas;
        if (progression && !progression(fait, qMax<qint64>(1, total))) {
            d.annule = true;
            return false;
        }
        return true;
    };

    for (qsizetype v = 0; v < sujets.versions.size(); ++v) {
        const QList<Question> &questions = sujets.versions[v];
        const QString groupe = QStringLiteral("Sujet %1").arg(v + 1);
        c.nouvellePage(groupe);
        c.entete(int(v + 1));
        for (qsizetype i = 0; i < questions.size(); ++i) {
            c.question(int(i + 1), questions[i], groupe);
            if (!avancer(1))
                return d;
        }
        if (sujets.feuilleReponses)
            c.feuille(int(v + 1), questions);
        else
            c.grille(int(v + 1), questions);
    }
    for (qsizetype v = 0; v < sujets.versions.size(); ++v)
        c.corrige(int(v + 1), sujets.versions[v]);
    d.remarques = c.remarques;
    d.feuilles = c.feuilles;

    // Each page numbered within its version or its answer key.
    QHash<QString, int> parGroupe;
    for (Page &p : c.pages)
        p.rang = ++parGroupe[p.groupe];
    for (Page &p : c.pages)
        p.total = parGroupe.value(p.groupe);

    QPainter peintre;
    if (!peintre.begin(&support)) {
        d.ok = false;
        return d;
    }
    peintre.setRenderHint(QPainter::Antialiasing);
    peintre.setRenderHint(QPainter::SmoothPixmapTransform);
    const QFont pied = c.police(8);
    const qreal basPied = support.height() - c.mm(1.5);
    const qint64 restant = total - fait;
    for (qsizetype i = 0; i < c.pages.size(); ++i) {
        if (i > 0 && !support.newPage()) {
            d.ok = false;
            peintre.end();
            return d;
        }
        const Page &p = c.pages[i];
        for (const Trace &t : p.traces)
            t(peintre, 0);
        peintre.setFont(pied);
        peintre.setPen(QColor(90, 90, 90));
        // A long title gives way: the version the page belongs to is always read.
        const QFontMetricsF m(pied, &support);
        const QString suite = QStringLiteral(" — ") + p.groupe;
        const qreal retrait = p.feuille ? qMax<qreal>(0, c.ici(kBordRepere + kRepere + kAutourRepere, 0).x()) : 0;
        const QString gauche =
            m.elidedText(sujets.titre, Qt::ElideRight, c.largeur() * 0.7 - m.horizontalAdvance(suite) - retrait) + suite;
        const QString droite = QStringLiteral("page %1 / %2").arg(p.rang).arg(p.total);
        peintre.drawText(QPointF(retrait, basPied), gauche);
        peintre.drawText(QPointF(c.largeur() - retrait - m.horizontalAdvance(droite), basPied), droite);
        if (!avancer(restant * (i + 1) / c.pages.size() - restant * i / c.pages.size())) {
            peintre.end();
            return d;
        }
    }
    d.pages = int(c.pages.size());
    d.ok = peintre.end();
    return d;
}

ResultatSortie ecrireSujets(const echanges::CheminsBanque &banque, const Choix &choix, const OptionsSujets &options,
                            const QString &fichier, const Progression &progression)
{
    ResultatSortie r;
    const Sujets sujets = preparerSujets(banque, choix, options);
    r.remarques = sujets.tirage.remarques;
    if (!sujets.tirage.resultat) {
        r.resultat = sujets.tirage.resultat;
        return r;
    }
    if (sujets.tirage.questions.isEmpty()) {
        r.resultat = Resultat::echec(texteAucuneFiche());
        return r;
    }
    QSaveFile f(fichier);
    if (!f.open(QIODevice::WriteOnly)) {
        r.resultat = Resultat::echec(texteEcritureImpossible(fichier, f.errorString()));
        return r;
    }
    Dessin d;
    {
        QPdfWriter pdf(&f);
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(16, 14, 16, 12),
                                      QPageLayout::Millimeter));
        pdf.setCreator(QStringLiteral("Orbelin"));
        pdf.setTitle(sujets.titre);
        d = dessinerSujets(pdf, sujets, progression);
    }
    r.remarques += d.remarques;
    if (d.annule) {
        f.cancelWriting();
        r.annule = true;
        r.resultat = Resultat::echec(QString());
        return r;
    }
    if (!d.ok) {
        f.cancelWriting();
        r.resultat = Resultat::echec(texteEcritureImpossible(fichier, f.errorString()));
        return r;
    }
    // The key is written whole before the PDF takes its name, and takes its own after: a key
    // is never left without its PDF, nor an older one beside a new PDF.
    const QString cle = fichierCorrige(fichier);
    QSaveFile k(cle);
    if (sujets.feuilleReponses) {
        Corrige corrige = corrigeDesSujets(sujets);
        corrige.pages = d.feuilles;
        if (!k.open(QIODevice::WriteOnly) || k.write(versJson(corrige)) < 0) {
            f.cancelWriting();
            r.resultat = Resultat::echec(texteEcritureImpossible(cle, k.errorString()));
            return r;
        }
    }
    if (!f.commit()) {
        r.resultat = Resultat::echec(texteEcritureImpossible(fichier, f.errorString()));
        return r;
    }
    if (sujets.feuilleReponses) {
        if (!k.commit()) {
            QFile::remove(fichier);
            QFile::remove(cle);
            r.resultat = Resultat::echec(texteEcritureImpossible(cle, k.errorString())
                                         + QStringLiteral(" Le fichier %1 a été supprimé : il n'irait pas sans son corrigé.")
                                               .arg(QDir::toNativeSeparators(fichier)));
            return r;
        }
        r.corrige = cle;
    } else if (QFileInfo(cle).isFile()) {
        // A key left by earlier sheets of that name no longer matches them.
        QFile::remove(cle);
    }
    r.questions = int(sujets.tirage.questions.size());
    r.pages = d.pages;
    return r;
}

} // namespace classe
