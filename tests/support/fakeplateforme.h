#pragma once
#include "platform/platform.h"

#include <QList>
#include <QMap>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

// Records every call the windows make to the desktop and answers from a script.
class FakePlateforme : public Plateforme {
public:
    struct Message {
        QString texte;
        Boutons boutons;
        Icone icone;
        Reponse parDefaut;
        QString titre;  // as asked: empty means the application's title
    };

    explicit FakePlateforme(QString dossier = {}) : programme(dossier), travail(std::move(dossier)) {}

    Reponse message(const QString &texte, Boutons boutons, Icone icone, Reponse parDefaut,
                    const QString &titre) override
    {
        messages.append({texte, boutons, icone, parDefaut, titre});
        if (pendantMessage)
            pendantMessage(messages.last());
        if (!reponses.isEmpty())
            return reponses.dequeue();
        return boutons == Boutons::Ok ? Reponse::Ok : parDefaut;
    }
    QString saisie(const QString &texte, const QString &titre) override
    {
        saisies.append({texte, titre});
        return reponsesSaisie.isEmpty() ? QString() : reponsesSaisie.dequeue();
    }
    // File dialogs: every call recorded; answered from reponsesFichier ("" = cancelled), the
    // filter chosen from filtresChoisis (the one offered first otherwise).
    QString fichierAEnregistrer(const QString &titre, const QString &chemin, const QString &filtres,
                                QString *filtre) override
    {
        return dialogueFichier(titre, chemin, filtres, filtre);
    }
    QString fichierAOuvrir(const QString &titre, const QString &dossier, const QString &filtres,
                           QString *filtre) override
    {
        return dialogueFichier(titre, dossier, filtres, filtre);
    }
    // Several files at once: answered from reponsesFichiers, or as one file when it is empty.
    QStringList fichiersAOuvrir(const QString &titre, const QString &dossier, const QString &filtres) override
    {
        if (reponsesFichiers.isEmpty())
            return Plateforme::fichiersAOuvrir(titre, dossier, filtres);
        dialoguesFichier.append({titre, dossier, filtres, QString()});
        return reponsesFichiers.dequeue();
    }
    QString dialogueFichier(const QString &titre, const QString &chemin, const QString &filtres, QString *filtre)
    {
        dialoguesFichier.append({titre, chemin, filtres, filtre ? *filtre : QString()});
        if (filtre && !filtresChoisis.isEmpty())
            *filtre = filtresChoisis.dequeue();
        return reponsesFichier.isEmpty() ? QString() : reponsesFichier.dequeue();
    }
    void bip() override { ++bips; }

    // The listing as printed: one entry per line, markers in <>. A job that cannot start or
    // end answers the scripted error; `fichierImpression` plays a desktop without a printer.
    Resultat imprimanteDebut(const QString &nom) override
    {
        impression << QStringLiteral("<debut>");
        document = nom;
        return imprimanteDisponible ? Resultat::succes() : Resultat::echec(erreurImprimante);
    }
    void imprimanteEcrire(const QString &texte) override { ligne += texte; }
    void imprimanteFinLigne() override
    {
        impression << std::exchange(ligne, QString());
        if (pendantImpression)
            pendantImpression();
    }
    void imprimanteTaillePolice(int points) override { impression << QStringLiteral("<taille %1>").arg(points); }
    Resultat imprimanteFin() override
    {
        impression << QStringLiteral("<fin>");
        return finImpressionReussie ? Resultat::succes() : Resultat::echec(erreurImprimante);
    }
    void imprimanteAbandon() override { impression << QStringLiteral("<abandon>"); }
    QString imprimanteFichier() const override { return fichierImpression; }

    // A new sound cuts off the one playing: `sonsCoupes` lists those cut off, in order.
    void jouerSon(const QString &chemin) override
    {
        if (!sonEnCours.isEmpty())
            sonsCoupes.append(sonEnCours);
        sonEnCours = chemin;
        sons.append(chemin);
    }
    bool ouvrirFichier(const QString &chemin) override { return ouverts.append(chemin), ouvertureReussie; }
    void finProgramme() override { ++fins; }
    QString dossierProgramme() const override { return programme; }
    QString dossierTravail() const override { return travail; }
    // Folders remembered by kind; the working folder stands for the user's documents.
    QString dossierRetenu(const QString &sorte) const override { return dossiersRetenus.value(sorte, travail); }
    void retenirDossier(const QString &sorte, const QString &dossier) override { dossiersRetenus[sorte] = dossier; }
    // Every question recorded as "title: text [button|button]"; answered from reponsesChoix (-1: closed).
    int choix(const QString &texte, const QString &titre, const QStringList &boutons) override
    {
        choix_.append(titre + QStringLiteral(": ") + texte + QStringLiteral(" [") + boutons.join(u'|') + u']');
        return reponsesChoix.isEmpty() ? -1 : reponsesChoix.dequeue();
    }

    // Texts of the messages shown, in order.
    QStringList textes() const
    {
        QStringList t;
        for (const Message &m : messages)
            t << m.texte;
        return t;
    }
    // Each message as "text|icon|title", the icon by its number (0 none, 1 exclamation, 2
    // critical), `dossier` written DIR.
    QStringList vus(const QString &dossier = {}) const
    {
        QStringList l;
        for (const Message &m : messages)
            l << QStringLiteral("%1|%2|%3").arg(m.texte).arg(int(m.icone)).arg(m.titre);
        return dossier.isEmpty() ? l : l.replaceInStrings(dossier, QStringLiteral("DIR"));
    }
    void oublier()
    {
        messages.clear();
        saisies.clear();
        bips = 0;
        sons.clear();
        sonsCoupes.clear();
        sonEnCours.clear();
        ouverts.clear();
        impression.clear();
    }

    QString programme, travail;
    QList<Message> messages;
    QQueue<Reponse> reponses;
    std::function<void(const Message &)> pendantMessage;  // runs while the box is "open"
    QList<QPair<QString, QString>> saisies;
    struct DialogueFichier {
        QString titre, chemin, filtres, filtre;
    };
    QList<DialogueFichier> dialoguesFichier;
    QQueue<QString> reponsesFichier;
    QQueue<QStringList> reponsesFichiers;
    QQueue<QString> filtresChoisis;
    QQueue<QString> reponsesSaisie;
    int bips = 0;
    QStringList sons;
    QStringList sonsCoupes;
    QString sonEnCours;
    QStringList ouverts;            // files handed to the desktop's own application
    bool ouvertureReussie = true;
    QStringList impression;
    QString ligne;
    bool imprimanteDisponible = true;
    bool finImpressionReussie = true;
    QString erreurImprimante = QStringLiteral("L'imprimante ne répond pas.");
    QString fichierImpression;  // "" = a printer
    QString document;           // the name the last job was given
    std::function<void()> pendantImpression;  // runs after each line printed
    int fins = 0;
    QMap<QString, QString> dossiersRetenus;
    QStringList choix_;
    QQueue<int> reponsesChoix;
};
