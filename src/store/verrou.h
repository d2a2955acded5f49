#pragma once
#include <QDateTime>
#include <QString>

// One writer per bank: the editor while the bank is open, qzf while a verb writes it.
//
// The lock is a small text file beside the bank, BANK.qzf.verrou, naming who holds it, and
// a kernel lock on that file (an open-file-description lock, which the network file systems
// that know locks carry to the server). The kernel lock goes with the process that holds
// it, however it ends; the file says who it is. A file left by a process of this machine
// that no longer holds the kernel lock is taken over; a file from another machine is
// respected, since this machine cannot tell whether its holder still runs.
//
//     verrou::Verrou v;
//     if (v.prendre(cheminBanque) == verrou::Verrou::Etat::Tenu)
//         erreur(v.message());   // "La banque … est ouverte par … sur … depuis le …"
//     ...                        // v.liberer(), or the destructor, lets it go
namespace verrou {

struct Detenteur {
    QString utilisateur;
    QString machine;
    QDateTime depuis;  // invalid when the file could not be read
    qint64 pid = 0;
};

class Verrou {
public:
    enum class Etat {
        Libre,  // not taken (or released)
        Pris,   // ours until liberer(); the bank may be written
        Tenu,   // someone else writes the bank: detenteur() and message() say who
    };

    Verrou() = default;
    ~Verrou() { liberer(); }
    Verrou(Verrou &&autre) noexcept;
    Verrou &operator=(Verrou &&autre) noexcept;
    Verrou(const Verrou &) = delete;
    Verrou &operator=(const Verrou &) = delete;

    // Takes the lock of the bank at `cheminBanque` (a lock already held by this object is
    // released first). A folder where no file can be created (read-only, full) gives Pris
    // without a file: nothing can be written there, by anyone. Another user's lock file that
    // this user may not write is only read: respected while held, removed when it was left.
    Etat prendre(const QString &cheminBanque);
    // Removes the file and lets the kernel lock go. Nothing happens when not taken.
    void liberer();

    Etat etat() const { return m_etat; }
    bool pris() const { return m_etat == Etat::Pris; }
    const Detenteur &detenteur() const { return m_detenteur; }
    const QString &cheminFichier() const { return m_fichier; }
    QString banque() const { return m_banque; }
    // When Tenu: the French sentence that names the holder and what to do.
    QString message() const;

private:
    Etat m_etat = Etat::Libre;
    int m_fd = -1;
    QString m_banque;
    QString m_fichier;
    Detenteur m_detenteur;
};

// The lock file of a bank: beside the file the bank's name leads to, links followed.
QString cheminVerrou(const QString &cheminBanque);
// This process as a holder: user, machine, now, pid.
Detenteur moi();

} // namespace verrou
