#pragma once
#include "editor/formedit.h"
#include "files/listesfichiers.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// The main window's controls, found as a user's script would: by their names.
template <class W = QWidget> W *controle(QWidget &fenetre, const QString &nom)
{
    return nom == fenetre.objectName() ? qobject_cast<W *>(&fenetre) : fenetre.findChild<W *>(nom);
}
template <class W = QWidget> W *controle(QWidget *fenetre, const QString &nom) { return controle<W>(*fenetre, nom); }

// Clicks a name of a file list as a user would; false when the name is not shown.
inline bool cliquerFichier(ListesFichiers &listes, const QString &nom, bool deuxFois = false)
{
    if (!listes.attendreChargement() || !listes.rectangleFichier(nom).isValid())
        return false;
    QTest::mouseClick(listes.vueFichiers()->viewport(), Qt::LeftButton, {}, listes.rectangleFichier(nom).center());
    if (deuxFois)
        QTest::mouseDClick(listes.vueFichiers()->viewport(), Qt::LeftButton, {}, listes.rectangleFichier(nom).center());
    return true;
}

// A window loaded over the session, or null.
template <class W = QWidget> W *dialogueCharge(FormEdit &f, const QString &nom) { return f.session().dialogue<W>(nom); }

// A program folder of its own holding BASE.QZF and BASE.prm, the fake desktop and the main
// window opened on the bank, with what start-up said forgotten.
struct Editeur {
    QTemporaryDir dir;
    FakePlateforme pf{dir.path()};
    FormEdit f{pf};

    explicit Editeur(const QByteArray &cartes, const QStringList &themes = {"Histoire", "Sciences", "Arts"})
        : Editeur(cartes, QByteArray(), themes)
    {
    }
    // `fichierThemes`: the theme file's bytes, laid out by the test.
    Editeur(const QByteArray &cartes, const QByteArray &fichierThemes, const QStringList &themes = {})
    {
        if (fichierThemes.isEmpty())
            banque::ecrireThemes(dir.filePath("BASE.prm"), themes);
        else
            banque::ecrire(dir.filePath("BASE.prm"), fichierThemes);
        ouvrir(cartes);
    }
    // The window made but not opened: the test lays out the folder first, then calls ouvrir().
    struct PlusTard {};
    explicit Editeur(PlusTard) {}
    void ouvrir(const QByteArray &cartes, const QString &dossierCourant = {})
    {
        banque::ecrire(dir.filePath("BASE.QZF"), cartes);
        QDir::setCurrent(dossierCourant.isEmpty() ? dir.path() : dossierCourant);
        f.charger();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        pf.oublier();
    }
    QString chemin(const QString &nom) const { return dir.filePath(nom); }
    QByteArray octets() const { return banque::lire(dir.filePath("BASE.QZF")); }
    // Controls are looked for in the loaded window named `autre` first, then in the main window.
    QString autre;
    template <class W = QWidget> W *w(const QString &nom)
    {
        QWidget *d = autre.isEmpty() ? nullptr : dialogueCharge(f, autre);
        W *c = d ? controle<W>(d, nom) : nullptr;
        return c ? c : controle<W>(f, nom);
    }
    // The messages shown as "text|icon|title", the program's folder written DIR.
    QStringList messages() const { return pf.vus(dir.path()); }
    // The message boxes as "title | text | buttons | icon", the program's folder shown as "…".
    QStringList boites() const
    {
        QStringList l;
        for (const auto &m : pf.messages)
            l << QStringLiteral("%1 | %2 | %3 | %4").arg(m.titre, m.texte).arg(int(m.boutons)).arg(int(m.icone));
        return l.replaceInStrings(dir.path(), QStringLiteral("…"));
    }
    // Lets a window that unloaded itself go: true when the one named is no longer loaded.
    bool decharge(const QString &nom)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !dialogueCharge(f, nom);
    }
    QVariant lire(const QString &nom, const char *propriete) { return w(nom)->property(propriete); }
    // Text boxes hold "plainText", line boxes and options "text": the other one reads empty.
    QString texte(const QString &nom) { return lire(nom, "plainText").toString() + lire(nom, "text").toString(); }
    QString ecran() { return texte("TextAffNumero") + '/' + texte("TextNbFiche") + ' ' + texte("TextQuestion"); }
    // The theme counts, then the total.
    QString comptes()
    {
        QString c;
        for (int i = 0; i < 9; ++i)
            c += texte(QStringLiteral("LabelTheme_%1").arg(i)) + ' ';
        return c + texte("LabelTotal");
    }
    // The messages shown, the program's folder written DIR, the beeps, then the card on screen.
    QStringList vu() { return pf.textes().replaceInStrings(dir.path(), "DIR") + QStringList(pf.bips, "bip") + QStringList{ecran()}; }
    // "Name" clicks a control at its left, where check and option buttons have their indicator;
    // "Name=text" empties a box as a user would, then types the text; "ctrl+s", "escape", "tab"
    // and "enter" are keys pressed where the focus is; "close" is the title bar's close of `autre`.
    void faire(const QStringList &actions)
    {
        static const QMap<QString, QKeyCombination> touches{{"ctrl+s", Qt::ControlModifier | Qt::Key_S},
                                                            {"escape", QKeyCombination(Qt::Key_Escape)},
                                                            {"tab", QKeyCombination(Qt::Key_Tab)},
                                                            {"enter", QKeyCombination(Qt::Key_Return)}};
        for (const QString &a : actions) {
            if (touches.contains(a)) {
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &f, touches[a].key(),
                                touches[a].keyboardModifiers());
                continue;
            }
            if (a == "close") {
                dialogueCharge(f, autre)->close();
                continue;
            }
            QWidget *c = w(a.section('=', 0, 0));
            QVERIFY2(c, qPrintable(a));
            // A click on another window reaches it once it is the active one.
            if (!autre.isEmpty() && c->window() != QApplication::activeWindow())
                QVERIFY(QTest::qWaitForWindowActive(c->window()));
            if (!a.contains('=')) {
                QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(8, c->height() / 2));
            } else {
                QTest::keyClick(c, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(c, Qt::Key_Backspace);  // the selection erased, then the text typed
                taper(c, a.section('=', 1));
            }
        }
    }
    // Typed key by key; a character with no key of its own comes as a keyboard layout sends it.
    static void taper(QWidget *c, const QString &texte)
    {
        for (const QChar ch : texte) {
            if (ch.unicode() < 0x80) {
                QTest::keyClick(c, ch.toLatin1());
                continue;
            }
            QKeyEvent appui(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QKeyEvent relache(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(c, &appui);
            QApplication::sendEvent(c, &relache);
        }
    }
    void clic(QWidget *c) { QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(8, c->height() / 2)); }
    void clic(const QString &nom) { clic(w(nom)); }
    QMenu *menu() { return w<QMenu>("menuEchanges"); }
    void menu(const char *action) { menu()->findChild<QAction *>(action)->trigger(); }
    // The main window's media area: the play button (+ shown, - hidden, then its caption), the two
    // labels and the name, the frames Frame4 Frame1 FrameThemes, the picture in its zone, the
    // editor state in brackets with the code, the size options, the beeps.
    QString media()
    {
        const auto vu = [](const QWidget *w) { return w->isHidden() ? QStringLiteral("-") : QStringLiteral("+"); };
        const QLabel *img = controle<QLabel>(f, "ImageMedia");
        const auto taille = [](QSize s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); };
        QString options;
        for (const QRadioButton *o : f.findChildren<QRadioButton *>(QRegularExpression(QStringLiteral("^OptionImage_"))))
            options += o->isChecked() ? u'x' : u'.';
        return QStringList{vu(controle(f, "Command3")) + controle<QPushButton>(f, "Command3")->text(),
                           (vu(controle(f, "LabelMedia")) + vu(controle(f, "LabelFileMedia")) + u' ' + controle<QLabel>(f, "LabelFileMedia")->text()).trimmed(),
                           vu(controle(f, "Frame4")) + vu(controle(f, "Frame1")) + vu(controle(f, "FrameThemes")),
                           img->pixmap().isNull() ? QStringLiteral("none")
                                                  : taille(img->pixmap().size()) + QStringLiteral(" in ") + taille(img->size()),
                           QStringLiteral("[%1] %2").arg(f.session().etat().NomMedia).arg(f.session().etat().OptionTaille), options,
                           QString::number(pf.bips)}
            .join(QStringLiteral(" | "));
    }
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
