#include "correction/copies.h"

#include "classroom/page_quiz.h"
#include "exchange/formats.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace correction {

namespace {

const QString kLettres = QStringLiteral("ABC");

// The rank of a page among the answer sheet pages of its version, from 1.
int rangFeuille(const classe::Corrige &corrige, int version, int page)
{
    int rang = 0;
    for (const classe::PageFeuille &p : corrige.pages)
        if (p.version == version && p.page <= page)
            ++rang;
    return rang;
}

// Lines of ";"-separated fields, quotes allowed around a field; a UTF-8 mark first is dropped.
Resultat lireLignes(const QString &fichier, QList<std::pair<int, QStringList>> &lignes)
{
    QFile f(fichier);
    if (!f.open(QIODevice::ReadOnly))
        return Resultat::echec(QStringLiteral("Impossible de lire « %1 » : %2").arg(fichier, f.errorString()));
    if (f.size() > 16 * 1024 * 1024)
        return Resultat::echec(QStringLiteral("« %1 » est trop grand pour une liste.").arg(QFileInfo(fichier).fileName()));
    QString texte = QString::fromUtf8(f.readAll());
    if (texte.startsWith(QChar(0xFEFF)))
        texte.remove(0, 1);
    int numero = 0;
    for (QStringView ligne : QStringView(texte).split(u'\n')) {
        ++numero;
        if (ligne.endsWith(u'\r'))
            ligne.chop(1);
        if (ligne.trimmed().isEmpty())
            continue;
        QStringList champs = echanges::champsCsv(ligne, u';');
        for (QString &c : champs)
            c = c.trimmed();
        lignes.append({numero, champs});
    }
    return Resultat::succes();
}

QString sansZeros(const QString &numero)
{
    qsizetype i = 0;
    while (i + 1 < numero.size() && numero[i] == u'0')
        ++i;
    return numero.mid(i);
}

} // namespace

Etat juger(double encre, double gris)
{
    if (encre >= 0.22)
        return Etat::Cochee;
    if (encre < 0.035 && gris < 0.1)
        return Etat::Vide;
    return Etat::Douteuse;
}

QString nombreFrancais(double v)
{
    QString t = QString::number(std::round(v * 100) / 100, 'f', 2);
    while (t.contains(u'.') && (t.endsWith(u'0') || t.endsWith(u'.')))
        t.chop(1);
    if (t == QStringLiteral("-0"))
        t = QStringLiteral("0");
    return t.replace(u'.', u',');
}

QList<Copie> assembler(const QList<FeuilleLue> &feuilles, const classe::Corrige &corrige)
{
    QList<Copie> copies;
    int dernierRang = 0;
    for (qsizetype i = 0; i < feuilles.size(); ++i) {
        const FeuilleLue &f = feuilles[i];
        const classe::PageFeuille *page = f.lue ? corrige.page(f.version, f.page) : nullptr;
        const classe::VersionCorrigee *version = f.lue ? corrige.version(f.version) : nullptr;
        if (!page || !version)
            continue;
        const int rang = rangFeuille(corrige, f.version, f.page);
        if (copies.isEmpty() || rang == 1 || copies.last().version != f.version || rang != dernierRang + 1) {
            Copie c;
            c.numero = int(copies.size() + 1);
            c.version = f.version;
            // Until a page holding them is read, a question's answer is unknown.
            c.reponses.resize(version->questions.size(), ReponseCopie{QString(), true, false});
            c.eleveDouteux = false;
            copies << c;
        }
        dernierRang = rang;
        Copie &c = copies.last();
        c.feuilles << int(i);

        QMap<int, QList<std::pair<int, Etat>>> parQuestion;
        for (qsizetype k = 0; k < page->cases.size() && k < f.cases.size(); ++k)
            parQuestion[page->cases[k].question].append({page->cases[k].reponse, f.cases[k]});
        for (auto it = parQuestion.cbegin(); it != parQuestion.cend(); ++it) {
            if (it.key() < 1 || it.key() > c.reponses.size())
                continue;
            ReponseCopie r;
            QList<std::pair<int, Etat>> cases = it.value();
            std::sort(cases.begin(), cases.end(), [](auto a, auto b) { return a.first < b.first; });
            for (const auto &[reponse, etat] : cases) {
                if (etat == Etat::Cochee)
                    r.lues += kLettres.at(reponse);
                r.douteuse = r.douteuse || etat == Etat::Douteuse;
            }
            r.douteuse = r.douteuse || r.lues.size() > 1;
            c.reponses[it.key() - 1] = r;
        }

        if (!page->numeroEleve.isEmpty()) {
            QMap<int, QList<int>> cochees;
            QMap<int, bool> douteux;
            for (qsizetype k = 0; k < page->numeroEleve.size() && k < f.chiffres.size(); ++k) {
                const classe::CaseChiffre &cc = page->numeroEleve[k];
                douteux[cc.chiffre] = douteux.value(cc.chiffre) || f.chiffres[k] == Etat::Douteuse;
                if (f.chiffres[k] == Etat::Cochee)
                    cochees[cc.chiffre] << cc.valeur;
                else
                    cochees[cc.chiffre];
            }
            QString numero;
            bool lisible = true;
            for (auto it = cochees.cbegin(); it != cochees.cend(); ++it) {
                lisible = lisible && it.value().size() == 1 && !douteux.value(it.key());
                if (it.value().size() == 1)
                    numero += QString::number(it.value().first());
            }
            c.eleve = lisible ? numero : QString();
            c.eleveDouteux = !lisible;
        }
    }
    for (Copie &c : copies)
        noter(c, corrige);
    return copies;
}

void noter(Copie &copie, const classe::Corrige &corrige)
{
    const classe::VersionCorrigee *version = corrige.version(copie.version);
    copie.points = 0;
    copie.note = 0;
    if (!version || version->questions.isEmpty())
        return;
    for (qsizetype i = 0; i < version->questions.size() && i < copie.reponses.size(); ++i) {
        const QString l = copie.reponses[i].lettres();
        if (l.isEmpty())
            copie.points += corrige.bareme.vide;
        else if (l == QString(kLettres.at(version->questions[i].bonne)))
            copie.points += corrige.bareme.bonne;
        else
            copie.points += corrige.bareme.fausse;
    }
    const double maximum = corrige.bareme.bonne * double(version->questions.size());
    copie.note = maximum > 0 ? std::round(qBound(0.0, copie.points / maximum, 1.0) * 2000) / 100 : 0;
}

void decider(Copie &copie, int question, const QString &lettres, const classe::Corrige &corrige)
{
    if (question < 1 || question > copie.reponses.size())
        return;
    ReponseCopie &r = copie.reponses[question - 1];
    r.lues = lettres;
    r.decidee = true;
    noter(copie, corrige);
}

void deciderEleve(Copie &copie, const QString &numero)
{
    copie.eleve = numero;
    copie.eleveDouteux = false;
}

Resultat appliquerDecisions(const QString &fichier, QList<Copie> &copies, const classe::Corrige &corrige)
{
    QList<std::pair<int, QStringList>> lignes;
    if (const Resultat r = lireLignes(fichier, lignes); !r)
        return r;
    const QString nom = QFileInfo(fichier).fileName();
    for (const auto &[numero, champs] : lignes) {
        auto faute = [&, numero = numero](const QString &quoi) {
            return Resultat::echec(QStringLiteral("%1, ligne %2 : %3").arg(nom).arg(numero).arg(quoi));
        };
        bool ok = false;
        const int copie = champs.value(0).toInt(&ok);
        if (!ok && numero == lignes.first().first)
            continue;  // a heading
        if (!ok || copie < 1 || copie > copies.size())
            return faute(QStringLiteral("pas de copie « %1 »").arg(champs.value(0)));
        if (champs.size() != 3)
            return faute(QStringLiteral("trois champs attendus : copie;question;réponse"));
        Copie &c = copies[copie - 1];
        if (champs[1].compare(QStringLiteral("eleve"), Qt::CaseInsensitive) == 0) {
            if (!std::all_of(champs[2].cbegin(), champs[2].cend(), [](QChar ch) { return ch.isDigit(); }))
                return faute(QStringLiteral("un numéro d'élève n'a que des chiffres"));
            deciderEleve(c, champs[2]);
            continue;
        }
        const int question = champs[1].toInt(&ok);
        if (!ok || question < 1 || question > c.reponses.size())
            return faute(QStringLiteral("la copie %1 n'a pas de question « %2 »").arg(copie).arg(champs[1]));
        QString lettres = champs[2].toUpper();
        if (std::any_of(lettres.cbegin(), lettres.cend(), [](QChar ch) { return !kLettres.contains(ch); }))
            return faute(QStringLiteral("une réponse s'écrit A, B, C, AB… ou rien"));
        std::sort(lettres.begin(), lettres.end());
        lettres.erase(std::unique(lettres.begin(), lettres.end()), lettres.end());
        decider(c, question, lettres, corrige);
    }
    return Resultat::succes();
}

Resultat lireClasse(const QString &fichier, QList<Eleve> &eleves)
{
    QList<std::pair<int, QStringList>> lignes;
    if (const Resultat r = lireLignes(fichier, lignes); !r)
        return r;
    const QString nom = QFileInfo(fichier).fileName();
    QHash<QString, int> vus;
    QList<Eleve> liste;
    for (const auto &[numero, champs] : lignes) {
        const QString n = champs.value(0);
        const bool chiffres = !n.isEmpty() && std::all_of(n.cbegin(), n.cend(), [](QChar c) { return c.isDigit(); });
        if (!chiffres && numero == lignes.first().first)
            continue;  // a heading
        if (!chiffres)
            return Resultat::echec(QStringLiteral("%1, ligne %2 : le numéro « %3 » n'est pas fait de chiffres.")
                                       .arg(nom)
                                       .arg(numero)
                                       .arg(n));
        if (vus.contains(sansZeros(n)))
            return Resultat::echec(QStringLiteral("%1, ligne %2 : le numéro %3 est déjà celui de la ligne %4.")
                                       .arg(nom)
                                       .arg(numero)
                                       .arg(n)
                                       .arg(vus.value(sansZeros(n))));
        vus.insert(sansZeros(n), numero);
        liste << Eleve{n, champs.value(1), champs.value(2), champs.value(3)};
    }
    eleves = liste;
    return Resultat::succes();
}

QStringList nommer(QList<Copie> &copies, const QList<Eleve> &eleves)
{
    QStringList remarques;
    QHash<QString, const Eleve *> parNumero;
    for (const Eleve &e : eleves)
        parNumero.insert(sansZeros(e.numero), &e);
    QHash<QString, int> premiere;
    for (Copie &c : copies) {
        c.nom.clear();
        if (c.eleve.isEmpty())
            continue;
        const QString cle = sansZeros(c.eleve);
        if (premiere.contains(cle))
            remarques << QStringLiteral("Le numéro %1 est lu sur les copies %2 et %3.")
                             .arg(c.eleve)
                             .arg(premiere.value(cle))
                             .arg(c.numero);
        else
            premiere.insert(cle, c.numero);
        if (const Eleve *e = parNumero.value(cle))
            c.nom = QStringList{e->prenom, e->nom}.join(u' ').trimmed();
        else if (!eleves.isEmpty())
            remarques << QStringLiteral("Copie %1 : le numéro %2 n'est pas dans la liste de la classe.").arg(c.numero).arg(c.eleve);
    }
    return remarques;
}

QByteArray resultatsCsv(const QList<Copie> &copies, const classe::Corrige &corrige)
{
    qsizetype questions = 0;
    for (const classe::VersionCorrigee &v : corrige.versions)
        questions = qMax(questions, v.questions.size());
    QString t = QStringLiteral("copie;eleve;nom;version;note_sur_20;points");
    for (qsizetype i = 1; i <= questions; ++i)
        t += QStringLiteral(";Q%1").arg(i);
    t += QStringLiteral("\r\n");
    for (const Copie &c : copies) {
        t += QString::number(c.numero) + u';' + c.eleve + u';';
        echanges::champCsv(t, c.nom, u';');
        t += u';' + QString::number(c.version) + u';' + nombreFrancais(c.note) + u';' + nombreFrancais(c.points);
        for (qsizetype i = 0; i < questions; ++i)
            t += u';' + (i < c.reponses.size() ? c.reponses[i].lettres() : QString());
        t += QStringLiteral("\r\n");
    }
    return t.toUtf8();
}

Resultat ecrireResultats(const QString &fichier, const QList<Copie> &copies, const classe::Corrige &corrige)
{
    QSaveFile f(fichier);
    if (!f.open(QIODevice::WriteOnly) || f.write(resultatsCsv(copies, corrige)) < 0 || !f.commit())
        return Resultat::echec(classe::texteEcritureImpossible(fichier, f.errorString()));
    return Resultat::succes();
}

QStringList doutes(const QList<Copie> &copies)
{
    QStringList l;
    for (const Copie &c : copies) {
        if (c.eleveDouteux)
            l << QStringLiteral("Copie %1 : numéro d'élève illisible.").arg(c.numero);
        for (qsizetype i = 0; i < c.reponses.size(); ++i) {
            const ReponseCopie &r = c.reponses[i];
            if (!r.douteuse || r.decidee)
                continue;
            l << (r.lues.size() > 1 ? QStringLiteral("Copie %1, question %2 : %3 cases cochées (%4).")
                                          .arg(c.numero)
                                          .arg(i + 1)
                                          .arg(r.lues.size() == 2 ? QStringLiteral("deux") : QStringLiteral("trois"))
                                          .arg(r.lues)
                                    : QStringLiteral("Copie %1, question %2 : marque douteuse.").arg(c.numero).arg(i + 1));
        }
    }
    return l;
}

} // namespace correction
