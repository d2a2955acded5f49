#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// The key of an exam printed with answer sheets (NAME.corrige.json): what each version asks,
// its good answers, and where every box sits on every answer sheet. Written beside the PDF,
// read back to mark the scanned sheets and to analyse the results. Window-free.
namespace classe {

// A rectangle in millimetres from the page's top-left corner.
struct RectMm {
    double x = 0, y = 0, l = 0, h = 0;
    friend bool operator==(const RectMm &, const RectMm &) = default;
};

struct CaseFeuille {
    int question = 0;  // its number in the version, from 1
    int reponse = 0;   // 0 = A, 1 = B, 2 = C
    RectMm rect;
    friend bool operator==(const CaseFeuille &, const CaseFeuille &) = default;
};

struct CaseChiffre {
    int chiffre = 0;  // the digit's position in the student number, from 1
    int valeur = 0;   // 0 to 9
    RectMm rect;
    friend bool operator==(const CaseChiffre &, const CaseChiffre &) = default;
};

// One answer sheet page of the PDF.
struct PageFeuille {
    int version = 0;  // from 1
    int page = 0;     // the page of the PDF, from 1
    double largeur = 210, hauteur = 297;
    std::array<RectMm, 4> reperes;  // the corner marks: top left, top right, bottom right, bottom left
    RectMm qr;
    QList<CaseFeuille> cases;
    QList<CaseChiffre> numeroEleve;
    friend bool operator==(const PageFeuille &, const PageFeuille &) = default;
};

struct QuestionCorrigee {
    int numero = 0;  // from 1, in the version's order
    int fiche = 0;   // the card's number in the bank
    QString question;
    QStringList reponses;  // in the printed order
    QList<int> origines;   // for each printed answer, its number on the card (1 to 3)
    int bonne = 0;         // index in `reponses`
    friend bool operator==(const QuestionCorrigee &, const QuestionCorrigee &) = default;
};

struct VersionCorrigee {
    int version = 0;
    QList<QuestionCorrigee> questions;
    friend bool operator==(const VersionCorrigee &, const VersionCorrigee &) = default;
};

struct Bareme {
    double bonne = 1, fausse = 0, vide = 0;
    friend bool operator==(const Bareme &, const Bareme &) = default;
};

struct Corrige {
    QString examen;  // names this exam; the sheets' QR codes carry it
    QString titre;
    QString banque;  // the bank the cards come from, its absolute path
    quint64 graine = 0;
    Bareme bareme;
    QList<VersionCorrigee> versions;
    QList<PageFeuille> pages;

    const VersionCorrigee *version(int v) const;
    const PageFeuille *page(int version, int page) const;
    friend bool operator==(const Corrige &, const Corrige &) = default;
};

// "NAME.corrige.json" beside "NAME.pdf" (any other name: the name plus ".corrige.json").
QString fichierCorrige(const QString &pdf);
// What is written beside a key: "NAME.corrige.json" and ".resultats.csv" give "NAME.resultats.csv".
QString aCoteDuCorrige(const QString &corrige, const QString &fin);

// Indented UTF-8 JSON.
QByteArray versJson(const Corrige &c);
// Reads a key back; on failure, says what is wrong in French and leaves `c` as it was.
Resultat depuisJson(const QByteArray &json, Corrige &c);
Resultat lireCorrige(const QString &fichier, Corrige &c);
// Written whole or not at all.
Resultat ecrireCorrige(const QString &fichier, const Corrige &c);

// What the QR code of an answer sheet says: "ORBELIN:exam:version:page".
QString texteQr(const QString &examen, int version, int page);
// False when the text is not one of ours.
bool lireQr(const QString &texte, QString *examen, int *version, int *page);

} // namespace classe
