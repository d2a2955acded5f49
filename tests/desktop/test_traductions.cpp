// Qt's own texts in the user's language: the buttons of a message box.
#include "platform/traductions.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

class TestTraductions : public QObject {
    Q_OBJECT
private slots:
    void boutonsDuMessage_data()
    {
        QTest::addColumn<QLocale>("langue");
        QTest::addColumn<bool>("traduit");
        QTest::addColumn<QString>("oui");
        QTest::addColumn<QString>("annuler");
        QTest::newRow("France") << QLocale(QLocale::French, QLocale::France) << true << "&Oui" << "Annuler";
        QTest::newRow("Québec: the French of Qt") << QLocale(QLocale::French, QLocale::Canada) << true << "&Oui" << "Annuler";
        QTest::newRow("no translation: Qt's own") << QLocale(QLocale::English, QLocale::UnitedStates) << false << "&Yes" << "Cancel";
    }
    void boutonsDuMessage()
    {
        QFETCH(QLocale, langue);
        QTranslator *t = installerTraductionsQt(*qApp, langue);
        QTEST(t != nullptr, "traduit");
        QMessageBox m(QMessageBox::Question, "Orbelin", "Enregistrer ?", QMessageBox::Yes | QMessageBox::Cancel);
        QTEST(m.button(QMessageBox::Yes)->text(), "oui");
        QTEST(m.button(QMessageBox::Cancel)->text(), "annuler");
        if (t)
            QCoreApplication::removeTranslator(t);
        delete t;
    }
};

QTEST_MAIN(TestTraductions)
#include "test_traductions.moc"
