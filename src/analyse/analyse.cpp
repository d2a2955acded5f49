#include "analyse/analyse.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace analyse {

namespace {

bool juste(const Epreuve &e, const Copie &c, qsizetype i) { return c.choix.value(i, Aucune) == e.bonnes[i]; }

// Population variance: the class is the whole population the figures speak of.
double variance(const QList<double> &v, double moyenne)
{
    double s = 0;
    for (double x : v)
        s += (x - moyenne) * (x - moyenne);
    return v.isEmpty() ? 0 : s / double(v.size());
}

double moyenneDe(const QList<double> &v)
{
    return v.isEmpty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

} // namespace

double note(const Epreuve &e, const Copie &c)
{
    const qsizetype k = e.fiches.size();
    if (k == 0 || e.bareme.bonne <= 0)
        return 0;
    double points = 0;
    for (qsizetype i = 0; i < k; ++i) {
        const qint8 x = c.choix.value(i, Aucune);
        points += x == e.bonnes[i] ? e.bareme.bonne : x == Aucune ? e.bareme.vide : e.bareme.fausse;
    }
    return qBound(0.0, 20.0 * points / (double(k) * e.bareme.bonne), 20.0);
}

Analyse analyser(const Epreuve &e)
{
    Analyse a;
    a.titre = e.titre;
    a.banque = e.banque;
    const qsizetype n = e.copies.size(), k = e.fiches.size();
    a.copies = int(n);

    // The copies' totals: how many questions each got right.
    QList<int> totaux(n, 0);
    std::vector<std::vector<char>> justes(size_t(n), std::vector<char>(size_t(k), 0));
    for (qsizetype c = 0; c < n; ++c)
        for (qsizetype i = 0; i < k; ++i)
            if (juste(e, e.copies[c], i)) {
                justes[size_t(c)][size_t(i)] = 1;
                ++totaux[c];
            }

    // The upper and lower groups: the first and the last 27 % by total, ties in copy order.
    QList<int> ordre(n);
    std::iota(ordre.begin(), ordre.end(), 0);
    std::stable_sort(ordre.begin(), ordre.end(), [&](int x, int y) { return totaux[x] > totaux[y]; });
    const qsizetype g = qsizetype(std::lround(0.27 * double(n)));
    const QList<int> haut = ordre.mid(0, g), bas = ordre.mid(n - g, g);

    QList<double> totauxReels;
    for (int t : totaux)
        totauxReels << double(t);
    const double moyenneTotaux = moyenneDe(totauxReels);
    const double varianceTotaux = variance(totauxReels, moyenneTotaux);
    double sommePQ = 0;

    for (qsizetype i = 0; i < k; ++i) {
        Question q;
        q.fiche = e.fiches[i];
        q.texte = e.questions.value(i);
        q.reponses = e.reponses.value(i);
        q.bonne = e.bonnes[i];
        int bons = 0;
        for (qsizetype c = 0; c < n; ++c) {
            const qint8 x = e.copies[c].choix.value(i, Aucune);
            ++q.choix[x >= 1 && x <= 3 ? size_t(x - 1) : 3];
            bons += justes[size_t(c)][size_t(i)];
        }
        q.p = n > 0 ? double(bons) / double(n) : 0;
        sommePQ += q.p * (1 - q.p);

        // Pearson between the question's score and the rest of the copy's total.
        if (n > 1) {
            double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
            for (qsizetype c = 0; c < n; ++c) {
                const double x = justes[size_t(c)][size_t(i)], y = totaux[c] - x;
                sx += x;
                sy += y;
                sxx += x * x;
                syy += y * y;
                sxy += x * y;
            }
            const double nn = double(n);
            const double vx = sxx - sx * sx / nn, vy = syy - sy * sy / nn;
            if (vx > 1e-12 && vy > 1e-12)
                q.r = (sxy - sx * sy / nn) / std::sqrt(vx * vy);
        }

        int dansHaut[4] = {0, 0, 0, 0};
        if (g > 0) {
            int h = 0, b = 0;
            for (int c : haut) {
                h += justes[size_t(c)][size_t(i)];
                const qint8 x = e.copies[c].choix.value(i, Aucune);
                if (x >= 1 && x <= 3)
                    ++dansHaut[x];
            }
            for (int c : bas)
                b += justes[size_t(c)][size_t(i)];
            q.d = double(h - b) / double(g);
        }

        if (n > 0 && q.p > 0.9)
            q.alertes << QStringLiteral("trop facile");
        if (n > 0 && q.p < 0.2)
            q.alertes << QStringLiteral("trop difficile");
        bool piege = false;
        for (int x = 1; x <= 3; ++x)
            piege = piege || (x != q.bonne && dansHaut[x] > dansHaut[q.bonne]);
        if ((q.r && *q.r < 0.1) || piege)
            q.alertes << QStringLiteral("à revoir");
        a.questions << q;
    }

    for (const Copie &c : e.copies)
        a.notes << note(e, c);
    if (n > 0) {
        a.moyenne = moyenneDe(a.notes);
        a.ecartType = std::sqrt(variance(a.notes, *a.moyenne));
        QList<double> triees = a.notes;
        std::sort(triees.begin(), triees.end());
        a.mediane = n % 2 ? triees[n / 2] : (triees[n / 2 - 1] + triees[n / 2]) / 2;
        for (double x : a.notes)
            ++a.histogramme[size_t(qBound(0, int(x / (20.0 / ClassesNotes)), ClassesNotes - 1))];
    }
    if (k > 1 && varianceTotaux > 1e-12)
        a.kr20 = double(k) / double(k - 1) * (1 - sommePQ / varianceTotaux);
    return a;
}

// ---------------------------------------------------------------------------
// Reports

namespace {

// Four decimals are more than a class of a few hundred copies can tell apart.
QString jsonNombre(std::optional<double> v)
{
    if (!v || !std::isfinite(*v))
        return QStringLiteral("null");
    double x = std::round(*v * 10000) / 10000;
    if (x == 0)
        x = 0;  // no "-0"
    return QString::number(x, 'g', 12);
}

QString jsonTexte(const QString &t)
{
    QString s = QStringLiteral("\"");
    for (QChar c : t) {
        if (c == u'"' || c == u'\\')
            s += u'\\' + QString(c);
        else if (c.unicode() < 0x20)
            s += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            s += c;
    }
    return s + u'"';
}

} // namespace

QString nombre(std::optional<double> v, int decimales)
{
    if (!v || !std::isfinite(*v))
        return QStringLiteral("—");
    QString t = QString::number(*v, 'f', decimales);
    if (t.startsWith(u'-') && t.mid(1).count(u'0') == t.size() - 2)
        t.remove(0, 1);  // "-0,00"
    return t.replace(u'.', u',');
}

QString enJson(const Analyse &a)
{
    QString t = QStringLiteral("{\"copies\": %1, \"moyenne\": %2, \"mediane\": %3, \"ecart_type\": %4, \"kr20\": %5, "
                               "\"questions\": [")
                    .arg(a.copies)
                    .arg(jsonNombre(a.moyenne), jsonNombre(a.mediane), jsonNombre(a.ecartType), jsonNombre(a.kr20));
    for (qsizetype i = 0; i < a.questions.size(); ++i) {
        const Question &q = a.questions[i];
        QStringList alertes;
        for (const QString &x : q.alertes)
            alertes << jsonTexte(x);
        t += (i ? QStringLiteral(",\n  ") : QStringLiteral("\n  "))
             + QStringLiteral("{\"fiche\": %1, \"p\": %2, \"r\": %3, \"d\": %4, "
                              "\"choix\": {\"1\": %5, \"2\": %6, \"3\": %7, \"vide\": %8}, \"alertes\": [%9]")
                   .arg(q.fiche)
                   .arg(jsonNombre(q.p), jsonNombre(q.r), jsonNombre(q.d))
                   .arg(q.choix[0])
                   .arg(q.choix[1])
                   .arg(q.choix[2])
                   .arg(q.choix[3])
                   .arg(alertes.join(QStringLiteral(", ")));
        if (q.precedent)
            t += QStringLiteral(", \"precedent\": {\"date\": %1, \"p\": %2, \"r\": %3}")
                     .arg(jsonTexte(q.precedent->date.toUTC().toString(Qt::ISODate)), jsonNombre(q.precedent->p),
                          jsonNombre(q.precedent->r));
        t += u'}';
    }
    return t + (a.questions.isEmpty() ? QStringLiteral("]}") : QStringLiteral("\n]}"));
}

QString enTexte(const Analyse &a)
{
    QString t;
    if (!a.titre.isEmpty())
        t += a.titre + u'\n';
    t += QStringLiteral("%1 copie%2 · moyenne %3 / 20 · médiane %4 · écart type %5 · KR-20 %6\n\n")
             .arg(a.copies)
             .arg(a.copies > 1 ? QStringLiteral("s") : QString())
             .arg(nombre(a.moyenne), nombre(a.mediane), nombre(a.ecartType), nombre(a.kr20));
    t += QStringLiteral("Fiche      p      r      d     1     2     3  vide  Précédent      Alertes\n");
    for (const Question &q : a.questions) {
        QString choix;
        for (int x = 0; x < 4; ++x)
            choix += (x + 1 == q.bonne ? QString::number(q.choix[size_t(x)]) + u'*' : QString::number(q.choix[size_t(x)]) + u' ')
                         .rightJustified(6);
        const QString avant = q.precedent ? QStringLiteral("%1 %2").arg(nombre(q.precedent->p), nombre(q.precedent->r))
                                          : QString();
        t += QString::number(q.fiche).rightJustified(5) + nombre(q.p).rightJustified(7) + nombre(q.r).rightJustified(7)
             + nombre(q.d).rightJustified(7) + choix + u' ' + avant.leftJustified(14) + u' '
             + q.alertes.join(QStringLiteral(", "));
        while (t.endsWith(u' '))
            t.chop(1);
        t += u'\n';
    }
    t += QStringLiteral("\nNotes sur 20 :\n");
    const int max = a.histogramme.empty() ? 0 : *std::max_element(a.histogramme.begin(), a.histogramme.end());
    for (int b = 0; b < ClassesNotes; ++b) {
        const int x = a.histogramme[size_t(b)];
        const int largeur = max > 0 ? (x * 40 + max - 1) / max : 0;
        t += QStringLiteral("%1 à %2 %3 %4\n")
                 .arg(b * 2, 2)
                 .arg(b == ClassesNotes - 1 ? QStringLiteral("20") : QStringLiteral("<%1").arg(b * 2 + 2).rightJustified(3))
                 .arg(QString(largeur, u'#').leftJustified(40), QString::number(x));
    }
    t += QStringLiteral("\n* la bonne réponse ; « vide » : aucune réponse, plusieurs cases ou une marque douteuse.\n");
    return t;
}

QByteArray enCsv(const Analyse &a)
{
    auto champ = [](QString t) {
        if (t.contains(u';') || t.contains(u'"') || t.contains(u'\n'))
            t = u'"' + t.replace(u'"', QStringLiteral("\"\"")) + u'"';
        return t;
    };
    QString t = QStringLiteral("fiche;question;p;r;d;choix_1;choix_2;choix_3;vide;bonne;alertes;p_precedent;r_precedent\r\n");
    for (const Question &q : a.questions) {
        QStringList l{QString::number(q.fiche), champ(QString(q.texte).replace(u'\n', u' ')), nombre(q.p, 4),
                      q.r ? nombre(q.r, 4) : QString(), q.d ? nombre(q.d, 4) : QString()};
        for (int x : q.choix)
            l << QString::number(x);
        l << QString::number(q.bonne) << champ(q.alertes.join(QStringLiteral(", ")));
        l << (q.precedent ? nombre(q.precedent->p, 4) : QString())
          << (q.precedent && q.precedent->r ? nombre(q.precedent->r, 4) : QString());
        t += l.join(u';') + QStringLiteral("\r\n");
    }
    return t.toUtf8();
}

} // namespace analyse
