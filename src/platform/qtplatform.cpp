#include "platform/qtplatform.h"
#include "platform/dossierprogramme.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSoundEffect>
#include <QUrl>

QtPlateforme::QtPlateforme() = default;
QtPlateforme::~QtPlateforme()
{
    if (m_peintre)
        imprimanteFin();
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

void QtPlateforme::bip() { QApplication::beep(); }

bool QtPlateforme::imprimanteDebut()
{
    m_imprimante = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter());
    if (QPrinterInfo::defaultPrinter().isNull()) {
        // No printer on this desktop: the listing goes to a PDF file in the working folder.
        m_imprimante->setOutputFormat(QPrinter::PdfFormat);
        m_imprimante->setOutputFileName(QDir(dossierTravail()).filePath(QStringLiteral("impression.pdf")));
    }
    m_peintre = std::make_unique<QPainter>();
    if (!m_peintre->begin(m_imprimante.get())) {
        m_peintre.reset();
        m_imprimante.reset();
        return false;
    }
    m_x = 0;
    m_y = m_peintre->fontMetrics().ascent();
    return true;
}

void QtPlateforme::imprimanteEcrire(const QString &texte)
{
    if (!m_peintre)
        return;
    const QFontMetrics fm = m_peintre->fontMetrics();
    if (m_y > m_peintre->viewport().height()) {
        m_imprimante->newPage();
        m_y = fm.ascent();
    }
    m_peintre->drawText(m_x, m_y, texte);
    m_x += fm.horizontalAdvance(texte);
}

void QtPlateforme::imprimanteFinLigne()
{
    if (!m_peintre)
        return;
    m_x = 0;
    m_y += m_peintre->fontMetrics().lineSpacing();
}

void QtPlateforme::imprimanteTaillePolice(int points)
{
    if (!m_peintre)
        return;
    QFont f = m_peintre->font();
    f.setPointSize(points);
    m_peintre->setFont(f);
}

void QtPlateforme::imprimanteFin()
{
    if (m_peintre)
        m_peintre->end();
    m_peintre.reset();
    m_imprimante.reset();
}

void QtPlateforme::jouerSon(const QString &chemin)
{
    if (!m_son)
        m_son = new QSoundEffect;
    m_son->stop();
    m_son->setSource(QUrl::fromLocalFile(chemin));
    m_son->play();
}

void QtPlateforme::finProgramme() { QCoreApplication::exit(0); }

QString QtPlateforme::dossierProgramme() const
{
    if (m_dossierProgramme.isEmpty())
        m_dossierProgramme = dossiers::dossierDesBanques(QCoreApplication::applicationDirPath(), dossiers::dossierDonnees());
    return m_dossierProgramme;
}

QString QtPlateforme::dossierTravail() const { return QDir::currentPath(); }
