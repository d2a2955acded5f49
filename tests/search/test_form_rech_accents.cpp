// The search window's accents option: off at first, each new window as the last one left it.
#include "support/editeur.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

class TestFormRechAccents : public QObject {
    Q_OBJECT
    QTemporaryDir m_reglages;  // the user's settings, away from the real ones

private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_reglages.path());
        // The headless platform cannot raise a window and says so at each search.
        static const QtMessageHandler suivant = qInstallMessageHandler(nullptr);
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &contexte, const QString &texte) {
            if (!texte.contains(QLatin1String("does not support raise()")))
                suivant(type, contexte, texte);
        });
    }

    void sansAccents_rememberedAcrossWindows()
    {
        const QString aucune = QStringLiteral("Pas d'occurrence trouvée!");
        const QByteArray cartes = banque::octets({{"Q1"}, {"La préfecture"}, {"Le cœur"}, {"Q4"}});
        // In each window: whether the box is ticked on opening, what is done, what is seen.
        const std::tuple<bool, QStringList, QStringList> fenetres[] = {
            {false, {"optrech_1", "textrech_1=prefecture", "boutOK", "sansAccents", "boutOK", "textrech_1=COEUR", "boutOK"},
             {aucune, "3/4 Le cœur"}},
            {true, {"optrech_1", "textrech_1=PREFECTURE", "boutOK", "sansAccents"}, {"2/4 La préfecture"}},
            {false, {"optrech_1", "textrech_1=prefecture", "boutOK"}, {aucune, "1/4 Q1"}},
        };
        for (const auto &[coche, actions, vu] : fenetres) {
            Editeur e(cartes);
            e.clic("BoutFind");
            QWidget *rech = dialogueCharge(e.f, "form_rech");
            QVERIFY(rech);
            QVERIFY(QTest::qWaitForWindowActive(rech));
            auto *boite = rech->findChild<QCheckBox *>("sansAccents");
            QVERIFY(boite);
            QCOMPARE(boite->text(), QStringLiteral("Sans tenir compte des accents"));
            QCOMPARE(boite->isChecked(), coche);
            for (const QString &a : actions) {
                QWidget *c = rech->findChild<QWidget *>(a.section('=', 0, 0));
                if (a.contains('=')) {
                    QTest::mouseClick(c, Qt::LeftButton);
                    QTest::keyClick(c, Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClicks(c, '\b' + a.section('=', 1));
                } else {
                    QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(qobject_cast<QAbstractButton *>(c) && !qobject_cast<QPushButton *>(c) ? 8 : c->width() / 2, c->height() / 2));
                }
            }
            QCOMPARE(e.vu(), vu);
            QCOMPARE(e.octets(), cartes);
        }
    }
};

QTEST_MAIN(TestFormRechAccents)
#include "test_form_rech_accents.moc"
