#pragma once
#include "platform/platform.h"

#include <QProgressDialog>

// A progress window for long work: it shows itself only once the work has lasted a moment,
// and its cancel button answers "stop" to the work's next question.
class Avancement {
public:
    Avancement(const QString &texte, const QString &nom, QWidget *parent = nullptr,
               Qt::WindowModality modalite = Qt::ApplicationModal)
        : m_dialogue(texte, QStringLiteral("Annuler"), 0, Pas, parent)
    {
        m_dialogue.setObjectName(nom);
        m_dialogue.setWindowTitle(QString::fromUtf16(kTitreApplication));
        m_dialogue.setWindowModality(modalite);
        m_dialogue.setMinimumDuration(500);
        m_dialogue.setAutoClose(false);
        m_dialogue.setAutoReset(false);
        m_dialogue.setValue(0);
    }
    // For any work that reports (done, total): false once the user has cancelled.
    auto progression()
    {
        return [this](auto fait, auto total) {
            const int v = total > 0 ? int(qMin<qint64>(fait, total) * Pas / total) : Pas;
            if (v != m_dialogue.value())
                m_dialogue.setValue(v);
            m_annule = m_dialogue.wasCanceled();
            return !m_annule;
        };
    }
    bool annule() const { return m_annule; }
    // For work that always lasts (reading scanned pages): shown from its first step.
    void montrerDesLeDebut() { m_dialogue.setMinimumDuration(0); }

private:
    static constexpr int Pas = 1000;
    QProgressDialog m_dialogue;
    bool m_annule = false;
};
