#include "platform/qtplatform.h"
#include "media/regles_media.h"
#include "output/mise_en_page.h"
#include "platform/dossierprogramme.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

QtPlateforme::QtPlateforme() = default;
QtPlateforme::~QtPlateforme()
{
    imprimanteAbandon();
    delete m_lecteur;
    delete m_sortie;
    delete m_son;
}

Plateforme::Reponse QtPlateforme::message(const QString &texte, Boutons boutons, Icone icone, Reponse parDefaut,
                                          const QString &titre)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(titre.isEmpty() ? QString::fromUtf16(kTitreApplication) : titre);
    box.setText(texte);
    box.setIcon(icone == Icone::Critique      ? QMessageBox::Critical
                : icone == Icone::Exclamation ? QMessageBox::Warning
                                              : QMessageBox::NoIcon);
    if (boutons == Boutons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Reponse::Ok;
    }
    if (boutons == Boutons::OuiNon) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(parDefaut == Reponse::Oui ? QMessageBox::Yes : QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Reponse::Oui : Reponse::Non;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setDefaultButton(parDefaut == Reponse::Oui   ? QMessageBox::Yes
                         : parDefaut == Reponse::Non ? QMessageBox::No
                                                     : QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes: return Reponse::Oui;
    case QMessageBox::No: return Reponse::Non;
    default: return Reponse::Annuler;
    }
}

QString QtPlateforme::saisie(const QString &texte, const QString &titre)
{
    bool ok = false;
    const QString r = QInputDialog::getText(QApplication::activeWindow(),
                                            titre.isEmpty() ? QString::fromUtf16(kTitreApplication) : titre, texte,
                                            QLineEdit::Normal, QString(), &ok);
    return ok ? r : QString();
}

QString QtPlateforme::fichierAEnregistrer(const QString &titre, const QString &chemin, const QString &filtres,
                                          QString *filtre)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), titre, chemin, filtres, filtre);
}

QString QtPlateforme::fichierAOuvrir(const QString &titre, const QString &dossier, const QString &filtres,
                                     QString *filtre)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), titre, dossier, filtres, filtre);
}

QStringList QtPlateforme::fichiersAOuvrir(const QString &titre, const QString &dossier, const QString &filtres)
{
    return QFileDialog::getOpenFileNames(QApplication::activeWindow(), titre, dossier, filtres);
}

void QtPlateforme::bip() { QApplication::beep(); }

Resultat QtPlateforme::imprimanteDebut(const QString &document)
{
    imprimanteAbandon();
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    m_imprimante = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    m_imprimante->setDocName(document);
    m_imprimante->setCreator(QString::fromUtf16(kTitreApplication));
    m_fichier.clear();
    if (!info.isNull()) {
        // Qt's print engines cannot take a job back once painting has begun: the lines wait
        // until the end of the document, so that a listing dropped halfway prints nothing.
        m_differe = true;
        return Resultat::succes();
    }
    // No printer on this desktop: the listing goes to a PDF file beside the other outputs, named
    // after the bank and the day, never over an earlier one.
    const QDir dossier(dossierRetenu(QStringLiteral("sorties")));
    const QString base = QFileInfo(document.trimmed()).completeBaseName() + u'-'
                         + QDate::currentDate().toString(Qt::ISODate);
    QString fichier = dossier.filePath(base + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(fichier) || QFileInfo(fichier).isSymLink(); ++n)
        fichier = dossier.filePath(QStringLiteral("%1 (%2).pdf").arg(base).arg(n));
    QFile essai(fichier);
    if (!essai.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_imprimante.reset();
        return Resultat::echec(QStringLiteral("Aucune imprimante n'est installée, et le fichier %1 "
                                              "ne peut pas être écrit.")
                                   .arg(QDir::toNativeSeparators(fichier)));
    }
    essai.close();
    m_imprimante->setOutputFormat(QPrinter::PdfFormat);
    m_imprimante->setOutputFileName(fichier);
    m_imprimante->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                            QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    m_page = std::make_unique<MiseEnPage>(*m_imprimante);
    if (!m_page->commencer()) {
        m_page.reset();
        m_imprimante.reset();
        QFile::remove(fichier);
        return Resultat::echec(QStringLiteral("Aucune imprimante n'est installée, et le fichier %1 "
                                              "ne peut pas être écrit.")
                                   .arg(QDir::toNativeSeparators(fichier)));
    }
    m_fichier = fichier;
    return Resultat::succes();
}

void QtPlateforme::imprimanteEcrire(const QString &texte)
{
    if (m_page)
        m_page->ecrire(texte);
    else if (m_differe)
        m_ligne += texte;
}

void QtPlateforme::imprimanteFinLigne()
{
    if (m_page)
        m_page->finLigne();
    else if (m_differe)
        m_attente.emplace_back(0, std::exchange(m_ligne, QString()));
}

void QtPlateforme::imprimanteTaillePolice(int points)
{
    if (m_page)
        m_page->taillePolice(points);
    else if (m_differe && points > 0)
        m_attente.emplace_back(points, QString());
}

Resultat QtPlateforme::imprimanteFin()
{
    if (m_differe) {
        m_differe = false;
        if (!m_ligne.isEmpty())
            m_attente.emplace_back(0, std::exchange(m_ligne, QString()));
        m_page = std::make_unique<MiseEnPage>(*m_imprimante);
        if (!m_page->commencer()) {
            const QString nom = m_imprimante->printerName();
            m_page.reset();
            m_imprimante.reset();
            m_attente.clear();
            return Resultat::echec(QStringLiteral("L'imprimante %1 n'a pas pu recevoir la liste.").arg(nom));
        }
        QProgressDialog progression(QStringLiteral("Envoi de la liste à l'imprimante..."), QString(), 0,
                                    int(m_attente.size()), QApplication::activeWindow());
        progression.setWindowModality(Qt::WindowModal);
        progression.setMinimumDuration(500);
        for (size_t i = 0; i < m_attente.size(); ++i) {
            if (i % 256 == 0)
                progression.setValue(int(i));
            auto &[points, ligne] = m_attente[i];
            if (points > 0) {
                m_page->taillePolice(points);
            } else {
                m_page->ecrire(ligne);
                m_page->finLigne();
            }
        }
        m_attente.clear();
        progression.setValue(progression.maximum());
    }
    const bool ok = m_page && m_page->terminer();
    m_page.reset();
    m_imprimante.reset();
    if (!ok)
        return Resultat::echec(m_fichier.isEmpty()
                                   ? QStringLiteral("L'imprimante n'a pas pu recevoir la liste.")
                                   : QStringLiteral("Le fichier %1 n'a pas pu être écrit.")
                                         .arg(QDir::toNativeSeparators(m_fichier)));
    return Resultat::succes();
}

void QtPlateforme::imprimanteAbandon()
{
    const bool enCours = m_imprimante != nullptr;
    if (m_page && m_page->actif())
        m_page->terminer();
    m_page.reset();
    m_imprimante.reset();
    m_attente.clear();
    m_ligne.clear();
    m_differe = false;
    if (enCours && !m_fichier.isEmpty())
        QFile::remove(m_fichier);
    m_fichier.clear();
}

QString QtPlateforme::imprimanteFichier() const { return m_fichier; }

bool QtPlateforme::sortieAudio() const { return !QMediaDevices::audioOutputs().isEmpty(); }

void QtPlateforme::avertirSon(EchecSon genre, const QString &texte)
{
    // Once per kind of failure: a card played again and again says it only the first time.
    if (m_sonsAvertis & genre)
        return;
    m_sonsAvertis |= genre;
    messageOk(texte, genre == SansSortie ? Icone::Exclamation : Icone::Critique, QStringLiteral("Erreur"));
}

void QtPlateforme::arreterSon()
{
    m_sonEnCours.clear();
    if (m_son)
        m_son->stop();
    if (m_lecteur)
        m_lecteur->stop();
}

void QtPlateforme::jouerSon(const QString &chemin)
{
    // The sound playing stops first, even when the new one cannot play.
    arreterSon();
    const QString vu = QDir::toNativeSeparators(chemin);
    if (!QFileInfo(chemin).isFile()) {
        avertirSon(Introuvable, QStringLiteral("Le fichier son est introuvable : ") + vu);
        return;
    }
    const media::GenreSon genre = media::genreSon(chemin);
    if (genre == media::GenreSon::Inconnu) {
        avertirSon(FormatInconnu, QStringLiteral("Ce format de son ne peut pas être joué : ") + vu);
        return;
    }
    if (!sortieAudio()) {
        avertirSon(SansSortie, QStringLiteral("Aucune sortie audio n'est disponible : le son ne peut pas être joué."));
        return;
    }
    m_sonEnCours = chemin;
    if (genre != media::GenreSon::Onde) {
        jouerParLecteur(chemin);
        return;
    }
    if (!m_son) {
        m_son = new QSoundEffect;
        // A wave file QSoundEffect cannot decode (compressed, unusual sample format) gets a second
        // chance with the general player.
        QObject::connect(m_son, &QSoundEffect::statusChanged, m_son, [this] {
            if (m_son->status() == QSoundEffect::Error && !m_sonEnCours.isEmpty()
                && m_son->source() == QUrl::fromLocalFile(m_sonEnCours))
                jouerParLecteur(m_sonEnCours);
        });
    }
    const QUrl source = QUrl::fromLocalFile(chemin);
    if (m_son->source() == source && m_son->status() == QSoundEffect::Error) {
        jouerParLecteur(chemin);  // the same source again reports no new status
        return;
    }
    m_son->setSource(source);
    m_son->play();
}

void QtPlateforme::jouerParLecteur(const QString &chemin)
{
    // Qt's FFmpeg media backend crashes where there is no audio device: no player is ever made there.
    if (QMediaDevices::audioOutputs().isEmpty()) {
        avertirSon(SansSortie, QStringLiteral("Aucune sortie audio n'est disponible : le son ne peut pas être joué."));
        return;
    }
    if (!m_lecteur) {
        m_sortie = new QAudioOutput(QMediaDevices::defaultAudioOutput());
        m_lecteur = new QMediaPlayer;
        m_lecteur->setAudioOutput(m_sortie);
        const auto illisible = [this] {
            if (!m_sonEnCours.isEmpty() && m_lecteur->source() == QUrl::fromLocalFile(m_sonEnCours)) {
                const QString vu = QDir::toNativeSeparators(m_sonEnCours);
                m_sonEnCours.clear();
                avertirSon(FormatInconnu, QStringLiteral("Ce format de son ne peut pas être joué : ") + vu);
            }
        };
        QObject::connect(m_lecteur, &QMediaPlayer::errorOccurred, m_lecteur, illisible);
        QObject::connect(m_lecteur, &QMediaPlayer::mediaStatusChanged, m_lecteur,
                         [illisible](QMediaPlayer::MediaStatus etat) {
                             if (etat == QMediaPlayer::InvalidMedia)
                                 illisible();
                         });
        QObject::connect(m_lecteur, &QMediaPlayer::mediaStatusChanged, m_lecteur,
                         [this](QMediaPlayer::MediaStatus etat) {
                             if (etat == QMediaPlayer::EndOfMedia)
                                 m_sonEnCours.clear();
                         });
    }
    m_lecteur->setSource(QUrl::fromLocalFile(chemin));
    m_lecteur->play();
}

QString QtPlateforme::dossierRetenu(const QString &sorte) const
{
    const QString retenu = QSettings(QSettings::UserScope, QStringLiteral("Orbelin"), QStringLiteral("Orbelin"))
                               .value(QStringLiteral("dossiers/") + sorte)
                               .toString();
    if (!retenu.isEmpty() && QFileInfo(retenu).isDir())
        return retenu;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void QtPlateforme::retenirDossier(const QString &sorte, const QString &dossier)
{
    QSettings(QSettings::UserScope, QStringLiteral("Orbelin"), QStringLiteral("Orbelin"))
        .setValue(QStringLiteral("dossiers/") + sorte, dossier);
}

int QtPlateforme::choix(const QString &texte, const QString &titre, const QStringList &boutons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(titre.isEmpty() ? QString::fromUtf16(kTitreApplication) : titre);
    box.setText(texte);
    QList<QAbstractButton *> liste;
    for (qsizetype i = 0; i < boutons.size(); ++i)
        liste << box.addButton(boutons[i], i + 1 == boutons.size() ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    if (!liste.isEmpty())
        box.setDefaultButton(static_cast<QPushButton *>(liste.first()));
    box.exec();
    return int(liste.indexOf(box.clickedButton()));
}

bool QtPlateforme::ouvrirFichier(const QString &chemin)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(chemin));
}

void QtPlateforme::finProgramme() { QCoreApplication::exit(0); }

QString QtPlateforme::dossierProgramme() const
{
    if (m_dossierProgramme.isEmpty())
        m_dossierProgramme = dossiers::dossierDesBanques(QCoreApplication::applicationDirPath(), dossiers::dossierDonnees());
    return m_dossierProgramme;
}

QString QtPlateforme::dossierTravail() const { return QDir::currentPath(); }
