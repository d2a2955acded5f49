#pragma once
#include "editor/formedit.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// The main window's controls, found as a user's script would: by their names.
template <class W = QWidget> W *controle(QWidget &fenetre, const QString &nom)
{
    return nom == fenetre.objectName() ? qobject_cast<W *>(&fenetre) : fenetre.findChild<W *>(nom);
}
template <class W = QWidget> W *controle(QWidget *fenetre, const QString &nom) { return controle<W>(*fenetre, nom); }

// A window loaded over the session, or null.
template <class W = QWidget> W *dialogueCharge(FormEdit &f, const QString &nom) { return f.session().dialogue<W>(nom); }

// A program folder of its own holding BASE.QZF and BASE.prm, the fake desktop and the main
// window opened on the bank, with what start-up said forgotten.
struct Editeur {
    QTemporaryDir dir;
    FakePlateforme pf{dir.path()};
    FormEdit f{pf};

    explicit Editeur(const QByteArray &cartes, const QStringList &themes = {"Histoire", "Sciences", "Arts"})
    {
        banque::ecrire(dir.filePath("BASE.QZF"), cartes);
        banque::ecrireThemes(dir.filePath("BASE.prm"), themes);
        QDir::setCurrent(dir.path());
        f.charger();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        pf.oublier();
    }
    QByteArray octets() const { return banque::lire(dir.filePath("BASE.QZF")); }
    template <class W = QWidget> W *w(const QString &nom) { return controle<W>(f, nom); }
    void clic(QWidget *c) { QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(8, c->height() / 2)); }
    void clic(const QString &nom) { clic(w(nom)); }
    QMenu *menu() { return w<QMenu>("menuEchanges"); }
    void menu(const char *action) { menu()->findChild<QAction *>(action)->trigger(); }
    // Every other window shown is cancelled as its user would: a dialog rejected, a window closed.
    void fermerFenetres()
    {
        for (QWidget *t : QApplication::topLevelWidgets()) {
            if (t == &f || !t->isVisible())
                continue;
            if (auto *d = qobject_cast<QDialog *>(t))
                d->reject();
            else
                t->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};
