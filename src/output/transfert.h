#pragma once
#include "store/resultat.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// Which cards of a bank go out, by a transfer or by a listing.
enum class Selection {
    Toutes = 0,        // every card
    Marquees = 1,      // every card whose mark is not 0
    EntreMarques = 2,  // from a card marked 1 up to and including the next one; an unclosed range runs to the end
};

// Decides, card after card in file order, whether each card is taken.
class Selecteur {
public:
    explicit Selecteur(Selection s) : m_selection(s) {}
    bool prendre(qint16 marque)
    {
        switch (m_selection) {
        case Selection::Toutes: return true;
        case Selection::Marquees: return marque != 0;
        case Selection::EntreMarques:
            if (marque == 1) {
                // The opening card starts the range; the closing card ends it and is still taken.
                m_dedans = !m_dedans;
                return true;
            }
            return m_dedans;
        }
        return false;
    }

private:
    Selection m_selection;
    bool m_dedans = false;
};

// Told how far the work is (cards done out of all); answering false stops it.
using Progression = std::function<bool(qint64 faites, qint64 total)>;

struct ResultatTransfert {
    Resultat resultat;  // on failure the destination is left as it was, byte for byte
    int copiees = 0;
    bool annule = false;  // stopped through the progression: nothing was written
    // The pictures and sounds of the copied cards that could not follow them, one French
    // line each (see copierMediasDesCartes); the cards are copied all the same.
    QStringList mediasNonCopies;
};

// Appends copies of the selected cards of `source` to the end of `destination` (created
// when missing), with their mark set to 0. The source is only read. A destination whose
// length is not a whole number of cards is padded with zero bytes first, so that the
// copies start on a card. The copies go out in one write, flushed to the disk; a failed
// write is undone, and a destination created here is removed again when nothing could be
// written to it. Once the cards are written, the media files they name are copied into the
// destination's media folder.
ResultatTransfert transferer(const QString &source, const QString &destination, Selection selection,
                             const Progression &progression = {});

// The reason of a failed system call, in words for the user.
QString raisonSysteme(int erreur);
