#pragma once
#include <QFile>
#include <QProcess>
#include <QString>
#include <unistd.h>

// A file that this process may not open for writing, even as the superuser (who ignores the
// permission bits: the immutable attribute stops it). Lifted when the guard goes.
class Verrou {
public:
    explicit Verrou(QString chemin) : m_chemin(std::move(chemin))
    {
        if (::geteuid() == 0)
            m_immuable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_chemin}) == 0;
        else
            m_pose = QFile::setPermissions(m_chemin, {});
    }
    ~Verrou()
    {
        if (m_immuable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_chemin});
        if (m_pose)
            QFile::setPermissions(m_chemin, QFile::ReadOwner | QFile::WriteOwner);
    }
    Verrou(const Verrou &) = delete;
    Verrou &operator=(const Verrou &) = delete;

    bool pose() const { return m_pose || m_immuable; }
    // Permission bits also stop reading; the immutable attribute only stops writing.
    bool empecheLecture() const { return m_pose; }

private:
    QString m_chemin;
    bool m_pose = false;
    bool m_immuable = false;
};
